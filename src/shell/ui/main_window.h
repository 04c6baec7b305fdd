#pragma once
#include <QWidget>

namespace lumar::ui {

// The one window of Lumar; its panels are added by the subsystems.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

}  // namespace lumar::ui
