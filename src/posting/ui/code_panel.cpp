#include "posting/ui/code_panel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "imagelist/image_list.h"
#include "posting/ui/vbc_file_question.h"
#include "posting/vbc_file.h"
#include "shell/language_table.h"
#include "shell/settings_keys.h"
#include "shell/ui/captions.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {
namespace {

// The size text's value is 0: no leading digits, or only zeros before the first non-digit.
bool SizeTextIsZero(const QString& text) {
    for (QChar c : text) {
        if (!c.isDigit()) break;
        if (c != QLatin1Char('0')) return false;
    }
    return true;
}

}  // namespace

CodePanel::CodePanel(PostingState& posting, const TextBlocks& blocks, std::string settingsFile,
                     QWidget* parent)
    : QWidget(parent), posting_(posting), blocks_(blocks), settingsFile_(std::move(settingsFile)) {
    setObjectName("picCode");
    BuildControls();
}

CodePanel::~CodePanel() = default;

// Built in the order the focus should travel: options, code box, buttons.
void CodePanel::BuildControls() {
    BuildOptionsBox();
    BuildCodeBox();
    QHBoxLayout* buttons = BuildButtons();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(fSplit_);
    layout->addWidget(txcode_, 1);
    layout->addLayout(buttons);
    ConnectControls();
}

void CodePanel::BuildOptionsBox() {
    fSplit_ = new QGroupBox("-> Optionen", this);
    fSplit_->setObjectName("fSplit");
    auto* label1 = new QLabel("Links ausgeben als", fSplit_);
    label1->setObjectName("Label1");
    opCodeGroup_ = new QButtonGroup(this);
    const char* formats[3] = {"vbCode", "HTMLCode", "Markdown"};
    for (int i = 0; i < 3; ++i) {
        opCode_[i] = new QRadioButton(formats[i], fSplit_);
        opCode_[i]->setObjectName(QStringLiteral("opCode_%1").arg(i));
        opCodeGroup_->addButton(opCode_[i], i);
        connect(opCode_[i], &QRadioButton::toggled, this, [this](bool checked) {
            if (checked) OnOutputFormat();
        });
    }
    {
        const QSignalBlocker block(opCode_[0]);
        opCode_[0]->setChecked(true);
    }
    ckCenter_ = new QCheckBox("Posting zentrieren", fSplit_);
    ckCenter_->setObjectName("ckCenter");
    ckSplit_ = new QCheckBox("Posting aufteilen aktivieren/deaktivieren", fSplit_);
    ckSplit_->setObjectName("ckSplit");
    lbPic2_ = new QLabel("Anzahl Bilder pro Teil:", fSplit_);
    lbPic2_->setObjectName("lbPic_2");
    txSplitSize_ = new QLineEdit(fSplit_);
    txSplitSize_->setObjectName("txSplitSize");
    // Digits only, typed or pasted.
    txSplitSize_->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]*"), txSplitSize_));
    txSplitSize_->setMaximumWidth(60);
    lbPic3_ = new QLabel(QString::fromUtf8("Postingteilstück:"), fSplit_);
    lbPic3_->setObjectName("lbPic_3");
    cbSplit_ = new QComboBox(fSplit_);
    cbSplit_->setObjectName("cbSplit");
    cbSplit_->setMinimumContentsLength(18);
    txSplitSize_->setEnabled(false);
    cbSplit_->setEnabled(false);
    lbPerLine_ = new QLabel("Bilder pro Zeile (0 = frei):", fSplit_);
    lbPerLine_->setObjectName("lbPerLine");
    spPerLine_ = new QSpinBox(fSplit_);
    spPerLine_->setObjectName("spPerLine");
    spPerLine_->setRange(0, 999);
    lbPerLine_->setBuddy(spPerLine_);
    ckAutoCopy_ = new QCheckBox("Posting nach dem Upload in die Zwischenablage", fSplit_);
    ckAutoCopy_->setObjectName("ckAutoCopy");

    auto* options = new QGridLayout(fSplit_);
    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(label1);
    formatRow->addWidget(opCode_[0]);
    formatRow->addWidget(opCode_[1]);
    formatRow->addWidget(opCode_[2]);
    formatRow->addStretch(1);
    options->addLayout(formatRow, 0, 0, 1, 4);
    options->addWidget(ckCenter_, 1, 0, 1, 2);
    options->addWidget(ckSplit_, 1, 2, 1, 2);
    options->addWidget(lbPic2_, 2, 0);
    options->addWidget(txSplitSize_, 2, 1);
    options->addWidget(lbPic3_, 2, 2);
    options->addWidget(cbSplit_, 2, 3);
    options->addWidget(lbPerLine_, 3, 0);
    options->addWidget(spPerLine_, 3, 1);
    options->addWidget(ckAutoCopy_, 3, 2, 1, 2);
}

