#pragma once
// Controls are found by their objectName (captions from language.ini, the tests), so each gets
// its name where it is made: Named(new QCheckBox(frame), "ckStrip").
#include <QString>

namespace lumar::ui {

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace lumar::ui
