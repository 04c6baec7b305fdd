#include "imagelist/ui/preview.h"

#include <QBuffer>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

#include "imagelist/preview_geometry.h"
#include "shell/file_io.h"

namespace lumar::ui {

PreviewBox::PreviewBox(QWidget* parent) : QWidget(parent) {
    setObjectName("picPreview");
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    setPalette(p);
}

void PreviewBox::Clear() {
    picture_ = QImage();
    placed_ = QRect();
    update();
}

bool PreviewBox::ShowFile(const std::string& path) {
    Clear();
    ++loads_;
    // Read through the core rather than by a QString name: names that are no UTF-8 reach the
    // file system unchanged, and a special file in the image's place reads as unreadable.
    const std::optional<std::string> bytes = ReadFileBytes(path);
    if (!bytes) return false;
    QByteArray encoded =
        QByteArray::fromRawData(bytes->data(), static_cast<qsizetype>(bytes->size()));
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const QSize natural = reader.size();
    if (!natural.isValid() || natural.isEmpty()) return false;
    const lumar::PictureRect at =
        FitPictureInto(width(), height(), natural.width(), natural.height());
    if (at.width <= 0 || at.height <= 0) return false;
    // Decoding straight to the drawn size keeps large photos cheap to show.
    if (at.width != natural.width() || at.height != natural.height())
        reader.setScaledSize(QSize(at.width, at.height));
    QImage image = reader.read();
    if (image.isNull()) return false;
    picture_ = std::move(image);
    placed_ = QRect(at.x, at.y, at.width, at.height);
    update();
    return true;
}

void PreviewBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (!picture_.isNull()) painter.drawImage(placed_.topLeft(), picture_);
}

void PreviewBox::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    emit DoubleClicked();
}

}  // namespace lumar::ui
