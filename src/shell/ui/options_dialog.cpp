#include "shell/ui/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

#include "shell/config_paths.h"
#include "shell/file_io.h"
#include "shell/interface_language.h"
#include "shell/settings_keys.h"
#include "shell/ui/captions.h"
#include "shell/ui/desktop_services.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/named_widget.h"
#include "shell/ui/qt_text.h"
#include "shell/ui/sound.h"

namespace lumar::ui {
namespace {

// The longest time-out the field takes, 3600 s, has four digits.
constexpr int kTimeoutDigits = 4;

}  // namespace

OptionsDialog::OptionsDialog(std::string settingsFile, const std::string& languageFile,
                             UiStrings strings, SoundPlayer& sound, Dialogs& dialogs,
                             std::string capturesFolder, QWidget* parent)
    : QDialog(parent),
      settingsFile_(std::move(settingsFile)),
      capturesFolder_(std::move(capturesFolder)),
      strings_(std::move(strings)),
      sound_(sound),
      dialogs_(dialogs) {
    setObjectName("frmTemp");
    setWindowTitle("Lumar");
    setModal(true);

    auto* waitFrame = Named(new QGroupBox(this), "Frame_0");
    auto* label1 = Named(new QLabel(waitFrame), "Label1");
    label1->setWordWrap(true);
    txtimeout_ = Named(new QLineEdit(waitFrame), "txtimeout");
    txtimeout_->setMaxLength(kTimeoutDigits);
    txtimeout_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QString("[0-9]{0,%1}").arg(kTimeoutDigits)), txtimeout_));
    txtimeout_->setMaximumWidth(80);
    auto* label2 = Named(new QLabel(waitFrame), "Label2");
    auto* waitLayout = new QGridLayout(waitFrame);
    waitLayout->addWidget(label1, 0, 0, 1, 3);
    waitLayout->addWidget(txtimeout_, 1, 0);
    waitLayout->addWidget(label2, 1, 1);
    waitLayout->setColumnStretch(2, 1);
    // Standard hosts go through this proxy; the hint says how to leave it to the environment.
    auto* lbProxy = Named(new QLabel(ToQ(strings_.Get(kStrProxyCaption)), waitFrame), "lbProxy");
    txProxy_ = Named(new QLineEdit(waitFrame), "txProxy");
    txProxy_->setPlaceholderText(ToQ(strings_.Get(kStrProxyHint)));
    lbProxy->setBuddy(txProxy_);
    waitLayout->addWidget(lbProxy, 2, 0);
    waitLayout->addWidget(txProxy_, 2, 1, 1, 2);

    QWidget* picturesFrame = MakePicturesFrame();

    auto* afterFrame = Named(new QGroupBox(this), "Frame_2");
    ckForm_ = Named(new QCheckBox(afterFrame), "ckForm");
    ckSound_ = Named(new QCheckBox(afterFrame), "ckSound");
    auto* label1000 = Named(new QLabel(afterFrame), "Label1000");
    txSound_ = Named(new QLineEdit(afterFrame), "txSound");
    cmSound_ = Named(new QPushButton("...", afterFrame), "cmSound");
    cmPlay_ = Named(new QPushButton(QString::fromUtf8("\u25B6"), afterFrame), "cmPlay");
    cmStop_ = Named(new QPushButton(QString::fromUtf8("\u25A0"), afterFrame), "cmStop");
    for (QPushButton* button : {cmSound_, cmPlay_, cmStop_}) button->setFixedWidth(32);
    auto* soundRow = new QHBoxLayout;
    soundRow->addWidget(txSound_, 1);
    soundRow->addWidget(cmSound_);
    soundRow->addWidget(cmPlay_);
    soundRow->addWidget(cmStop_);
    auto* afterLayout = new QVBoxLayout(afterFrame);
    afterLayout->addWidget(ckForm_);
    afterLayout->addWidget(ckSound_);
    afterLayout->addWidget(label1000);
    afterLayout->addLayout(soundRow);

    auto* adFrame = Named(new QGroupBox(this), "Frame_3");
    ckWerbung_ = Named(new QCheckBox(adFrame), "ckWerbung");
    auto* label3 = Named(new QLabel(adFrame), "Label3");
    label3->setWordWrap(true);
    auto* adLayout = new QVBoxLayout(adFrame);
    adLayout->addWidget(ckWerbung_);
    adLayout->addWidget(label3);

    auto* cmHosters =
        Named(new QPushButton(ToQ(strings_.Get(kStrHostersButton)), this), "cmHosters");
    connect(cmHosters, &QPushButton::clicked, this, &OptionsDialog::HostersRequested);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(waitFrame);
    layout->addWidget(picturesFrame);
    layout->addWidget(afterFrame);
    layout->addWidget(adFrame);
    layout->addLayout(MakeLanguageRow());
    layout->addWidget(cmHosters, 0, Qt::AlignLeft);
    setMinimumWidth(420);

    Load();
    ApplyCaptions(this, "Frame5", languageFile);

    connect(ckSound_, &QCheckBox::toggled, this, &OptionsDialog::OnSoundToggled);
    connect(cmSound_, &QPushButton::clicked, this, &OptionsDialog::OnChooseSound);
    connect(cmPlay_, &QPushButton::clicked, this,
            [this] { sound_.PlaySoundFile(FromQ(txSound_->text())); });
    connect(cmStop_, &QPushButton::clicked, this, [this] { sound_.StopSound(); });
}

