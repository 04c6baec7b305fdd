#include "upload/ui/hoster_frame.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStandardItemModel>
#include <algorithm>

#include "hosters/hoster_definition.h"
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
    connect(cmConfig_, &QPushButton::clicked, this, &HosterFrame::ConfigRequested);
    connect(cmHosters_, &QPushButton::clicked, this, &HosterFrame::HostersRequested);
    connect(cmUpload_, &QPushButton::clicked, this, &HosterFrame::UploadRequested);
    connect(lbURL_, &LinkLabel::Clicked, this, [this] { emit HomePageClicked(lbURL_->text()); });
}

void HosterFrame::SetHosters(const HosterTable& table) {
    table_ = table;
    Fill();
    if (cbHoster_->count() > 0) SelectHoster(0);
}

void HosterFrame::SetGroupTexts(const QString& today, const QString& classic,
                                const QString& keyMissing) {
    todayCaption_ = today;
    classicCaption_ = classic;
    keyMissing_ = keyMissing;
    const int chosen = SelectedIndex();
    Fill();
    if (chosen >= 0) SelectHoster(chosen);
}

// Entries carry their row; captions and the separator carry none and cannot be chosen.
void HosterFrame::Fill() {
    const QSignalBlocker block(cbHoster_);
    cbHoster_->clear();
    int today = 0;
    for (int row = 1; row <= table_.Count(); ++row)
        if (table_.Row(row).Request == RequestKind::kStandard) ++today;
    const bool grouped = today > 0 && today < table_.Count();
    const auto caption = [this](const QString& text) {
        cbHoster_->addItem(text);
        auto* model = qobject_cast<QStandardItemModel*>(cbHoster_->model());
        QStandardItem* item = model->item(cbHoster_->count() - 1);
        item->setFlags(Qt::NoItemFlags);
        QFont font = item->font();
        font.setBold(true);
        item->setFont(font);
    };
    if (grouped) caption(todayCaption_);
    AddRows(true);
    if (grouped) {
        cbHoster_->insertSeparator(cbHoster_->count());
        caption(classicCaption_);
    }
    AddRows(false);
}

void HosterFrame::AddRows(bool today) {
    for (int row = 1; row <= table_.Count(); ++row) {
        const HosterDef& def = table_.Row(row);
        if ((def.Request == RequestKind::kStandard) != today) continue;
        QString name = QString::fromStdString(def.Name);
        if (!MissingKey(def).empty()) name += " (" + keyMissing_ + ")";
        cbHoster_->addItem(name, row);
    }
}

void HosterFrame::SelectHoster(int index) {
    if (table_.Count() == 0) return;
    const int row = std::clamp(index + 1, 1, table_.Count());
    const int entry = cbHoster_->findData(row);
    if (entry < 0) return;
    const QSignalBlocker block(cbHoster_);
    cbHoster_->setCurrentIndex(entry);
    OnHosterChanged(entry);
}

int HosterFrame::SelectedIndex() const {
    const QVariant row = cbHoster_->currentData();
    return row.isValid() ? row.toInt() - 1 : -1;
}

void HosterFrame::OnHosterChanged(int entry) {
    const QVariant row = cbHoster_->itemData(entry);
    if (!row.isValid()) return;
    const HosterDef& def = table_.Row(row.toInt());
    lbSize_->setText(QString::fromStdString(def.MaxSizeText));
    lbURL_->setText(QString::fromStdString(def.HomeUrl));
}

}  // namespace lumar::ui