void CodePanel::BuildCodeBox() {
    txcode_ = new QPlainTextEdit(this);
    txcode_->setObjectName("txcode");
    txcode_->setReadOnly(true);
    txcode_->setTextInteractionFlags(Qt::NoTextInteraction);
    txcode_->setFocusPolicy(Qt::NoFocus);
    txcode_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txcode_->installEventFilter(this);
    // Takes the focus whenever the code box would get it, so the posting is never edited.
    txdummy_ = new QLineEdit(this);
    txdummy_->setObjectName("txdummy");
    txdummy_->setFixedSize(0, 0);
    txdummy_->setReadOnly(true);
}

QHBoxLayout* CodePanel::BuildButtons() {
    const char* captions[3] = {"Clipboard", "Speichern....", "Schliessen"};
    auto* buttons = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        cmCode_[i] = new QPushButton(captions[i], this);
        cmCode_[i]->setObjectName(QStringLiteral("cmCode_%1").arg(i));
        buttons->addWidget(cmCode_[i]);
    }
    cmStop_ = new QPushButton(QString::fromUtf8("\u25A0"), this);
    cmStop_->setObjectName("cmStop");
    cmStop_->setToolTip("Sound anhalten");
    cmStop_->setFixedWidth(32);
    cmStop_->hide();
    buttons->addStretch(1);
    buttons->addWidget(cmStop_);
    buttons->addWidget(txdummy_);
    return buttons;
}

void CodePanel::ConnectControls() {
    connect(ckCenter_, &QCheckBox::toggled, this, &CodePanel::OnCenterToggled);
    connect(ckSplit_, &QCheckBox::toggled, this, &CodePanel::OnSplitToggled);
    connect(txSplitSize_, &QLineEdit::textChanged, this, &CodePanel::OnSplitSizeEdited);
    connect(spPerLine_, &QSpinBox::valueChanged, this, &CodePanel::OnOutputFormat);
    connect(txSplitSize_, &QLineEdit::returnPressed, this, &CodePanel::OnSplitSizeEnter);
    connect(cbSplit_, &QComboBox::activated, this, &CodePanel::OnPartActivated);
    connect(cmCode_[0], &QPushButton::clicked, this, &CodePanel::OnClipboard);
    connect(cmCode_[1], &QPushButton::clicked, this, &CodePanel::OnSave);
    connect(cmCode_[2], &QPushButton::clicked, this, &CodePanel::OnClose);
    connect(cmStop_, &QPushButton::clicked, this, [this] {
        if (stopSound_) stopSound_();
    });
}

void CodePanel::SetDialogs(std::shared_ptr<Dialogs> dialogs) {
    dialogs_ = std::move(dialogs);
}
void CodePanel::SetStopVisible(bool visible) {
    cmStop_->setVisible(visible);
}

void CodePanel::ApplyLanguage(const std::string& languageFile) {
    ApplyCaptions(this, "Frame2", languageFile);
}

void CodePanel::ApplyMessageTexts(const UiStrings& strings) {
    if (auto* label1 = findChild<QLabel*>("Label1")) label1->setText(ToQ(strings.Get(kStrLinksAs)));
    cmStop_->setToolTip(ToQ(strings.Get(kStrStopSoundTip)));
    opCode_[2]->setText(ToQ(strings.Get(kStrMarkdown)));
    lbPerLine_->setText(ToQ(strings.Get(kStrImagesPerLine)));
    ckAutoCopy_->setText(ToQ(strings.Get(kStrAutoCopy)));
}

