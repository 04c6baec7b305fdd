#include "history/ui/history_posting_box.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/ui/named_widget.h"

namespace lumar::ui {

HistoryPostingBox::HistoryPostingBox(const QString& copyCaption, QWidget* parent)
    : QWidget(parent) {
    setObjectName("pHistoryPosting");
    txPosting_ = Named(new QPlainTextEdit(this), "txPosting");
    txPosting_->setReadOnly(true);
    txPosting_->setFixedHeight(110);
    cmCopyPosting_ = Named(new QPushButton(copyCaption, this), "cmCopyPosting");
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmCopyPosting_);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(txPosting_, 1);
    layout->addLayout(buttons);
    connect(cmCopyPosting_, &QPushButton::clicked, this, &HistoryPostingBox::Copy);
    hide();
}

void HistoryPostingBox::Show(const QString& posting) {
    posting_ = posting;
    txPosting_->setPlainText(
        QString(posting).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    show();
}

void HistoryPostingBox::Copy() {
    // The posting as made, its line ends included, as the code panel copies its own.
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(posting_);
}

}  // namespace lumar::ui
