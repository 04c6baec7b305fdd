// The upload run as the main window drives it: the run reports through an observer that
// feeds the upload panel, the list, the status bar and the code panel. What failed stays with
// its rows and is named in the message at the end; the run's log stays at hand afterwards.
#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "app/ui/main_window.h"
#include "app/ui/run_notification.h"
#include "hosters/request_template.h"
#include "imagelist/ui/image_list_panel.h"
#include "posting/ui/code_panel.h"
#include "session/posting_hand_over.h"
#include "session/run_setup.h"
#include "shell/plain_text.h"
#include "shell/reason_text.h"
#include "shell/settings_keys.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/named_widget.h"
#include "shell/ui/qt_text.h"
#include "shell/ui/sound.h"
#include "shell/ui/task_driver.h"
#include "upload/ui/hoster_frame.h"
#include "upload/ui/upload_panel.h"
#include "upload/upload_run.h"

namespace lumar::ui {
namespace {

// Names in the end message, then "und N weitere".
constexpr int kListedFailures = 10;

// What a row keeps of a failure: the reason, or the word of failure when there is none.
std::string FailureOfRow(const std::string& reason, const UiStrings& strings) {
    return reason.empty() ? strings.Get(kStrFailed) : reason;
}

// One line of the end message: the image's name and why it failed.
std::string FailedImageLine(const std::string& name, const std::string& reason) {
    return Printable("• " + name + ": " + reason);
}

// The images still to upload that failed, for the end message: the first ones by name with
// their reasons, then how many more; "" when none failed (a cancel left them untried).
std::string FailedImagesText(const ImageList& list, const UiStrings& strings) {
    std::string text;
    int failed = 0;
    for (int position = 1; position <= list.Count(); ++position) {
        const ImageEntry& row = list.Row(position);
        if (!row.IsImageToUpload() || row.failure.empty()) continue;
        if (++failed <= kListedFailures) text += "\r\n" + FailedImageLine(row.text, row.failure);
    }
    if (failed > kListedFailures)
        text += "\r\n" + ReplaceAll(strings.Get(kStrMoreFailed), "%1",
                                    std::to_string(failed - kListedFailures));
    return text.empty() ? text : "\r\n" + text;
}

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
        // A row tried again loses what the last run said about it.
        ImageList& list = window_.List();
        for (int position = 1; position <= list.Count(); ++position)
            if (list.Row(position).IsImageToUpload()) list.Row(position).failure.clear();
        if (!list.Empty()) list_.RowsEdited(1, list.Count());
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
    void ImageFailed(int position, const Reason& reason) override {
        window_.List().Row(position).failure =
            FailureOfRow(ReasonText(reason, window_.Strings()), window_.Strings());
        list_.RowsEdited(position, position);
    }
    void Waiting(const UploadWait& wait) override { panel_.Waiting(wait); }
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
        if (window_.Quitting()) return;
        window_.ShowCodePanel();
        if (auto* log = code_.findChild<QPushButton*>("cmRunLog")) log->show();
    }
    void ShowMessage(const std::string& title, const std::string& text) override {
        // After the close image nothing more may pop up: the program is ending.
        if (window_.Quitting()) return;
        messages_.Inform(&window_, ToQ(title),
                         ToQ(text + FailedImagesText(window_.List(), window_.Strings())));
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
        questions.push_back({ToQ(prompt.title), ToQ(prompt.defaultText), choices});
    }
    const std::optional<QStringList> texts =
        dialogs.AskTexts(owner, ToQ(strings.Get(kStrHostQuestions)), questions);
    if (!texts || texts->size() != static_cast<qsizetype>(prompts.size())) return false;
    for (size_t i = 0; i < prompts.size(); ++i)
        answers[prompts[i].title] = FromQ((*texts)[static_cast<qsizetype>(i)]);
    return true;
}

}  // namespace

// What a run of the window needs while the loop steps it.
struct MainWindow::RunParts {
    RunParts(MainWindow& window, const HosterTable& hosters, const UiStrings& strings,
             const Session& session, int row, RunOverrides overrides)
        : observer(window, *window.uploadPanel_, *window.listPanel_, *window.codePanel_,
                   *window.hooks_.dialogs),
          run(hosters, strings, observer),
          setup(session, row, std::move(overrides)) {}
    WindowUploadObserver observer;
    UploadRun run;
    RunSetup setup;
    std::unique_ptr<TaskDriver> driver;
};

void MainWindow::StartUpload() {
    if (run_ || quitting_) return;
    PromptAnswers answers;
    if (!AskQuestions(this, *hooks_.dialogs, strings_, hosters_.Row(hosterFrame_->SelectedRow()),
                      answers))
        return;
    RunOverrides overrides;
    overrides.answers = std::move(answers);
    runParts_ = std::make_shared<RunParts>(*this, hosters_, strings_, session_,
                                           hosterFrame_->SelectedRow(), std::move(overrides));
    run_ = &runParts_->run;
    UploadRunOptions& options = runParts_->setup.Options();
    options.shownTotals = {statFiles_, statBytes_};
    std::span<ImageEntry> rows;
    if (!list_.Empty())
        rows = std::span<ImageEntry>(&list_.Row(1), static_cast<size_t>(list_.Count()));
    run_->Start(rows, options);
    runParts_->driver = std::make_unique<TaskDriver>(*run_, [this] { UploadEnded(); });
}

void MainWindow::UploadEnded() {
    // The driver is inside its own handler: it goes once that is over.
    runParts_->driver.release()->deleteLater();
    const std::shared_ptr<RunParts> parts = std::move(runParts_);
    run_ = nullptr;
    if (quitting_) return EndProgram();
    if (!parts->run.Outputs().empty()) {
        QStringList outputs;
        for (const std::string& output : parts->run.Outputs()) outputs << ToQ(output);
        hooks_.dialogs->Inform(this, ToQ(strings_.Get(kStrHostOutput)), outputs.join("\n"));
    }
    OpenPaths({});
}

void MainWindow::CancelUpload() {
    if (run_) run_->Abort();
}

void MainWindow::AddRunLogButton() {
    // Beside the code panel's own buttons; shown once there is a log. The caption comes with
    // the other texts.
    QPushButton* button =
        AddButtonAfter(codePanel_, codePanel_->findChild<QPushButton*>("cmCode_2"), "cmRunLog");
    button->hide();
    connect(button, &QPushButton::clicked, this, &MainWindow::ShowRunLog);
}

void MainWindow::ShowRunLog() {
    if (!runLog_) {
        auto* window = new QDialog(this);
        window->setObjectName("frmRunLog");
        window->setWindowFlag(Qt::Window);
        auto* text = new QPlainTextEdit(window);
        text->setObjectName("txRunLog");
        text->setReadOnly(true);
        text->setLineWrapMode(QPlainTextEdit::NoWrap);
        auto* layout = new QVBoxLayout(window);
        layout->addWidget(text);
        window->resize(620, 360);
        runLog_ = window;
    }
    runLog_->setWindowTitle(ToQ(strings_.Get(kStrShowRunLog)));
    runLog_->findChild<QPlainTextEdit*>("txRunLog")->setPlainText(uploadPanel_->LogText());
    runLog_->show();
    runLog_->raise();
    runLog_->activateWindow();
}

}  // namespace lumar::ui
