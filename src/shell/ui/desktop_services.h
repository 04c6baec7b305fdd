#pragma once
// Small desktop operations the whole program uses: opening web pages and files with the
// desktop's programs, and the striped background of the image list.
#include <QColor>
#include <QString>
#include <QStyledItemDelegate>
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

// Paints the band behind rows 1, 3, 5, ... (counted from 1); the others keep the list's
// background, and so does the empty space below the last row. A list that shows its cells in
// a delegate of its own derives it from this one, so the bands stay.
class StripedRowDelegate : public QStyledItemDelegate {
  public:
    StripedRowDelegate(const QColor& stripe, QObject* parent)
        : QStyledItemDelegate(parent), stripe_(stripe) {}
    void SetStripe(const QColor& stripe) { stripe_ = stripe; }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    QColor stripe_;
};

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
