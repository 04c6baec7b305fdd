#include "shell/ui/captions.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include "shell/language_table.h"
#include "shell/settings_store.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {
namespace {

// The named control of this window. Dialogs opened from a window are its children too and
// reuse names such as "Frame_0"; their controls are not this window's.
template <typename T>
T* FindControl(QWidget* window, const QString& name) {
    for (T* control : window->findChildren<T*>(name))
        if (control->window() == window->window()) return control;
    return nullptr;
}

// "lvBilder#2" -> the view named lvBilder, column index 1.
bool ApplyHeader(QWidget* window, std::string_view target, const QString& text) {
    const size_t hash = target.find('#');
    bool ok = false;
    const int column = ToQ(target.substr(hash + 1)).toInt(&ok) - 1;
    if (!ok || column < 0) return false;
    auto* view = FindControl<QAbstractItemView>(window, ToQ(target.substr(0, hash)));
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
    QWidget* control = FindControl<QWidget>(window, ToQ(target));
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
    const IniDocument language = LoadIniFile(languageFile).document;
    for (const LanguageEntry& entry : LanguageSection(section)) {
        if (entry.target.empty()) continue;
        if (ApplyCaption(window, entry.target, ToQ(LookupText(language, entry)))) ++applied;
    }
    return applied;
}

}  // namespace lumar::ui
