#include "upload/ui/hoster_frame.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>

#include "shell/ui/link_label.h"

namespace lumar::ui {

HosterFrame::HosterFrame(QWidget* parent) : QGroupBox(parent) {
    setObjectName("Frame_1");
    setTitle("-> Upload auf");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 4, 8, 6);
    grid->setVerticalSpacing(3);

    cbHoster_ = new QComboBox(this);
    cbHoster_->setObjectName("cbHoster");
    auto* lbPic0 = new QLabel("Maximale Filegrösse:", this);
    lbPic0->setObjectName("lbPic_0");
    lbSize_ = new QLabel(this);
    lbSize_->setObjectName("lbSize");
    auto* lbPic1 = new QLabel("URL des Hosters:", this);
    lbPic1->setObjectName("lbPic_1");
    lbURL_ = new LinkLabel("lbURL", this, true);
    lbURL_->setStyleSheet("color: #1a4fa0; text-decoration: underline;");
    cmConfig_ = new QPushButton("weitere Einstellungen...", this);
    cmConfig_->setObjectName("cmConfig");
    cmHosters_ = new QPushButton("Anbieter...", this);
    cmHosters_->setObjectName("cmHosters");
    cmUpload_ = new QPushButton("Upload starten", this);
    cmUpload_->setObjectName("cmUpload");
    cmUpload_->setDefault(true);

    auto* choice = new QHBoxLayout;
    choice->addWidget(cbHoster_, 1);
    choice->addWidget(cmHosters_);
    grid->addLayout(choice, 0, 0, 1, 2);
    grid->addWidget(cmConfig_, 0, 2);
    grid->addWidget(lbPic0, 1, 0);
    grid->addWidget(lbSize_, 1, 1);
    grid->addWidget(cmUpload_, 1, 2, 2, 1);
    grid->addWidget(lbPic1, 2, 0);
    grid->addWidget(lbURL_, 2, 1);
    grid->setColumnStretch(1, 1);
    cmUpload_->setMinimumHeight(40);

    connect(cbHoster_, &QComboBox::currentIndexChanged, this, &HosterFrame::OnHosterChanged);
    connect(cmConfig_, &QPushButton::clicked, this, &HosterFrame::configRequested);
    connect(cmHosters_, &QPushButton::clicked, this, &HosterFrame::hostersRequested);
    connect(cmUpload_, &QPushButton::clicked, this, &HosterFrame::uploadRequested);
    connect(lbURL_, &LinkLabel::clicked, this, [this] { emit homePageClicked(lbURL_->text()); });
}

void HosterFrame::SetHosters(const HosterTable& table) {
    table_ = table;
    const QSignalBlocker block(cbHoster_);
    cbHoster_->clear();
    for (int row = 1; row <= table_.Count(); ++row)
        cbHoster_->addItem(QString::fromStdString(table_.Row(row).Name));
    if (cbHoster_->count() > 0) cbHoster_->setCurrentIndex(0);
    OnHosterChanged(cbHoster_->currentIndex());
}

void HosterFrame::SelectHoster(int index) {
    if (cbHoster_->count() == 0) return;
    if (index < 0) index = 0;
    if (index > cbHoster_->count() - 1) index = cbHoster_->count() - 1;
    const QSignalBlocker block(cbHoster_);
    cbHoster_->setCurrentIndex(index);
    OnHosterChanged(index);
}

int HosterFrame::SelectedIndex() const {
    return cbHoster_->currentIndex();
}

void HosterFrame::OnHosterChanged(int index) {
    const HosterDef& row = table_.Row(index + 1);
    lbSize_->setText(QString::fromStdString(row.MaxSizeText));
    lbURL_->setText(QString::fromStdString(row.HomeUrl));
}

}  // namespace lumar::ui
