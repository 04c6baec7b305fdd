#pragma once
// A window factory for the main-window tests over a fresh settings folder, with dialogs that
// answer from a script.
#include <QLocale>
#include <memory>
#include <string>
#include <vector>

#include "app/ui/main_window.h"
#include "shell/config_paths.h"
#include "support/temp_dir.h"
#include "support/ui/fake_dialogs.h"
#include "support/ui/find_widget.h"

namespace lumar::test {

// A settings folder of its own for each test, German number format, no update check.
struct WindowFixture {
    TempDir dir;
    std::shared_ptr<FakeDialogs> dialogs = std::make_shared<FakeDialogs>();
    ui::MainWindowHooks hooks;
    std::vector<std::unique_ptr<Session>> sessions;

    WindowFixture() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        InitConfigFolder(dir.path());
        hooks.dialogs = dialogs;
        hooks.trayAvailable = [] { return false; };
    }
    std::string Settings() const { return dir.file("Lumar.ini"); }
    // Each window works on a session of its own, as each start of the program does.
    // Screenshots and pasted pictures stay in the test's folder.
    Session& NewSession() {
        SessionPaths paths = SessionPaths::FromConfigFolder();
        paths.capturesFolder = dir.file("captures/");
        return *sessions.emplace_back(std::make_unique<Session>(std::move(paths)));
    }
    std::unique_ptr<ui::MainWindow> Start() {
        auto window = std::make_unique<ui::MainWindow>(NewSession(), hooks);
        window->Start();
        return window;
    }
};

}  // namespace lumar::test