void CodePanel::RestoreSettings(const std::string& settingsFile) {
    settingsFile_ = settingsFile;
    // setChecked and setText run the handlers exactly when the state changes, as a click would.
    ckCenter_->setChecked(ReadIntSetting(settingsFile_, keys::Center) == 1);
    ckSplit_->setChecked(ReadIntSetting(settingsFile_, keys::Split) == 1);
    txSplitSize_->setText(ToQ(ReadTextSetting(settingsFile_, keys::SplitSize)));
    spPerLine_->setValue(ReadIntSetting(settingsFile_, keys::ImagesPerLine));
    ckAutoCopy_->setChecked(ReadIntSetting(settingsFile_, keys::AutoCopy) == 1);
    opCode_[ReadIntSetting(settingsFile_, keys::Code)]->setChecked(true);
}

void CodePanel::ShowFinishedPosting(const PostingView& view) {
    Show(view);
    if (ckAutoCopy_->isChecked()) OnClipboard();
}

bool CodePanel::AutoCopy() const {
    return ckAutoCopy_->isChecked();
}

PostingOptions CodePanel::Options() const {
    PostingOptions options;
    options.format = static_cast<PostingFormat>(SelectedFormat());
    options.center = ckCenter_->isChecked();
    options.split = ckSplit_->isChecked();
    options.splitSize = SplitSizeFromText(FromQ(txSplitSize_->text()));
    options.selectedPart = cbSplit_->currentIndex();
    options.imagesPerLine = spPerLine_->value();
    return options;
}

int CodePanel::SelectedFormat() const {
    return opCodeGroup_->checkedId() < 0 ? 0 : opCodeGroup_->checkedId();
}

QString CodePanel::ShownText() const {
    return txcode_->toPlainText();
}

std::string CodePanel::ExportedText() const {
    return ExportText(posting_, Options(), Texts(), settingsFile_);
}

PostingTexts CodePanel::Texts() const {
    return strings_ ? PostingTextsFrom(*strings_) : PostingTexts{};
}

std::span<const ImageEntry> CodePanel::RowsView() {
    if (!list_) return {};
    return std::span<const ImageEntry>(list_->Rows());
}

void CodePanel::Show(const PostingView& view) {
    if (view.partEntries) {
        const QSignalBlocker block(cbSplit_);
        cbSplit_->clear();
        for (const std::string& entry : *view.partEntries) cbSplit_->addItem(ToQ(entry));
    }
    if (view.selectedPart) {
        const QSignalBlocker block(cbSplit_);
        cbSplit_->setCurrentIndex(*view.selectedPart);
    }
    txcode_->setPlainText(ToQ(view.shownText));
}

void CodePanel::OnOutputFormat() {
    // Markdown has no centring; the box keeps its state for the other formats.
    ckCenter_->setEnabled(SelectedFormat() != static_cast<int>(PostingFormat::kMarkdown));
    // The rebuild clears the check marks of marker rows; the list's rows are walked as a copy
    // and only those marks are written back.
    rowsCopy_.clear();
    if (list_) rowsCopy_ = list_->Rows();
    Show(BuildPosting(posting_, rowsCopy_, blocks_, Options(), Texts()));
    if (!list_) return;
    bool changed = false;
    for (int i = 0; i < static_cast<int>(rowsCopy_.size()) && i < list_->Count(); ++i) {
        ImageEntry& row = list_->Row(i + 1);
        if (row.checked != rowsCopy_[static_cast<size_t>(i)].checked) {
            row.checked = rowsCopy_[static_cast<size_t>(i)].checked;
            changed = true;
        }
    }
    rowsCopy_.clear();
    if (changed) emit RowChecksChanged();
}

void CodePanel::OnCenterToggled(bool on) {
    Show(ApplyCentring(posting_, on, Options()));
}

