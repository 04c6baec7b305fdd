#pragma once
// The dialogs service the widget tests put in place of modal dialogs: it answers at once from
// a script and records what it was asked.
#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "shell/ui/dialogs.h"

namespace lumar::test {

class FakeDialogs : public ui::Dialogs {
  public:
    struct Shown {
        QString kind;  // "ask", "inform", "warn", "open", "save", "texts" (one per question)
        QString text;  // the message, or the folder a file dialog starts in
        Button preset = Button::kNo;
    };
    bool Ask(QWidget*, const QString&, const QString& text, Button preset) override {
        shown.push_back({"ask", text, preset});
        if (answers.empty()) return otherwise;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void Inform(QWidget*, const QString&, const QString& text) override {
        shown.push_back({"inform", text});
    }
    void Warn(QWidget*, const QString&, const QString& text) override {
        shown.push_back({"warn", text});
    }
    QString ChooseOpenFile(QWidget*, const ui::FileQuestion& q) override { return File("open", q); }
    QString ChooseSaveFile(QWidget*, const ui::FileQuestion& q) override { return File("save", q); }
    std::optional<QStringList> AskTexts(QWidget*, const QString&,
                                        const std::vector<ui::TextQuestion>& questions) override {
        for (const ui::TextQuestion& q : questions) shown.push_back({"texts", q.title});
        return typed;
    }

    // The texts (or start folders) shown so far with `kind`, in turn.
    QStringList Texts(const QString& kind) const {
        QStringList texts;
        for (const Shown& s : shown)
            if (s.kind == kind) texts << s.text;
        return texts;
    }

    std::deque<bool> answers;  // Yes/No answers in turn; then `otherwise`
    bool otherwise = false;
    QString file;                      // what file dialogs answer, "" = cancelled
    std::optional<QStringList> typed;  // what AskTexts answers; nullopt = cancelled
    std::vector<Shown> shown;

  private:
    QString File(const QString& kind, const ui::FileQuestion& q) {
        shown.push_back({kind, q.folder});
        return file;
    }
};

}  // namespace lumar::test
