#include "shell/ui/captions.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include "shell/language_table.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {
namespace {

// "lvBilder#2" -> the view named lvBilder, column index 1.
bool ApplyHeader(QWidget* window, std::string_view target, const QString& text) {
    const size_t hash = target.find('#');
    bool ok = false;
    const int column = ToQ(target.substr(hash + 1)).toInt(&ok) - 1;
    if (!ok || column < 0) return false;
    auto* view = window->findChild<QAbstractItemView*>(ToQ(target.substr(0, hash)));
    if (!view || !view->model() || column >= view->model()->columnCount()) return false;
    return view->model()->setHeaderData(column, Qt::Horizontal, text, Qt::DisplayRole);
}

}  // namespace

bool ApplyCaption(QWidget* window, std::string_view target, const QString& text) {
    if (!window || target.empty()) return false;
    if (target == "#title") {
        window->setWindowTitle(text);
        return true;
    }
    if (target.find('#') != std::string_view::npos) return ApplyHeader(window, target, text);
    QWidget* control = window->findChild<QWidget*>(ToQ(target));
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
        return true;
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        // A translator's "<" is a character, not markup.
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
        return true;
    }
    if (auto* frame = qobject_cast<QGroupBox*>(control)) {
        frame->setTitle(text);
        return true;
    }
    return false;
}

int ApplyCaptions(QWidget* window, std::string_view section, const std::string& languageFile) {
    int applied = 0;
    for (const LanguageEntry& entry : LanguageSection(section)) {
        if (entry.target.empty()) continue;
        if (ApplyCaption(window, entry.target, ToQ(LookupText(languageFile, entry)))) ++applied;
    }
    return applied;
}

}  // namespace lumar::ui
