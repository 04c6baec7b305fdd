#pragma once
// Small desktop operations the whole program uses: opening web pages and files with the
// desktop's programs, and the striped background of the image list.
#include <QColor>
#include <QString>
#include <functional>

class QAbstractItemView;
class QUrl;
class QWidget;

namespace lumar::ui {

// Opens a web address (or anything the desktop can open) with its default program, showing
// the busy cursor meanwhile. Failures are silent: the desktop shows what it shows.
void OpenInShell(QWidget* owner, const QString& target);

// Opens a file with the program the desktop associates with its type. Where there is none,
// asks the user for a program to open it with.
void OpenWithChooser(const QString& path);

// Paints the list's rows in alternating bands: the first row in `stripe`, the second in the
// list's own background, and so on down the list.
void StripeListBackground(QAbstractItemView* list, const QColor& stripe);

// The stripe colour of the image list.
QColor ListStripeColor();

// Test seams: replace how URLs are handed to the desktop (return false for "no program") and
// how the open-with chooser is shown. An empty function restores the real behaviour.
void SetDesktopOpener(std::function<bool(const QUrl&)> opener);
void SetOpenWithChooser(std::function<void(const QString& path)> chooser);

}  // namespace lumar::ui
