#pragma once
// A screenshot through the XDG desktop portal (org.freedesktop.portal.Screenshot), the way
// every desktop of today offers one, Wayland included. The portal's call only opens a request;
// its answer, with the picture's address, comes in the Response signal of that request's
// object, whose path is known before the call from the token we choose. We listen there before
// calling, so an answer faster than the call's own reply is not missed.
#include <QDBusConnection>
#include <QString>

#include "app/ui/screen_capture.h"

class QDBusPendingCall;

namespace lumar::ui {

class PortalScreenshot : public ScreenCapture {
    Q_OBJECT
  public:
    explicit PortalScreenshot(QDBusConnection bus = QDBusConnection::sessionBus(),
                              QObject* parent = nullptr);

    void Take(const QString& parentWindow) override;
    [[nodiscard]] bool Busy() const override { return !requestPath_.isEmpty(); }

  private slots:
    void OnResponse(uint response, const QVariantMap& results);

  private:
    void OnCallAnswered(const QDBusPendingCall& call);
    bool Listen(const QString& path);
    void StopListening();
    void Finish(Outcome outcome, const QString& file = {}, const QString& detail = {});

    QDBusConnection bus_;
    QString requestPath_;  // the request being waited for; empty when none is open
    int requests_ = 0;
};

}  // namespace lumar::ui
