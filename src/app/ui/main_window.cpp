#include "app/ui/main_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStatusBar>
#include <QSvgRenderer>
#include <QVBoxLayout>
#include <utility>

#include "app/ui/main_dialogs.h"
#include "hosters/hoster_rows.h"
#include "imagelist/ui/image_list_panel.h"
#include "imagelist/ui/image_list_view.h"
#include "posting/ui/code_panel.h"
#include "session/hoster_choice.h"
#include "shell/config_paths.h"
#include "shell/file_io.h"
#include "shell/settings_keys.h"
#include "shell/ui/captions.h"
#include "shell/ui/desktop_services.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/file_dialog.h"
#include "shell/ui/link_label.h"
#include "shell/ui/options_dialog.h"
#include "shell/ui/qt_text.h"
#include "shell/ui/sound.h"
#include "shell/window_geometry.h"
#include "upload/ui/hoster_frame.h"
#include "upload/ui/upload_panel.h"

// The resources live in a static library; they must be registered before the first use.
static void InitLumarResources() {
    Q_INIT_RESOURCE(lumar);
}

namespace lumar::ui {
namespace {

// The shared area of the list, upload and code panels.
QRect PanelArea() {
    const int left = TwipsToPixels(kPanelLeftTwips);
    const int top = TwipsToPixels(kPanelTopTwips);
    const int width = TwipsToPixels(kWindowWidthTwips) - 2 * left;
    const int height = TwipsToPixels(kWindowHeightTwips) - top - 26;
    return QRect(left, top, width, height);
}

QPixmap LogoPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/lumar/lumar.svg"));
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

// The minimise (0) and close (1) images: a light disc with a dash or a cross.
QPixmap WindowButtonPixmap(int index) {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x2c, 0x3e, 0x5a), 1.2));
    painter.setBrush(index == 1 ? QColor(0xe8, 0x6a, 0x5c) : QColor(0xf2, 0xc9, 0x4c));
    painter.drawEllipse(QRectF(1, 1, 18, 18));
    painter.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    if (index == 1) {
        painter.drawLine(QPointF(6.5, 6.5), QPointF(13.5, 13.5));
        painter.drawLine(QPointF(13.5, 6.5), QPointF(6.5, 13.5));
    } else {
        painter.drawLine(QPointF(6, 12.5), QPointF(14, 12.5));
    }
    return pixmap;
}

// The donation link: a small heart on a badge.
QPixmap DonationPixmap(const QString& caption) {
    QPixmap pixmap(82, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xfb, 0xf3, 0xe0));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 81, 21), 10, 10);
    QPainterPath heart;
    heart.moveTo(14, 17);
    heart.cubicTo(3, 10, 7, 3, 14, 8);
    heart.cubicTo(21, 3, 25, 10, 14, 17);
    painter.setBrush(QColor(0xd9, 0x43, 0x4f));
    painter.drawPath(heart);
    painter.setPen(QColor(0x6b, 0x3a, 0x1e));
    QFont font = painter.font();
    font.setPointSizeF(8);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(26, 0, 54, 22), Qt::AlignVCenter | Qt::AlignLeft, caption);
    return pixmap;
}

}  // namespace