// Phones write where a photo was taken into it, so stripping is the first thing of the frame
// and stands out.
QWidget* OptionsDialog::MakePicturesFrame() {
    auto* frame = Named(new QGroupBox(ToQ(strings_.Get(kStrPicturesFrame)), this), "framePictures");
    ckStrip_ = Named(new QCheckBox(ToQ(strings_.Get(kStrStripCaption)), frame), "ckStrip");
    ckStrip_->setTristate(true);
    QFont bold = ckStrip_->font();
    bold.setBold(true);
    ckStrip_->setFont(bold);
    lbStripAuto_ = Named(new QLabel(ToQ(strings_.Get(kStrStripAutomatic)), frame), "lbStripAuto");
    lbStripAuto_->setWordWrap(true);
    auto* lbMaxSide = Named(new QLabel(ToQ(strings_.Get(kStrMaxSideCaption)), frame), "lbMaxSide");
    spMaxSide_ = Named(new QSpinBox(frame), "spMaxSide");
    spMaxSide_->setRange(static_cast<int>(keys::MaxSide.min), static_cast<int>(keys::MaxSide.max));
    spMaxSide_->setSingleStep(100);
    auto* lbQuality = Named(new QLabel(ToQ(strings_.Get(kStrQualityCaption)), frame), "lbQuality");
    spQuality_ = Named(new QSpinBox(frame), "spQuality");
    spQuality_->setRange(static_cast<int>(keys::Quality.min), static_cast<int>(keys::Quality.max));
    lbMaxSide->setBuddy(spMaxSide_);
    lbQuality->setBuddy(spQuality_);
    auto* grid = new QGridLayout(frame);
    grid->addWidget(ckStrip_, 0, 0, 1, 3);
    grid->addWidget(lbStripAuto_, 1, 0, 1, 3);
    grid->addWidget(lbMaxSide, 2, 0);
    grid->addWidget(spMaxSide_, 2, 1);
    grid->addWidget(lbQuality, 3, 0);
    grid->addWidget(spQuality_, 3, 1);
    ckOwnThumbs_ =
        Named(new QCheckBox(ToQ(strings_.Get(kStrOwnThumbsCaption)), frame), "ckOwnThumbs");
    grid->addWidget(ckOwnThumbs_, 4, 0, 1, 3);
    AddCapturesRows(frame, grid, 5);
    grid->setColumnStretch(2, 1);
    connect(ckStrip_, &QCheckBox::stateChanged, this,
            [this](int state) { lbStripAuto_->setVisible(state == Qt::PartiallyChecked); });
    return frame;
}

