#include "shell/ui/desktop_services.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QStyledItemDelegate>
#include <QUrl>

namespace lumar::ui {
namespace {

std::function<bool(const QUrl&)>& Opener() {
    static std::function<bool(const QUrl&)> opener;
    return opener;
}

std::function<void(const QString&)>& Chooser() {
    static std::function<void(const QString&)> chooser;
    return chooser;
}

bool OpenUrl(const QUrl& url) {
    if (Opener()) return Opener()(url);
    return QDesktopServices::openUrl(url);
}

// The desktop has no program for this type: let the user pick one.
void ChooseProgramFor(const QString& path) {
    if (Chooser()) {
        Chooser()(path);
        return;
    }
    const QString program = QFileDialog::getOpenFileName(
        nullptr, QStringLiteral("Öffnen mit - %1").arg(QFileInfo(path).fileName()),
        QStringLiteral("/usr/bin"));
    if (!program.isEmpty()) QProcess::startDetached(program, {path});
}

}  // namespace

void OpenInShell(QWidget* owner, const QString& target) {
    Q_UNUSED(owner);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    OpenUrl(QUrl::fromUserInput(target));
    QApplication::restoreOverrideCursor();
}

void OpenWithChooser(const QString& path) {
    if (path.isEmpty()) return;
    if (!OpenUrl(QUrl::fromLocalFile(path))) ChooseProgramFor(path);
}

void StripedRowDelegate::initStyleOption(QStyleOptionViewItem* option,
                                         const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.row() % 2 == 0) option->backgroundBrush = stripe_;
}

void StripeListBackground(QAbstractItemView* list, const QColor& stripe) {
    if (!list) return;
    if (auto* striped = dynamic_cast<StripedRowDelegate*>(list->itemDelegate()))
        striped->SetStripe(stripe);
    else
        list->setItemDelegate(new StripedRowDelegate(stripe, list));
    list->viewport()->update();
}

QColor ListStripeColor() {
    return QColor(0xEE, 0xF3, 0xFA);
}

void SetDesktopOpener(std::function<bool(const QUrl&)> opener) {
    Opener() = std::move(opener);
}

void SetOpenWithChooser(std::function<void(const QString&)> chooser) {
    Chooser() = std::move(chooser);
}

}  // namespace lumar::ui
