// The main window's side of the upload history: the button that opens the history window,
// the deletion request it sends to a host, and the posting it hands to the code panel.
#include <QBoxLayout>
#include <QCoreApplication>
#include <QPushButton>

#include "app/ui/main_window.h"
#include "history/ui/history_window.h"
#include "net/exchange_runner.h"
#include "net/http_url.h"
#include "posting/posting_builder.h"
#include "posting/ui/code_panel.h"
#include "session/history_rows.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "shell/ui/qt_text.h"
#include "upload/hoster_rows.h"
#include "upload/transport_options.h"
#include "upload/ui/hoster_frame.h"

namespace lumar::ui {
namespace {

constexpr int kStrHistoryButton = 150;

// A GET of the deletion URL, redirects followed, the window alive while it waits: "" when the
// host answered 2xx, else the status or why no answer came.
std::string RequestDeletion(const std::string& url, const net::ProxySettings& proxy,
                            std::chrono::seconds timeout) {
    net::HttpUrlResult parsed = net::ParseHttpUrl(url);
    if (!parsed.url) return parsed.error.empty() ? "bad URL" : parsed.error;
    net::ExchangeRequest request;
    request.url = std::move(*parsed.url);
    const net::Environment environment = net::ProcessEnvironment();
    net::RunControl control;
    control.pump = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
    control.slice = std::chrono::milliseconds(10);
    const net::FollowedExchange done = net::RunFollowingRedirects(
        std::move(request),
        [&](const net::HttpUrl& target) {
            net::ExchangeOptions options;
            net::ProxyChoice choice = net::ChooseProxy(target, proxy, environment);
            options.proxy = std::move(choice.proxy);
            options.proxyError = std::move(choice.error);
            options.connectTimeout = timeout;
            options.idleTimeout = timeout;
            return options;
        },
        control);
    const net::HttpExchange& last = *done.exchange;
    if (!done.error.empty()) return done.error;
    if (last.GetState() != net::HttpExchange::State::Done) return last.Reason();
    const int status = last.Response().Status();
    if (status >= 200 && status < 300) return "";
    std::string reason = "HTTP " + std::to_string(status);
    if (!last.Response().Reason().empty()) reason += " " + last.Response().Reason();
    return reason;
}

}  // namespace

void MainWindow::AddHistoryButton() {
    QPushButton* hosters = hosterFrame_->hostersButton();
    auto* button = new QPushButton(ToQ(strings_.Get(kStrHistoryButton)), hosters->parentWidget());
    button->setObjectName("cmHistory");
    for (QBoxLayout* row : hosterFrame_->findChildren<QBoxLayout*>())
        if (const int at = row->indexOf(hosters); at >= 0) {
            row->insertWidget(at + 1, button);
            break;
        }
    connect(button, &QPushButton::clicked, this, &MainWindow::OpenHistory);
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
    const net::ProxySettings proxy = ProxyFromSetting(
        ReadTextSetting(settingsFile_, keys::Proxy), ReadTextSetting(settingsFile_, keys::NoProxy));
    const auto timeout =
        std::chrono::seconds(std::max(ReadIntSetting(settingsFile_, keys::Timeout), 1));
    env.deleteOnHost = [proxy, timeout](const std::string& url) {
        return RequestDeletion(url, proxy, timeout);
    };
    env.makePosting = [this](const std::vector<HistoryEntry>& entries) {
        ShowHistoryPosting(entries);
    };
    history_ = new HistoryWindow(std::move(env), strings_, *hooks_.dialogs, this);
    history_->setWindowFlag(Qt::Window);
    history_->show();
}

void MainWindow::ShowHistoryPosting(const std::vector<HistoryEntry>& entries) {
    if (run_ || entries.empty()) return;
    std::vector<ImageEntry> rows = RowsOfHistory(entries);
    CollectPosting(posting_, rows, blocks_);
    codePanel_->ShowFinishedPosting(
        FinishPosting(posting_, rows, blocks_, codePanel_->Options(), PostingTextsFrom(strings_)));
    ShowCodePanel();
    BringToFront();
}

}  // namespace lumar::ui
