#include "shell/ui/update_check_ui.h"

#include <QCursor>
#include <QDesktopServices>
#include <QEventLoop>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include "shell/language_table.h"
#include "shell/settings_keys.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {
namespace {

// The check follows the desktop's proxy settings, like the rest of the user's programs.
class SystemProxies : public QNetworkProxyFactory {
  public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        return systemProxyForQuery(query);
    }
};

void OpenInBrowser(const QString& url) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QDesktopServices::openUrl(QUrl(url));
    QGuiApplication::restoreOverrideCursor();
}

}  // namespace

std::string FetchVersionDocument(const QUrl& url, int timeoutMs) {
    if (!url.isValid() || url.isEmpty()) return {};
    QNetworkAccessManager manager;
    manager.setProxyFactory(new SystemProxies);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, ToQ(kUpdateUserAgent));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");

    QNetworkReply* reply = manager.get(request);
    QByteArray body;
    bool tooLong = false;
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        body += reply->readAll();
        // Stop reading an answer that cannot be a version document instead of holding all
        // of it in memory.
        if (static_cast<size_t>(body.size()) > kMaxVersionDocumentBytes) {
            tooLong = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    if (!reply->isFinished()) loop.exec();

    std::string result;
    if (reply->isFinished() && !tooLong && reply->error() == QNetworkReply::NoError) {
        body += reply->readAll();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const std::string bytes = body.toStdString();
        result = std::string(VersionDocumentText(status, bytes));
    }
    reply->disconnect(&loop);
    reply->abort();
    delete reply;
    return result;
}

UpdateCheckOutcome RunUpdateCheck(QWidget* owner, const std::string& settingsFile,
                                  const UpdateCheckHooks& hooks) {
    const std::string address = ReadTextSetting(settingsFile, keys::VersionUrl);
    const QString page = ToQ(ReadTextSetting(settingsFile, keys::DownloadUrl));
    // Without a page to offer, a question would only end the program for nothing.
    if (address.empty() || page.isEmpty()) return UpdateCheckOutcome::kContinue;
    const std::string document = FetchVersionDocument(QUrl(ToQ(address)), hooks.timeoutMs);
    if (!ShouldOfferUpdate(document)) return UpdateCheckOutcome::kContinue;

    const std::shared_ptr<Dialogs> modal = hooks.dialogs ? nullptr : ModalDialogs();
    Dialogs& dialogs = hooks.dialogs ? *hooks.dialogs : *modal;
    // Taking the offer is what the check is for, so Enter takes it.
    if (!dialogs.Ask(owner, ToQ(WithVersion(LookupString(hooks.languageFile, kStrUpdateTitle))),
                     ToQ(LookupString(hooks.languageFile, kStrUpdateQuestion)),
                     Dialogs::Button::kYes))
        return UpdateCheckOutcome::kContinue;
    if (hooks.openPage)
        hooks.openPage(page);
    else
        OpenInBrowser(page);
    return UpdateCheckOutcome::kEndProgram;
}

}  // namespace lumar::ui
