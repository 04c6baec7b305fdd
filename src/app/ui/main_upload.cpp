// The upload run as the main window drives it: the run reports through an observer that
// feeds the upload panel, the list, the status bar and the code panel.
#include <QApplication>
#include <algorithm>

#include "app/ui/main_window.h"
#include "app/ui/run_notification.h"
#include "history/history_store.h"
#include "hosters/request_template.h"
#include "imagelist/ui/image_list_panel.h"
#include "posting/ui/code_panel.h"
#include "session/posting_hand_over.h"
#include "shell/settings_keys.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/qt_text.h"
#include "shell/ui/sound.h"
#include "upload/ui/hoster_frame.h"
#include "upload/ui/upload_panel.h"
#include "upload/upload_run.h"

namespace lumar::ui {
namespace {

class WindowUploadObserver final : public PostingHandOver {
  public:
    WindowUploadObserver(MainWindow& window, UploadPanel& panel, ImageListPanel& list,
                         CodePanel& code, Dialogs& messages)
        : PostingHandOver(window.Posting(), window.Blocks(), code.Options(),
                          PostingTextsFrom(window.Strings())),
          window_(window),
          panel_(panel),
          list_(list),
          code_(code),
          messages_(messages) {}

    void RunStarted(int imageCount) override {
        imageCount_ = imageCount;
        code_.SetStopVisible(false);
        window_.ShowUploadPanel();
        panel_.RunStarted(imageCount);
    }
    void StatusLine(const std::string& text) override { panel_.StatusLine(text); }
    void AppendLog(const std::string& text, bool lineEnd) override {
        panel_.AppendLog(text, lineEnd);
    }
    void Figures(const UploadFigures& figures) override { panel_.Figures(figures); }
    void Progress(int value, int maximum) override { panel_.Progress(value, maximum); }
    void CurrentFile(const std::string& path) override { panel_.CurrentFile(path); }
    void RowChanged(int position) override { list_.RowsEdited(position, position); }
    void StatsChanged(double files, double bytes) override { window_.SetUploadStats(files, bytes); }
    void TotalsNotSaved(const std::string& settingsFile, const std::string& reason) override {
        window_.ShowSettingsNotSaved(settingsFile, reason);
    }
    void CollectPosting(std::span<ImageEntry> rows) override {
        PostingHandOver::CollectPosting(rows);
        if (!rows.empty()) list_.RowsEdited(1, static_cast<int>(rows.size()));
    }
    void RunFinished() override {
        panel_.RunFinished();
        if (!window_.Quitting()) window_.ShowCodePanel();
    }
    void ShowMessage(const std::string& title, const std::string& text) override {
        // After the close image nothing more may pop up: the program is ending.
        if (!window_.Quitting()) messages_.Inform(&window_, ToQ(title), ToQ(text));
    }
    void FinishPosting(std::span<const ImageEntry> rows) override {
        PostingHandOver::FinishPosting(rows);
        code_.ShowFinishedPosting(View());
        NotifyUnlessWatched(rows);
    }
    void PlaySound(const std::string& soundFile) override {
        if (window_.Quitting()) return;
        lumar::ui::PlaySoundFile(soundFile);
        code_.SetStopVisible(true);
    }
    void BringToFront() override {
        if (!window_.Quitting()) window_.BringToFront();
    }

  private:
    // A user looking at the window sees the end; one working elsewhere is told by the desktop.
    void NotifyUnlessWatched(std::span<const ImageEntry> rows) {
        if (window_.Quitting() || window_.isActiveWindow()) return;
        const auto notSent = std::ranges::count_if(rows, &ImageEntry::IsImageToUpload);
        const int uploaded = imageCount_ - static_cast<int>(notSent);
        SendRunNotification(
            RunNotificationText(window_.Strings(), uploaded, imageCount_, code_.AutoCopy()));
    }

    MainWindow& window_;
    UploadPanel& panel_;
    ImageListPanel& list_;
    CodePanel& code_;
    Dialogs& messages_;
    int imageCount_ = 0;
};

// The row's questions, asked once before the first image; false when the person cancelled.
bool AskQuestions(QWidget* owner, Dialogs& dialogs, const UiStrings& strings, const HosterDef& row,
                  PromptAnswers& answers) {
    const std::vector<TemplatePrompt> prompts = RowPrompts(row);
    if (prompts.empty()) return true;
    std::vector<TextQuestion> questions;
    for (const TemplatePrompt& prompt : prompts) {
        QStringList choices;
        for (const std::string& choice : prompt.choices) choices << ToQ(choice);
        questions.push_back({ToQ(prompt.title), ToQ(prompt.default_text), choices});
    }
    const std::optional<QStringList> texts =
        dialogs.AskTexts(owner, ToQ(strings.Get(kStrHostQuestions)), questions);
    if (!texts || texts->size() != static_cast<qsizetype>(prompts.size())) return false;
    for (size_t i = 0; i < prompts.size(); ++i)
        answers[prompts[i].title] = FromQ((*texts)[static_cast<qsizetype>(i)]);
    return true;
}

}  // namespace

void MainWindow::StartUpload() {
    if (run_ || quitting_) return;
    PromptAnswers answers;
    if (!AskQuestions(this, *hooks_.dialogs, strings_, hosters_.Row(hosterFrame_->SelectedRow()),
                      answers))
        return;
    WindowUploadObserver observer(*this, *uploadPanel_, *listPanel_, *codePanel_, *hooks_.dialogs);
    UploadRun run(hosters_, strings_, observer);
    run_ = &run;
    UploadRunOptions options;
    options.hosterIndex = hosterFrame_->SelectedRow();
    options.settingsFile = settingsFile_;
    options.shownTotals = {statFiles_, statBytes_};
    options.pump = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
    // A frame: dragging or typing during a run must not wait for a socket.
    options.pumpSlice = std::chrono::milliseconds(10);
    options.transport.proxy = ProxyFromSetting(ReadTextSetting(settingsFile_, keys::Proxy),
                                               ReadTextSetting(settingsFile_, keys::NoProxy));
    // Opened per run, so lumar-cli's uploads in between are seen; a damaged file is moved
    // aside on the first opening only, and the log says so then.
    HistoryStore history;
    if (history.Open(HistoryFile(session_.Paths().configFolder)) == HistoryOpening::ReplacedBroken)
        options.historySetAside = history.SetAsidePath();
    options.history = &history;
    options.reuse = ReadIntSetting(settingsFile_, keys::Reuse) == 1;
    options.processing = ProcessingFor(
        settingsFile_, hosters_.Row(options.hosterIndex).Request == RequestKind::Standard);
    options.answers = std::move(answers);
    options.ownThumbSide = OwnThumbSide(settingsFile_);
    options.fallbackId = ReadTextSetting(settingsFile_, keys::Ersatz);
    std::span<ImageEntry> rows;
    if (!list_.Empty())
        rows = std::span<ImageEntry>(&list_.Row(1), static_cast<size_t>(list_.Count()));
    run.Run(rows, options);
    run_ = nullptr;
    if (!run.Outputs().empty()) {
        QStringList outputs;
        for (const std::string& output : run.Outputs()) outputs << ToQ(output);
        hooks_.dialogs->Inform(this, ToQ(strings_.Get(kStrHostOutput)), outputs.join("\n"));
    }
    OpenPaths({});
}

void MainWindow::CancelUpload() {
    if (run_) run_->Abort();
}

}  // namespace lumar::ui
