#include "imagelist/ui/pasted_pictures.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <cstring>

#include "shell/file_io.h"
#include "shell/ui/dropped_paths.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {
namespace {

// In the order a browser is most likely to hold the picture's own bytes.
const char* const kPictureFormats[] = {"image/png", "image/jpeg", "image/webp", "image/gif"};

// GNOME's file manager copies "copy" or "cut" and then one address a line.
QStringList GnomeCopiedFiles(const QMimeData* mime) {
    QStringList paths;
    const QList<QByteArray> lines = mime->data("x-special/gnome-copied-files").split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QUrl url(QString::fromUtf8(lines.at(i).trimmed()));
        if (url.isLocalFile()) paths << url.toLocalFile();
    }
    return paths;
}

// The clipboard's own bytes of an accepted type, else what Qt can decode, as PNG.
QByteArray PictureBytes(const QMimeData* mime) {
    for (const char* format : kPictureFormats) {
        if (!mime->hasFormat(format)) continue;
        QByteArray bytes = mime->data(format);
        if (ReadImageInfoFromBytes(std::string_view(bytes.constData(), size_t(bytes.size())))
                .IsImage())
            return bytes;
    }
    if (!mime->hasImage()) return {};
    const QImage image = qvariant_cast<QImage>(mime->imageData());
    QByteArray png;
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return {};
    return png;
}

int ReasonEntry(CaptureProblem problem) {
    switch (problem) {
        case CaptureProblem::kNotAPicture:
        case CaptureProblem::kBadName:
            return kReasonCaptureNotAPicture;
        case CaptureProblem::kTooLarge:
            return kReasonCaptureTooLarge;
        case CaptureProblem::kSourceUnusable:
            return kReasonCaptureUnreadable;
        case CaptureProblem::kFolderUnusable:
            return kReasonCaptureFolder;
        case CaptureProblem::kWriteFailed:
        case CaptureProblem::kNone:
            break;
    }
    return kReasonCaptureWrite;
}

}  // namespace

PastedPictures TakePastedPictures(const QMimeData* mime, const std::string& capturesFolder,
                                  const UiStrings& strings, std::time_t now) {
    PastedPictures pasted;
    if (!mime) return pasted;
    pasted.paths = LocalPaths(mime);
    if (pasted.paths.isEmpty()) pasted.paths = GnomeCopiedFiles(mime);
    if (!pasted.paths.isEmpty()) return pasted;
    const QByteArray bytes = PictureBytes(mime);
    if (bytes.isEmpty()) {
        pasted.status = ToQ(strings.Get(kStrNothingToPaste));
        return pasted;
    }
    const CaptureResult stored =
        StoreCapture(capturesFolder, strings.Get(kStrPictureName),
                     std::string_view(bytes.constData(), size_t(bytes.size())), now);
    if (!stored.Ok()) {
        pasted.status = CaptureProblemText(strings, stored);
        return pasted;
    }
    pasted.paths << ToQ(stored.path);
    pasted.status = ToQ(strings.Get(kStrPasted) + " " +
                        stored.path.substr(stored.path.find_last_of(kPathSeparator) + 1));
    return pasted;
}

QString CaptureProblemText(const UiStrings& strings, const CaptureResult& result) {
    QString text =
        ToQ(strings.Get(kStrPictureNotSaved) + " " + strings.Get(ReasonEntry(result.problem)));
    if (result.error != 0)
        text += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(result.error)));
    return text;
}

}  // namespace lumar::ui
