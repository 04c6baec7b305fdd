#pragma once
// Controls are found by their objectName (captions from language.ini, the tests), so each gets
// its name where it is made: Named(new QCheckBox(frame), "ckStrip").
#include <QBoxLayout>
#include <QPushButton>
#include <QString>

namespace lumar::ui {

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A new button right after `anchor` in whichever layout of `frame` holds it, for buttons that
// join a panel built elsewhere.
inline QPushButton* AddButtonAfter(QWidget* frame, QPushButton* anchor, const char* name) {
    auto* button = Named(new QPushButton(anchor->parentWidget()), name);
    for (QBoxLayout* row : frame->findChildren<QBoxLayout*>())
        if (const int at = row->indexOf(anchor); at >= 0) {
            row->insertWidget(at + 1, button);
            break;
        }
    return button;
}

}  // namespace lumar::ui
