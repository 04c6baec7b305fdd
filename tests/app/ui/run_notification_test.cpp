// The end-of-run notification, sent to a notification service of the test's own on a session
// bus of its own; and sent into nothing when no service or no bus is there.
#include "app/ui/run_notification.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "shell/language_table.h"

using lumar::LoadUiStrings;
using lumar::ui::RunNotificationText;
using lumar::ui::SendRunNotification;

// What a desktop's notification daemon offers, reduced to the call the program makes.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    QString receivedSummary, receivedBody;

  public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        receivedSummary = summary;
        receivedBody = body;
        return 1;
    }
};

class RunNotificationTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty()) QSKIP("dbus-daemon is not installed (scripts/setup.sh brings it)");
        bus_.start(daemon, {"--session", "--nofork", "--print-address"});
        QVERIFY(bus_.waitForReadyRead(10000));
        address_ = QString::fromUtf8(bus_.readLine()).trimmed();
        QVERIFY(!address_.isEmpty());
    }
    void cleanupTestCase() {
        bus_.kill();
        bus_.waitForFinished();
    }

    void theServiceReceivesSummaryAndBody() {
        NotificationService service;
        QDBusConnection serviceBus = QDBusConnection::connectToBus(address_, "service");
        QVERIFY(serviceBus.registerObject("/org/freedesktop/Notifications", &service,
                                          QDBusConnection::ExportAllSlots));
        QVERIFY(serviceBus.registerService("org.freedesktop.Notifications"));
        const struct {
            const char* language;  // one that is not there leaves the German defaults
            int uploaded, total;
            bool copied;
            QString body;
        } cases[] = {{"missing.ini", 0, 1, false, "0 von 1 Bild hochgeladen"},
                     {"lang/en.ini", 11, 12, true, "11 of 12 images uploaded — posting copied"}};
        for (const auto& c : cases) {
            const std::string file = LUMAR_SOURCE_DIR "/data/" + std::string(c.language);
            SendRunNotification(
                RunNotificationText(LoadUiStrings(file, ""), c.uploaded, c.total, c.copied),
                QDBusConnection::connectToBus(address_, "program"));
            QTRY_COMPARE(service.receivedBody, c.body);
            QCOMPARE(service.receivedSummary, QString("Lumar"));
        }
        serviceBus.unregisterService("org.freedesktop.Notifications");
        serviceBus.unregisterObject("/org/freedesktop/Notifications");
    }

    // A desktop without a notification daemon: the window must not wait for an answer.
    void withoutServiceNothingWaits() {
        QElapsedTimer clock;
        clock.start();
        SendRunNotification("12 von 12 Bildern hochgeladen",
                            QDBusConnection::connectToBus(address_, "no service"));
        QVERIFY2(clock.elapsed() < 2000, "the window waited for the bus");
    }

  private:
    QProcess bus_;
    QString address_;
};

QTEST_GUILESS_MAIN(RunNotificationTest)
#include "run_notification_test.moc"
