#include "shell/ui/link_label.h"

#include <QMouseEvent>

namespace lumar::ui {

LinkLabel::LinkLabel(const QString& objectName, QWidget* parent, bool link) : QLabel(parent) {
    setObjectName(objectName);
    if (link) setCursor(Qt::PointingHandCursor);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    // Accepting the press keeps it from starting a window drag underneath.
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool wasPressed = pressed_;
    pressed_ = false;
    event->accept();
    if (wasPressed && event->button() == Qt::LeftButton &&
        rect().contains(event->position().toPoint()))
        emit Clicked();
}

void LinkLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    emit DoubleClicked();
}

}  // namespace lumar::ui
