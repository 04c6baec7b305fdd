#pragma once
// Controls found as a user knows them, by their objectName; a missing one ends the test.
#include <QTest>
#include <QWidget>

namespace lumar::test {

template <typename T = QWidget>
T* Find(const QWidget* parent, const QString& name) {
    T* widget = parent->findChild<T*>(name);
    if (!widget) qFatal("no control %s", qPrintable(name));
    return widget;
}

inline void Click(const QWidget* parent, const QString& name) {
    QTest::mouseClick(Find(parent, name), Qt::LeftButton);
}

}  // namespace lumar::test
