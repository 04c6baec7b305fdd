#include "app/ui/run_notification.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "shell/language_table.h"
#include "shell/plain_text.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {

std::string RunNotificationText(const UiStrings& strings, int uploaded, int total, bool copied) {
    const int pattern = total == 1 ? kStrRunNotificationOne : kStrRunNotification;
    std::string text = ReplaceAll(strings.Get(pattern), "%1", std::to_string(uploaded));
    text = ReplaceAll(text, "%2", std::to_string(total));
    if (copied) text += " " + strings.Get(kStrRunNotificationCopied);
    return text;
}

void SendRunNotification(const std::string& body, const QDBusConnection& bus) {
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                       "/org/freedesktop/Notifications",
                                                       "org.freedesktop.Notifications", "Notify");
    const int serverDefaultTimeout = -1;
    call << QString("Lumar") << 0u << QString("lumar") << QString("Lumar") << ToQ(body)
         << QStringList() << QVariantMap() << serverDefaultTimeout;
    // send() does not wait for the reply; the bus answers "no such service" to no one.
    bus.send(call);
}

}  // namespace lumar::ui