// Each language is offered in its own words, as its file names it.
QLayout* OptionsDialog::MakeLanguageRow() {
    auto* label = Named(new QLabel(ToQ(strings_.Get(kStrLanguageCaption)), this), "lbSprache");
    cbSprache_ = Named(new QComboBox(this), "cbSprache");
    cbSprache_->addItem(ToQ(strings_.Get(kStrLanguageFromLocale)), QString());
    const std::string texts = JoinPath(DataFolder(), "lang");
    std::vector<std::string> codes = ShippedLanguages(DataFolder());
    if (std::find(codes.begin(), codes.end(), kBuiltInLanguage) == codes.end())
        codes.insert(codes.begin(), std::string(kBuiltInLanguage));
    for (const std::string& code : codes)
        cbSprache_->addItem(ToQ(LookupString(JoinPath(texts, code + ".ini"), kStrLanguageName)),
                            ToQ(code));
    label->setBuddy(cbSprache_);
    auto* hint = Named(new QLabel(ToQ(strings_.Get(kStrLanguageNextStart)), this), "lbSpracheHint");
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(cbSprache_);
    row->addWidget(hint, 1);
    return row;
}

// Screenshots and pasted pictures are files of their own, kept for a while in a folder the
// user may want to look into.
void OptionsDialog::AddCapturesRows(QWidget* frame, QGridLayout* grid, int row) {
    auto* caption = Named(new QLabel(ToQ(strings_.Get(kStrCapturesCaption)), frame), "lbCaptures");
    auto* folder = Named(new QLineEdit(ToQ(capturesFolder_), frame), "txCaptures");
    folder->setReadOnly(true);
    folder->setCursorPosition(0);
    auto* open = Named(new QPushButton(ToQ(strings_.Get(kStrOpenFolder)), frame), "cmCaptures");
    open->setAutoDefault(false);
    connect(open, &QPushButton::clicked, this, [this] {
        QDir().mkpath(ToQ(capturesFolder_));
        OpenInShell(this, ToQ(capturesFolder_));
    });
    auto* days =
        Named(new QLabel(ToQ(strings_.Get(kStrCaptureDaysCaption)), frame), "lbCaptureDays");
    spCaptureDays_ = Named(new QSpinBox(frame), "spCaptureDays");
    spCaptureDays_->setRange(static_cast<int>(keys::CaptureDays.min),
                             static_cast<int>(keys::CaptureDays.max));
    days->setBuddy(spCaptureDays_);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder, 1);
    folderRow->addWidget(open);
    grid->addWidget(caption, row, 0, 1, 3);
    grid->addLayout(folderRow, row + 1, 0, 1, 3);
    grid->addWidget(days, row + 2, 0);
    grid->addWidget(spCaptureDays_, row + 2, 1);
}

void OptionsDialog::Load() {
    txtimeout_->setText(QString::number(ReadTimeoutSeconds(settingsFile_)));
    ckForm_->setChecked(ReadIntSetting(settingsFile_, keys::Form) == 1);
    ckSound_->setChecked(ReadIntSetting(settingsFile_, keys::SoundAn) == 1);
    ckWerbung_->setChecked(ReadIntSetting(settingsFile_, keys::Werbung) == 1);
    txSound_->setText(ToQ(ReadTextSetting(settingsFile_, keys::Soundfile)));
    txProxy_->setText(ToQ(ReadTextSetting(settingsFile_, keys::Proxy)));
    const std::string strip = ReadTextSetting(settingsFile_, keys::Strip);
    ckStrip_->setCheckState(strip == "1"   ? Qt::Checked
                            : strip == "0" ? Qt::Unchecked
                                           : Qt::PartiallyChecked);
    lbStripAuto_->setVisible(ckStrip_->checkState() == Qt::PartiallyChecked);
    spMaxSide_->setValue(ReadIntSetting(settingsFile_, keys::MaxSide));
    spQuality_->setValue(ReadIntSetting(settingsFile_, keys::Quality));
    spCaptureDays_->setValue(ReadIntSetting(settingsFile_, keys::CaptureDays));
    ckOwnThumbs_->setChecked(ReadIntSetting(settingsFile_, keys::OwnThumbs) == 1);
    EnableSoundControls(ckSound_->isChecked());
    // A language no file of this installation has is shown as left to the locale.
    languageShown_ =
        std::max(cbSprache_->findData(ToQ(ReadTextSetting(settingsFile_, keys::Sprache))), 0);
    cbSprache_->setCurrentIndex(languageShown_);
}

