// The desktop notification that tells a user working in another window that a run is over.
#pragma once

#include <QDBusConnection>
#include <string>

namespace lumar {
class UiStrings;
}

namespace lumar::ui {

// "12 von 12 Bildern hochgeladen — Posting kopiert" in the loaded language.
std::string RunNotificationText(const UiStrings& strings, int uploaded, int total, bool copied);

// Hands `body` to the desktop's notification service on the session bus, without waiting for
// an answer: a desktop without such a service (or without a session bus) shows nothing, and
// the window never stalls on a busy bus.
void SendRunNotification(const std::string& body,
                         const QDBusConnection& bus = QDBusConnection::sessionBus());

}  // namespace lumar::ui
