#pragma once
// What Ctrl+V in the image list takes from the clipboard: the addresses of copied files, as a
// file manager copies them, or picture data, as browsers and screenshot tools copy it, which
// is kept as a file of the captures folder.
#include <QString>
#include <QStringList>
#include <ctime>
#include <string>

#include "imagelist/captures.h"
#include "shell/language_table.h"

class QMimeData;

namespace lumar::ui {

struct PastedPictures {
    QStringList paths;  // to be added as a drop adds them
    QString status;     // for the status line; empty when there is nothing to say
};

// Local files first (text/uri-list, or GNOME's own list of copied files); else picture data:
// JPEG, PNG, WebP or GIF bytes are stored as they are, any other picture Qt can read as PNG.
PastedPictures TakePastedPictures(const QMimeData* mime, const std::string& capturesFolder,
                                  const UiStrings& strings, std::time_t now);

// "Bild nicht gespeichert: Ordner nicht beschreibbar (Permission denied)" and the like.
QString CaptureProblemText(const UiStrings& strings, const CaptureResult& result);

}  // namespace lumar::ui
