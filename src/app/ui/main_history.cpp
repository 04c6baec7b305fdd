// The main window's side of the upload history: the button that opens the history window,
// the options of the deletion requests it sends to hosts, and the postings it makes for it.
#include <QBoxLayout>
#include <QPushButton>

#include "app/ui/main_window.h"
#include "history/ui/history_window.h"
#include "hosters/hoster_rows.h"
#include "posting/posting_builder.h"
#include "posting/ui/code_panel.h"
#include "session/history_rows.h"
#include "session/run_setup.h"
#include "shell/reason_text.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "shell/ui/named_widget.h"
#include "shell/ui/qt_text.h"
#include "shell/ui/task_driver.h"
#include "upload/ui/hoster_frame.h"

namespace lumar::ui {
namespace {

constexpr int kStrHistoryButton = 150;

}  // namespace

void MainWindow::AddHistoryButton() {
    // Its caption comes with the other texts (CaptionHistoryButton): they are not loaded yet.
    QPushButton* button = AddButtonAfter(hosterFrame_, hosterFrame_->HostersButton(), "cmHistory");
    connect(button, &QPushButton::clicked, this, &MainWindow::OpenHistory);
}

void MainWindow::CaptionHistoryButton() {
    if (auto* button = hosterFrame_->findChild<QPushButton*>("cmHistory"))
        button->setText(ToQ(strings_.Get(kStrHistoryButton)));
}

void MainWindow::OpenHistory() {
    // A window still open keeps what it shows, and one closed while a deletion waits for its
    // host must stay until the answer came.
    if (history_ && (history_->isVisible() || history_->Busy())) {
        history_->show();
        history_->raise();
        history_->activateWindow();
        return;
    }
    if (history_) history_->deleteLater();
    HistoryWindowEnv env;
    env.historyFile = HistoryFile(session_.Paths().configFolder);
    // On the window's own loop, beside a run that may be going on.
    env.deleteOnHost = [this](const std::string& url, const std::string& confirm,
                              const std::function<void(const Status&)>& done) {
        auto task = std::make_unique<DeletionTask>(url, confirm,
                                                   ExchangeOptionsFromSettings(settingsFile_));
        DriveTask<DeletionTask>(
            std::move(task), [done](DeletionTask& ended) { done(ended.Result()); }, this);
    };
    env.makePosting = [this](const std::vector<HistoryEntry>& entries) {
        return HistoryPosting(entries);
    };
    history_ = new HistoryWindow(std::move(env), strings_, *hooks_.dialogs, this);
    history_->setWindowFlag(Qt::Window);
    history_->show();
}

std::string MainWindow::HistoryPosting(const std::vector<HistoryEntry>& entries) {
    std::vector<ImageEntry> rows = RowsOfHistory(entries);
    // A state of its own: the code panel keeps the posting of the last run.
    PostingState state;
    PostingOptions options = codePanel_->Options();
    options.split = false;  // one text: the history window has no part selector
    const PostingTexts texts = PostingTextsFrom(strings_);
    CollectPosting(state, rows, blocks_);
    FinishPosting(state, rows, blocks_, options, texts);
    return ExportText(state, options, texts, settingsFile_);
}

}  // namespace lumar::ui
