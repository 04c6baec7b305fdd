#include "shell/ui/main_window.h"

namespace lumar::ui {

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("frmMain");
    setWindowTitle("Lumar");
    resize(645, 512);
}

}  // namespace lumar::ui
