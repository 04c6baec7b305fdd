#include "shell/ui/main_code_area.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/ui/qt_text.h"

namespace lumar::ui {

CodeArea::CodeArea(PostingState& posting, TextBlocks& blocks, QWidget* parent)
    : QWidget(parent), posting_(posting), blocks_(blocks) {
    setObjectName("picCode");
    auto* layout = new QVBoxLayout(this);
    txcode_ = new QPlainTextEdit(this);
    txcode_->setObjectName("txcode");
    txcode_->setReadOnly(true);
    cmStop_ = new QPushButton(QString::fromUtf8("\u25A0"), this);
    cmStop_->setObjectName("cmStop");
    cmStop_->hide();
    cmClose_ = new QPushButton("Schliessen", this);
    cmClose_->setObjectName("cmCode_2");
    layout->addWidget(txcode_);
    layout->addWidget(cmStop_);
    layout->addWidget(cmClose_);
    connect(cmClose_, &QPushButton::clicked, this, &CodeArea::closeRequested);
}

void CodeArea::RestoreSettings(const std::string& settingsFile) { settingsFile_ = settingsFile; }

void CodeArea::FinishPosting(std::span<const ImageEntry> rows) {
    PostingTexts texts;
    if (strings_) {
        texts.partLabel = strings_->Get(kStrPostingPart);
        texts.advertising = strings_->Get(kStrAdvertising);
    }
    const PostingView view = lumar::FinishPosting(posting_, rows, blocks_, PostingOptions{}, texts);
    txcode_->setPlainText(ToQ(view.shownText));
}

void CodeArea::SetStopVisible(bool visible) { cmStop_->setVisible(visible); }

QString CodeArea::ShownText() const { return txcode_->toPlainText(); }

}  // namespace lumar::ui
