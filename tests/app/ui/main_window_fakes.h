#pragma once
// What the main-window tests put in place of modal dialogs: message boxes that record what
// they were asked and answer from a script, and a window factory over a fresh settings folder.
#include <QLocale>
#include <QString>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "shell/config_paths.h"
#include "shell/ui/message_boxes.h"
#include "app/ui/main_window.h"
#include "support/temp_dir.h"

namespace lumar::test {

class ScriptedMessages : public ui::MessageBoxes {
public:
    struct Shown {
        QString kind;  // "ask", "inform", "warn"
        QString title;
        QString text;
    };
    bool AskYesNo(QWidget*, const QString& title, const QString& text) override {
        shown.push_back({"ask", title, text});
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void Inform(QWidget*, const QString& title, const QString& text) override {
        shown.push_back({"inform", title, text});
    }
    void Warn(QWidget*, const QString& title, const QString& text) override {
        shown.push_back({"warn", title, text});
    }
    std::deque<bool> answers;
    std::vector<Shown> shown;
};

// A settings folder of its own for each test, German number format, no update check.
struct WindowFixture {
    TempDir dir;
    std::shared_ptr<ScriptedMessages> messages = std::make_shared<ScriptedMessages>();
    ui::MainWindowHooks hooks;

    WindowFixture() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        InitConfigFolder(dir.path());
        hooks.messages = messages;
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
};

}  // namespace lumar::test
