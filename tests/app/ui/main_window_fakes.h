#pragma once
// A window factory for the main-window tests over a fresh settings folder, with dialogs that
// answer from a script.
#include <QLocale>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "app/ui/main_window.h"
#include "imagelist/ui/image_list_panel.h"
#include "shell/config_paths.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"
#include "support/ui/fake_dialogs.h"

namespace lumar::test {

template <typename T = QWidget>
T* Find(QWidget* window, const QString& name) {
    T* widget = window->findChild<T*>(name);
    if (!widget) qFatal("no control %s", qPrintable(name));
    return widget;
}
inline void Click(QWidget* window, const QString& name) {
    QTest::mouseClick(Find(window, name), Qt::LeftButton);
}

// A settings folder of its own for each test, German number format, no update check.
struct WindowFixture {
    TempDir dir;
    std::shared_ptr<FakeDialogs> dialogs = std::make_shared<FakeDialogs>();
    ui::MainWindowHooks hooks;

    WindowFixture() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        InitConfigFolder(dir.path());
        hooks.dialogs = dialogs;
        hooks.trayAvailable = [] { return false; };
    }
    std::string Settings() const { return dir.file("Lumar.ini"); }
    // Each window works on a session of its own, as each start of the program does.
    Session& NewSession() {
        return *sessions.emplace_back(std::make_unique<Session>(SessionPaths::FromConfigFolder()));
    }
    std::vector<std::unique_ptr<Session>> sessions;
    std::unique_ptr<ui::MainWindow> Start() {
        auto window = std::make_unique<ui::MainWindow>(NewSession(), hooks);
        window->Start();
        return window;
    }
    // Writes JPEG files pics/<name> and drops them on the window's list, in order.
    QStringList DropJpegs(ui::MainWindow& window, const QStringList& names) {
        QStringList paths;
        for (const QString& name : names) {
            paths << QString::fromStdString(dir.file("pics/" + name.toStdString()));
            WriteJpeg(paths.back().toStdString(), 64, 48);
        }
        window.listPanel()->AddDroppedPaths(paths);
        return paths;
    }
};

}  // namespace lumar::test