void OptionsDialog::EnableSoundControls(bool on) {
    for (QWidget* control : {static_cast<QWidget*>(txSound_), static_cast<QWidget*>(cmSound_),
                             static_cast<QWidget*>(cmPlay_), static_cast<QWidget*>(cmStop_)})
        control->setEnabled(on);
}

void OptionsDialog::OnSoundToggled(bool on) {
    sound_.StopSound();
    EnableSoundControls(on);
}

void OptionsDialog::OnChooseSound() {
    sound_.StopSound();
    FileQuestion question;
    question.title = ToQ(strings_.Get(kStrChooseSound));
    question.folder = ToQ(ReadTextSetting(settingsFile_, keys::SoundDir));
    question.filter = QStringLiteral("Sound (*.mp3;*.wav)|*.mp3;*.wav");
    const QString path = dialogs_.ChooseOpenFile(this, question);
    if (path.isEmpty()) return;
    const std::string file = FromQ(path);
    WriteSetting(settingsFile_, keys::SoundDir, FolderOf(file));
    WriteSetting(settingsFile_, keys::Soundfile, file);
    txSound_->setText(path);
}

void OptionsDialog::Save() {
    // The field takes digits only, so the one text that is no number is an emptied field;
    // the stored time-out stays a number of seconds within what an upload may wait.
    const QString timeout = txtimeout_->text();
    WriteSetting(settingsFile_, keys::Timeout,
                 timeout.isEmpty() ? DefaultText(keys::Timeout)
                                   : std::to_string(ClampTimeoutSeconds(timeout.toLongLong())));
    WriteSetting(settingsFile_, keys::Form, ckForm_->isChecked() ? 1 : 0);
    WriteSetting(settingsFile_, keys::SoundAn, ckSound_->isChecked() ? 1 : 0);
    WriteSetting(settingsFile_, keys::Werbung, ckWerbung_->isChecked() ? 1 : 0);
    // Left untouched, the key stays out of the file, so the environment keeps deciding.
    const std::string proxy = FromQ(txProxy_->text().trimmed());
    if (proxy != ReadTextSetting(settingsFile_, keys::Proxy))
        WriteSetting(settingsFile_, keys::Proxy, proxy);
    SavePictures();
    // Only a choice the user changed is written: a language this installation lacks stays.
    if (cbSprache_->currentIndex() != languageShown_)
        WriteSetting(settingsFile_, keys::Sprache, FromQ(cbSprache_->currentData().toString()));
}

// Only what changed is written, so options never touched keep following the program's
// defaults.
void OptionsDialog::SavePictures() {
    const Qt::CheckState state = ckStrip_->checkState();
    const std::string strip = state == Qt::Checked ? "1" : state == Qt::Unchecked ? "0" : "";
    if (strip != ReadTextSetting(settingsFile_, keys::Strip))
        WriteSetting(settingsFile_, keys::Strip, strip);
    for (const auto& [box, key] : {std::pair{spMaxSide_, &keys::MaxSide},
                                   {spQuality_, &keys::Quality},
                                   {spCaptureDays_, &keys::CaptureDays}})
        if (box->value() != ReadIntSetting(settingsFile_, *key))
            WriteSetting(settingsFile_, *key, box->value());
    if (const int own = ckOwnThumbs_->isChecked() ? 1 : 0;
        own != ReadIntSetting(settingsFile_, keys::OwnThumbs))
        WriteSetting(settingsFile_, keys::OwnThumbs, own);
}

void OptionsDialog::done(int result) {
    Save();
    sound_.StopSound();
    QDialog::done(result);
}

void ShowOptionsDialog(QWidget* owner, const std::string& settingsFile,
                       const std::string& languageFile, const UiStrings& strings, Dialogs& dialogs,
                       const std::string& capturesFolder,
                       const std::function<void(QWidget*)>& openHosters) {
    OptionsDialog dialog(settingsFile, languageFile, strings, ProgramSoundPlayer(), dialogs,
                         capturesFolder, owner);
    if (openHosters)
        QObject::connect(&dialog, &OptionsDialog::HostersRequested, &dialog,
                         [&] { openHosters(&dialog); });
    dialog.exec();
}

}  // namespace lumar::ui
