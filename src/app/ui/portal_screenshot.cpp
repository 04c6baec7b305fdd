#include "app/ui/portal_screenshot.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QRandomGenerator>
#include <QUrl>
#include <QVariantMap>

namespace lumar::ui {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kObject = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenshot = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

// What the Response signal's first argument means.
constexpr uint kResponseSuccess = 0;
constexpr uint kResponseCancelled = 1;

// The portal's request objects live at .../request/SENDER/TOKEN, SENDER being our unique name
// without its ':' and with '_' for every '.'.
QString RequestPath(const QString& uniqueName, const QString& token) {
    QString sender = uniqueName;
    if (sender.startsWith(':')) sender.remove(0, 1);
    sender.replace('.', '_');
    return kObject + QStringLiteral("/request/") + sender + '/' + token;
}

// Errors that mean there is no portal, or one without a screenshot part.
bool MeansNoService(const QDBusError& error) {
    switch (error.type()) {
        case QDBusError::ServiceUnknown:
        case QDBusError::UnknownInterface:
        case QDBusError::UnknownMethod:
        case QDBusError::UnknownObject:
        case QDBusError::Disconnected:
            return true;
        default:
            return error.name() == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner");
    }
}

}  // namespace

PortalScreenshot::PortalScreenshot(QDBusConnection bus, QObject* parent)
    : ScreenCapture(parent), bus_(std::move(bus)) {
    // A portal that ends while its dialog is open never answers; the request is over then.
    auto* watcher =
        new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (Busy()) Finish(Outcome::kNoService);
    });
}

void PortalScreenshot::Take(const QString& parentWindow) {
    if (Busy()) return;
    if (!bus_.isConnected()) {
        // The answer always comes after the call returns, as it does from the portal.
        QMetaObject::invokeMethod(
            this, [this] { emit Finished(Outcome::kNoService, {}, {}); }, Qt::QueuedConnection);
        return;
    }
    const QString token =
        QStringLiteral("lumar%1_%2").arg(++requests_).arg(QRandomGenerator::global()->generate());
    if (!Listen(RequestPath(bus_.baseService(), token))) {
        QMetaObject::invokeMethod(
            this, [this] { emit Finished(Outcome::kFailed, {}, bus_.lastError().message()); },
            Qt::QueuedConnection);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kObject, kScreenshot,
                                                       QStringLiteral("Screenshot"));
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("interactive"), true},
                              {QStringLiteral("modal"), true}};
    call << parentWindow << options;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, predicted = requestPath_](QDBusPendingCallWatcher* answered) {
                answered->deleteLater();
                // The response may have come first and ended this request already.
                if (requestPath_ == predicted) OnCallAnswered(*answered);
            });
}

bool PortalScreenshot::Listen(const QString& path) {
    requestPath_ = path;
    if (bus_.connect(kService, path, kRequest, QStringLiteral("Response"), this,
                     SLOT(OnResponse(uint, QVariantMap))))
        return true;
    requestPath_.clear();
    return false;
}

void PortalScreenshot::StopListening() {
    if (requestPath_.isEmpty()) return;
    bus_.disconnect(kService, requestPath_, kRequest, QStringLiteral("Response"), this,
                    SLOT(OnResponse(uint, QVariantMap)));
    requestPath_.clear();
}

void PortalScreenshot::OnCallAnswered(const QDBusPendingCall& call) {
    const QDBusPendingReply<QDBusObjectPath> reply = call;
    if (reply.isError()) {
        const QDBusError error = reply.error();
        if (MeansNoService(error))
            Finish(Outcome::kNoService);
        else
            Finish(Outcome::kFailed, {}, error.message());
        return;
    }
    // Portals older than the handle_token option answer on a path of their own choosing.
    const QString handle = reply.value().path();
    if (!handle.isEmpty() && handle != requestPath_) {
        StopListening();
        if (!Listen(handle)) Finish(Outcome::kFailed, {}, bus_.lastError().message());
    }
}

void PortalScreenshot::OnResponse(uint response, const QVariantMap& results) {
    if (!Busy()) return;
    if (response == kResponseCancelled) return Finish(Outcome::kCancelled);
    if (response != kResponseSuccess)
        return Finish(Outcome::kFailed, {}, QStringLiteral("response %1").arg(response));
    const QUrl uri(results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile())
        return Finish(Outcome::kFailed, {}, QStringLiteral("no file: ") + uri.toString());
    Finish(Outcome::kTaken, uri.toLocalFile());
}

void PortalScreenshot::Finish(Outcome outcome, const QString& file, const QString& detail) {
    StopListening();
    emit Finished(outcome, file, detail);
}

}  // namespace lumar::ui
