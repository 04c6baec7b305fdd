#pragma once
// Stand-ins for the modal dialogs of the posting windows: they answer at once and remember
// what they were asked.
#include <QString>
#include <QStringList>

#include "posting/ui/vbc_file_dialogs.h"
#include "shell/ui/message_boxes.h"

namespace lumar::test {

class FakeVbcDialogs : public ui::VbcFileDialogs {
public:
    QString answer;  // the chosen file, "" = cancelled
    QStringList titles;
    QStringList folders;
    QString ChooseSaveFile(QWidget*, const QString& title, const QString& folder) override {
        titles << title;
        folders << folder;
        return answer;
    }
    QString ChooseOpenFile(QWidget*, const QString& title, const QString& folder) override {
        titles << title;
        folders << folder;
        return answer;
    }
};

class FakeMessages : public ui::MessageBoxes {
public:
    bool yes = true;
    QStringList asked;
    QStringList warnings;
    bool AskYesNo(QWidget*, const QString& title, const QString& text) override {
        asked << title + "|" + text;
        return yes;
    }
    void Inform(QWidget*, const QString&, const QString& text) override { warnings << text; }
    void Warn(QWidget*, const QString&, const QString& text) override { warnings << text; }
};

}  // namespace lumar::test