MainWindow::MainWindow(Session& session, MainWindowHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      hooks_(std::move(hooks)),
      session_(session),
      settingsFile_(session.SettingsFile()),
      languageFile_(session.LanguageFile()),
      hosters_(session.Hosters()),
      strings_(session.Strings()),
      list_(session.List()),
      blocks_(session.Blocks()),
      posting_(session.Posting()) {
    InitLumarResources();
    setObjectName("frmMain");
    setWindowTitle("Lumar");
    setWindowIcon(QIcon(QPixmap::fromImage(LogoPixmap(64).toImage())));
    if (!hooks_.dialogs) hooks_.dialogs = ModalDialogs(fileDialog_);

    BuildTitleArea();

    pBilder_ = new QWidget(this);
    pBilder_->setObjectName("pBilder");
    ImageListPanelEnv env;
    env.list = &list_;
    env.blocks = &blocks_;
    env.strings = &strings_;
    env.settingsFile = settingsFile_;
    env.decimalSeparator = DecimalSeparator();
    env.dialogs = hooks_.dialogs;
    env.browseFolder = hooks_.browseFolder;
    if (!env.browseFolder)
        env.browseFolder = FolderBrowser(
            session_, [this](const ScanProblem& problem) { listPanel_->NoteScanProblem(problem); });
    env.editTextBlock = hooks_.editTextBlock;
    if (!env.editTextBlock) env.editTextBlock = TextBlockEditor(session_, hooks_.dialogs);
    env.capturesFolder = session_.Paths().capturesFolder;
    listPanel_ = new ImageListPanel(std::move(env), pBilder_);
    hosterFrame_ = new HosterFrame(pBilder_);
    auto* listLayout = new QVBoxLayout(pBilder_);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(4);
    listLayout->addWidget(listPanel_, 1);
    listLayout->addWidget(hosterFrame_);

    uploadPanel_ = new UploadPanel(this);
    uploadPanel_->hide();
    codePanel_ = new CodePanel(posting_, blocks_, settingsFile_, this);
    codePanel_->SetImageList(&list_);
    codePanel_->SetStrings(&strings_);
    codePanel_->SetDialogs(hooks_.dialogs);
    codePanel_->SetStopSound([] { StopSound(); });
    codePanel_->hide();
    uploadPanel_->SetStrings(&strings_);

    BuildStatusBar();

    connect(listPanel_, &ImageListPanel::SummaryChanged, this,
            [this](const QString& text) { statusPanels_[1]->setText(text); });
    connect(listPanel_, &ImageListPanel::ScanProblemsFound, this,
            [this](const QString& text) { statusPanels_[0]->setText(text); });
    connect(listPanel_, &ImageListPanel::StatusMessage, this, &MainWindow::ShowStatus);
    connect(listPanel_, &ImageListPanel::ScreenshotRequested, this, &MainWindow::TakeScreenshot);
    connect(hosterFrame_, &HosterFrame::HomePageClicked, this,
            [this](const QString& url) { OpenInShell(this, url); });
    connect(hosterFrame_, &HosterFrame::ConfigRequested, this, &MainWindow::OpenOptions);
    connect(hosterFrame_, &HosterFrame::HostersRequested, this, [this] { OpenHosters(this); });
    AddHistoryButton();
    AddRunLogButton();
    // Definitions dropped on the window or its list are taken before the list sees them.
    setAcceptDrops(true);
    installEventFilter(this);
    listPanel_->ListView()->viewport()->installEventFilter(this);
    connect(hosterFrame_, &HosterFrame::UploadRequested, this, &MainWindow::StartUpload);
    connect(uploadPanel_, &UploadPanel::CancelRequested, this, &MainWindow::CancelUpload);
    connect(codePanel_, &CodePanel::CloseRequested, this, &MainWindow::ShowListPanel);
    connect(codePanel_, &CodePanel::StatusMessage, this,
            [this](const QString& text) { statusPanels_[0]->setText(" " + text); });
    connect(codePanel_, &CodePanel::RowChecksChanged, this, [this] {
        if (!list_.Empty()) listPanel_->RowsEdited(1, list_.Count());
    });

    const QRect area = PanelArea();
    pBilder_->setGeometry(area);
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildTitleArea() {
    // Without a forum address the logo is only a picture.
    const QString forum = ToQ(hooks_.addresses.forum);
    image1_ = new LinkLabel("Image1", this, !forum.isEmpty());
    image1_->setPixmap(LogoPixmap(40));
    image1_->setGeometry(14, 8, 40, 40);
    if (!forum.isEmpty()) {
        image1_->setToolTip(forum);
        connect(image1_, &LinkLabel::Clicked, this, [this, forum] { OpenInShell(this, forum); });
    }

    auto* title = new QLabel("Lumar", this);
    title->setObjectName("Label1");
    QFont titleFont = title->font();
    titleFont.setPointSizeF(15);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setStyleSheet("color: #1d2f4a;");
    title->setGeometry(62, 8, 120, 26);
    title->setAttribute(Qt::WA_TransparentForMouseEvents);

    lbAppVersion_ = new QLabel(this);
    lbAppVersion_->setObjectName("lbAppVersion");
    lbAppVersion_->setStyleSheet("color: #4a5a72;");
    lbAppVersion_->setGeometry(63, 33, 120, 16);
    lbAppVersion_->setAttribute(Qt::WA_TransparentForMouseEvents);

    const QString donation = ToQ(hooks_.addresses.donation);
    spende_ = new LinkLabel("Spende", this, true);
    spende_->setPixmap(DonationPixmap(QStringLiteral("Spende")));
    spende_->setGeometry(484, 15, 82, 22);
    spende_->setToolTip(donation);
    spende_->setVisible(!donation.isEmpty());
    connect(spende_, &LinkLabel::Clicked, this, [this, donation] { OpenInShell(this, donation); });

    for (int i = 0; i < 2; ++i) {
        imWin_[i] = new LinkLabel(QStringLiteral("imWin_%1").arg(i), this);
        imWin_[i]->setPixmap(WindowButtonPixmap(i));
        imWin_[i]->setGeometry(i == 0 ? 580 : 606, 16, 20, 20);
        imWin_[i]->setCursor(Qt::ArrowCursor);
    }
    connect(imWin_[0], &LinkLabel::Clicked, this, &MainWindow::MinimizeToTray);
    connect(imWin_[1], &LinkLabel::Clicked, this, &MainWindow::Quit);
}

void MainWindow::BuildStatusBar() {
    sBar_ = new QStatusBar(this);
    sBar_->setObjectName("sBar");
    sBar_->setSizeGripEnabled(false);
    const int height = 22;
    const int width = TwipsToPixels(kWindowWidthTwips);
    sBar_->setGeometry(0, TwipsToPixels(kWindowHeightTwips) - height - 2, width, height);
    const int stretch[3] = {2, 3, 3};
    for (int i = 0; i < 3; ++i) {
        statusPanels_[i] = new QLabel(sBar_);
        statusPanels_[i]->setObjectName(QStringLiteral("sBar_panel_%1").arg(i + 1));
        statusPanels_[i]->setTextFormat(Qt::PlainText);
        sBar_->addPermanentWidget(statusPanels_[i], stretch[i]);
    }
}

char MainWindow::DecimalSeparator() const {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point.at(0).unicode() < 0x80
               ? static_cast<char>(point.at(0).unicode())
               : '.';
}

bool MainWindow::Start() {
    // 1, 2: fixed size and the rounded outline.
    setFixedSize(TwipsToPixels(kWindowWidthTwips), TwipsToPixels(kWindowHeightTwips));
    ShapeWindow();
    // 3: the status bar takes the window's own background.
    sBar_->setAutoFillBackground(true);
    QPalette barPalette = sBar_->palette();
    barPalette.setColor(QPalette::Window, palette().color(QPalette::Window));
    sBar_->setPalette(barPalette);
    // 4: the three links carry the hand cursor (set when they were made; kept here in order).
    // (A logo without a forum address is no link and keeps the arrow.)
    if (auto* lbURL = hosterFrame_->findChild<LinkLabel*>("lbURL"))
        lbURL->setCursor(Qt::PointingHandCursor);
    if (!hooks_.addresses.forum.empty()) image1_->setCursor(Qt::PointingHandCursor);
    spende_->setCursor(Qt::PointingHandCursor);
    // 5: the hoster table and the hoster choice (selects the first).
    hosters_ = LoadHosterRows(session_.Paths().configFolder, session_.Paths().dataFolder);
    hosterFrame_->SetHosters(hosters_);
    // 6: upload and code panel share the list's place.
    uploadPanel_->setGeometry(PanelArea());
    codePanel_->setGeometry(PanelArea());
    // 7: version label.
    lbAppVersion_->setText(ToQ(AppVersionText(LUMAR_VERSION)));
    // 8: the update check may end the program here.
    if (hooks_.updateCheck && !hooks_.updateCheck(this)) return false;
    // 9, 10: preview index, then the options as a user's clicks would set them.
    listPanel_->ResetPreviewRowIndex();
    listPanel_->RestorePreviewSetting();
    codePanel_->RestoreSettings(settingsFile_);
    const int rememberedHoster = RememberedHosterRow(hosters_, settingsFile_) - 1;
    // 11, 12: interface texts, message table, status panels 1 and 2.
    ApplyInterfaceTexts();
    // 13: the remembered hoster; an index beyond the list selects the last entry.
    hosterFrame_->SelectHoster(rememberedHoster);
    // 14, 15: upload totals.
    statFiles_ = ReadCountSetting(settingsFile_, keys::StatFiles);
    statBytes_ = ReadCountSetting(settingsFile_, keys::StatSize);
    ShowStatsPanel();
    listPanel_->StripeList();
    // 16: the one file dialog of the program exists since the window was made.
    started_ = true;
    return true;
}

void MainWindow::ApplyInterfaceTexts() {
    for (const char* section : {"Frame0", "Frame1", "Frame2", "Frame3"})
        ApplyCaptions(this, section, languageFile_);
    const QPushButton* textBlockButton = findChild<QPushButton*>("cmBilder_4");
    strings_ = LoadUiStrings(languageFile_, textBlockButton ? FromQ(textBlockButton->text()) : "");
    statusPanels_[0]->setText(" " + ToQ(strings_.Get(kStrStatusReady)));
    statusPanels_[1]->setText(ToQ(strings_.Get(kStrImages)));
    const QString donation = ToQ(strings_.Get(kStrDonation));
    spende_->setPixmap(DonationPixmap(donation));
    spende_->setAccessibleName(donation);
    imWin_[0]->setToolTip(ToQ(strings_.Get(kStrToTrayTip)));
    imWin_[1]->setToolTip(ToQ(strings_.Get(kStrQuitTip)));
    codePanel_->ApplyMessageTexts(strings_);
    listPanel_->ApplyMessageTexts();
    hosterFrame_->HostersButton()->setText(ToQ(strings_.Get(kStrHostersButton)));
    hosterFrame_->SetGroupTexts(ToQ(strings_.Get(kStrTodaysHosters)),
                                ToQ(strings_.Get(kStrClassicHosters)),
                                ToQ(strings_.Get(kStrKeyStillMissing)));
    CaptionHistoryButton();
    if (auto* runLog = codePanel_->findChild<QPushButton*>("cmRunLog"))
        runLog->setText(ToQ(strings_.Get(kStrShowRunLog)));
}

QString MainWindow::StatusPanelText(int panel) const {
    return panel >= 1 && panel <= 3 ? statusPanels_[panel - 1]->text() : QString();
}

void MainWindow::ShowStatsPanel() {
    statusPanels_[2]->setText(ToQ(
        FormatStatsPanel(strings_, statFiles_, statBytes_, std::string(1, DecimalSeparator()))));
}

void MainWindow::SetUploadStats(double files, double bytes) {
    statFiles_ = files;
    statBytes_ = bytes;
    ShowStatsPanel();
}

void MainWindow::ShowSettingsNotSaved(const std::string& settingsFile, const std::string& reason) {
    statusPanels_[0]->setText(ToQ(" " + strings_.Get(kStrSettingsNotSaved) + " " +
                                  FolderOf(settingsFile) + " (" + reason + ")"));
}

void MainWindow::ShowListPanel() {
    codePanel_->hide();
    uploadPanel_->hide();
    pBilder_->show();
}

void MainWindow::ShowUploadPanel() {
    pBilder_->hide();
    codePanel_->hide();
    uploadPanel_->show();
}

void MainWindow::ShowCodePanel() {
    pBilder_->hide();
    uploadPanel_->hide();
    codePanel_->show();
}

void MainWindow::OpenPaths(const QStringList& paths) {
    waitingPaths_ << paths;
    if (!started_ || run_ || quitting_ || waitingPaths_.isEmpty()) return;
    listPanel_->AddDroppedPaths(std::exchange(waitingPaths_, {}));
}

void MainWindow::OpenOptions() {
    ShowOptionsDialog(this, settingsFile_, languageFile_, strings_, *hooks_.dialogs,
                      session_.Paths().capturesFolder,
                      [this](QWidget* owner) { OpenHosters(owner); });
}

}  // namespace lumar::ui
