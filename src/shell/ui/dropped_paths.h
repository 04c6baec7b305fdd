#pragma once
// What a drag and drop carries that Lumar can use: the local files and folders among its URLs.
#include <QStringList>

class QMimeData;

namespace lumar::ui {

// The local paths of the drop's URLs in their order; other URLs (web addresses) are left out.
QStringList LocalPaths(const QMimeData* mime);

}  // namespace lumar::ui