void CodePanel::OnSplitToggled(bool on) {
    if (on) {
        txSplitSize_->setEnabled(true);
        cbSplit_->setEnabled(true);
        Show(BuildPostingParts(posting_, RowsView(), blocks_, Options(), Texts()));
        return;
    }
    Show(SwitchSplittingOff(posting_));
    txSplitSize_->setEnabled(false);
    cbSplit_->setEnabled(false);
}

void CodePanel::OnSplitSizeEdited(const QString& text) {
    if (SizeTextIsZero(text)) ckSplit_->setChecked(false);
}

void CodePanel::OnSplitSizeEnter() {
    Show(BuildPostingParts(posting_, RowsView(), blocks_, Options(), Texts()));
}

void CodePanel::OnPartActivated(int index) {
    Show(ShowSelectedPart(posting_, index));
}

QString CodePanel::ExportedSummary(int wholeEntry, int partEntry, const std::string& text) const {
    const auto entry = [this](int number) {
        return ToQ(strings_ ? strings_->Get(number) : LookupString("", number));
    };
    const QLocale locale;
    const QString characters = locale.toString(static_cast<qlonglong>(ToQ(text).toUcs4().size()));
    // A split posting is copied and saved one part at a time; the count of parts says how
    // many are still to go.
    if (!posting_.isSplit) return entry(wholeEntry).replace("%1", characters);
    const int parts = static_cast<int>(posting_.parts.size());
    const int part = std::clamp(cbSplit_->currentIndex() + 1, 1, std::max(parts, 1));
    return entry(partEntry)
        .replace("%1", locale.toString(part))
        .replace("%2", locale.toString(parts))
        .replace("%3", characters);
}

void CodePanel::OnClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    const std::string text = ExportedText();
    clipboard->clear();
    clipboard->setText(ToQ(text));
    emit StatusMessage(ExportedSummary(kStrPostingCopied, kStrPostingPartCopied, text));
}

void CodePanel::OnSave() {
    const std::string text = ExportedText();
    const std::string folder = ReadTextSetting(settingsFile_, keys::SavePathCode);
    const QString title =
        strings_ ? ToQ(strings_->Get(kStrSavePosting)) : QStringLiteral("VBCode speichern...");
    if (!dialogs_) dialogs_ = ModalDialogs();
    const QString path = dialogs_->ChooseSaveFile(window(), VbcFileQuestion(title, ToQ(folder)));
    if (path.isEmpty()) return;
    const std::string error = SaveVbcFile(FromQ(path), text);
    if (!error.empty()) {
        dialogs_->Warn(window(), QStringLiteral("Lumar"),
                       QString::fromUtf8("Die Datei %1 konnte nicht gespeichert werden:\n%2")
                           .arg(QFileInfo(path).absoluteFilePath(), ToQ(error)));
        return;
    }
    RememberSaveFolder(settingsFile_, keys::SavePathCode, FromQ(path));
    emit StatusMessage(ExportedSummary(kStrPostingSaved, kStrPostingPartSaved, text));
}

void CodePanel::OnClose() {
    hide();
    emit CloseRequested();
    if (stopSound_) stopSound_();
    WriteSetting(settingsFile_, keys::Split, ckSplit_->isChecked() ? "1" : "0");
    WriteSetting(settingsFile_, keys::SplitSize, FromQ(txSplitSize_->text()));
    WriteSetting(settingsFile_, keys::Center, ckCenter_->isChecked() ? "1" : "0");
    WriteSetting(settingsFile_, keys::Code, std::to_string(SelectedFormat()));
    WriteSetting(settingsFile_, keys::ImagesPerLine, std::to_string(spPerLine_->value()));
    WriteSetting(settingsFile_, keys::AutoCopy, ckAutoCopy_->isChecked() ? "1" : "0");
}

bool CodePanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txcode_ && event->type() == QEvent::FocusIn) txdummy_->setFocus();
    return QWidget::eventFilter(watched, event);
}

}  // namespace lumar::ui
