#pragma once
// The one window of Lumar, `frmMain`: a frameless 645 x 512 window with rounded corners that
// is dragged by its background and snaps to the screen edges. It holds the image list panel
// and the hoster choice (`pBilder`), the upload panel (`picTransfer`) and the code panel
// (`picCode`), which take turns in the same area, and the status bar `sBar`.
//
// Construction builds the controls; Start() runs the start-up in its fixed order (restoring
// the options, the interface texts, the remembered hoster, the upload totals).
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ui/screen_capture.h"
#include "history/history_store.h"
#include "imagelist/captures.h"
#include "session/session.h"
#include "shell/project_addresses.h"
#include "shell/ui/file_dialog.h"

class QLabel;
class QStatusBar;

namespace lumar {
class UploadRun;
}

namespace lumar::ui {

class CodePanel;
class HistoryWindow;
class HosterFrame;
class ImageListPanel;
class LinkLabel;
class Dialogs;
class UploadPanel;
struct ImageListPanelEnv;

// What the window asks of the outside world; tests replace these.
struct MainWindowHooks {
    // The update check of start-up; false ends the program (the user took the offer).
    // Empty: no check.
    std::function<bool(QWidget* owner)> updateCheck;
    // Message boxes and file dialogs; empty: real modal ones.
    std::shared_ptr<Dialogs> dialogs;
    // The folder browser of the image list (empty: the real one).
    std::function<void(QWidget*)> browseFolder;
    // Whether the desktop has a notification area (empty: ask Qt).
    std::function<bool()> trayAvailable;
    // The text-block editor of command 4 (empty: the real editor).
    std::function<bool(QWidget*, TextBlockEditMode, int, TextBlockPlacement*)> editTextBlock;
    // The forum and donation links; an empty address shows no link.
    ProjectAddresses addresses = kBuiltInAddresses;
    // The desktop's screenshot service (empty: the XDG desktop portal on the session bus).
    std::function<ScreenCapture*(QObject* parent)> screenCapture;
    // Whether a picture of the whole screen taken by Qt is offered where the desktop has no
    // screenshot service (empty: under X11, the one platform where Qt can read the screen).
    std::function<bool()> wholeScreenOffered;
};

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MainWindow(Session& session, MainWindowHooks hooks = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up steps. Returns false when the program is to end here (update accepted).
    bool Start();

    // The state other parts read.
    [[nodiscard]] const UiStrings& Strings() const { return strings_; }
    ImageList& List() { return list_; }
    TextBlocks& Blocks() { return blocks_; }
    PostingState& Posting() { return posting_; }
    [[nodiscard]] const HosterTable& Hosters() const { return hosters_; }
    [[nodiscard]] double StatFiles() const { return statFiles_; }
    [[nodiscard]] double StatBytes() const { return statBytes_; }
    [[nodiscard]] ImageListPanel* ListPanel() const { return listPanel_; }
    [[nodiscard]] UploadPanel* UploadPanelWidget() const { return uploadPanel_; }
    [[nodiscard]] HosterFrame* HosterFrameWidget() const { return hosterFrame_; }

    // Status bar panel 1..3.
    [[nodiscard]] QString StatusPanelText(int panel) const;
    // ShowStatsPanel: the upload totals into panel 3.
    void ShowStatsPanel();
    // Adds to the upload totals (after a successful upload), writes and shows them.
    void SetUploadStats(double files, double bytes);
    // Panel 1 warns that the settings in `settingsFile` cannot be saved, and why.
    void ShowSettingsNotSaved(const std::string& settingsFile, const std::string& reason);

    // MinimizeToTray: into the notification area, or minimised where there is none.
    void MinimizeToTray();
    // The notification-area icon's activation; a double click of either button restores.
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    [[nodiscard]] bool InTray() const { return inTray_; }
    // Takes the window out of the notification area and raises it. Under Wayland the
    // compositor decides; `activationToken` is a token the desktop issued for a start the user
    // made (a second start's), which lets the window in front where a bare request is refused.
    void BringToFront(const QString& activationToken = {});

    // The close image: stores the hoster, removes the tray icon, quits. A running upload
    // starts no further image and the program ends once the images sent have their answers;
    // a second close ends it at once.
    void Quit();
    [[nodiscard]] bool Quitting() const { return quitting_; }

    // Panels in the shared area.
    void ShowListPanel();
    void ShowUploadPanel();
    void ShowCodePanel();
    [[nodiscard]] CodePanel* CodePanelWidget() const { return codePanel_; }

    // cmUpload: the whole upload run; returns when it is over.
    void StartUpload();
    // cmAbbruch.
    void CancelUpload();
    [[nodiscard]] bool UploadRunning() const { return run_ != nullptr; }

    // Paths the program was opened with (its command line, a later start): added to the list
    // as a drop adds them. Until the start-up is over and while a run goes on they wait.
    void OpenPaths(const QStringList& paths);
    [[nodiscard]] bool Started() const { return started_; }

    // "Bildschirmfoto…": asks the desktop for a screenshot; the picture, copied into the
    // captures folder, becomes a row and the window comes back. The status line tells what
    // came of it.
    void TakeScreenshot();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildTitleArea();
    void BuildStatusBar();
    void ShapeWindow();
    void ApplyInterfaceTexts();
    void OpenOptions();
    // The hosters window over `owner`; the table is reloaded when it changed rows.
    void OpenHosters(QWidget* owner);
    // Reads the rows again, keeping the chosen one by its ID.
    void ReloadHosters();
    // cmHistory beside cmHosters, and the history window it opens (read anew at every opening).
    void AddHistoryButton();
    void CaptionHistoryButton();
    void OpenHistory();
    // The entries of the history window as a posting, as the code panel's options make it.
    std::string HistoryPosting(const std::vector<HistoryEntry>& entries);
    // cmRunLog beside the code panel's buttons, and the window it opens with the last run's
    // log.
    void AddRunLogButton();
    void ShowRunLog();
    // The end of Quit, once no run is left.
    void EndProgram();
    // Takes the .sxcu files of a drag (enter, move or drop) on the window; false when it holds
    // none and goes on as before.
    bool DropDefinitions(QEvent* event);
    [[nodiscard]] char DecimalSeparator() const;
    void OnScreenshotFinished(ScreenCapture::Outcome outcome, const QString& file,
                              const QString& detail);
    void TakeWholeScreen();
    // The capture as a new row, or why there is none, on the status line.
    void AddCapture(const CaptureResult& capture);
    void ShowStatus(const QString& text);

    MainWindowHooks hooks_;
    Session& session_;
    const std::string& settingsFile_;
    const std::string& languageFile_;
    HosterTable& hosters_;
    UiStrings& strings_;
    ImageList& list_;
    TextBlocks& blocks_;
    PostingState& posting_;
    // The program's one file dialog; every file question of the window goes through it.
    cFileDialog fileDialog_;
    double statFiles_ = 0;
    double statBytes_ = 0;

    LinkLabel* image1_ = nullptr;
    LinkLabel* spende_ = nullptr;
    LinkLabel* imWin_[2] = {};
    QLabel* lbAppVersion_ = nullptr;
    QWidget* pBilder_ = nullptr;
    ImageListPanel* listPanel_ = nullptr;
    HosterFrame* hosterFrame_ = nullptr;
    UploadPanel* uploadPanel_ = nullptr;
    CodePanel* codePanel_ = nullptr;
    QStatusBar* sBar_ = nullptr;
    QLabel* statusPanels_[3] = {};
    QSystemTrayIcon* tray_ = nullptr;
    bool inTray_ = false;
    bool quitting_ = false;
    QPoint pressedAt_;  // pixels, relative to the window
    bool dragging_ = false;
    lumar::UploadRun* run_ = nullptr;
    // The run in progress and what it needs while the loop steps it.
    struct RunParts;
    std::shared_ptr<RunParts> runParts_;
    void UploadEnded();
    QPointer<HistoryWindow> history_;
    QPointer<QWidget> runLog_;
    bool started_ = false;
    QStringList waitingPaths_;
    qint64 lastTrayContextMs_ = -1;
    ScreenCapture* screenCapture_ = nullptr;
};

}  // namespace lumar::ui
