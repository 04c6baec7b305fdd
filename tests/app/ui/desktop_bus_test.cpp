// The desktop's services on the session bus, each played by one of the test's own on a bus of
// its own: the end-of-run notification and the screenshot portal, whose pictures become rows of
// the window's list.
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

#include "app/ui/portal_screenshot.h"
#include "app/ui/run_notification.h"
#include "main_window_fakes.h"
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

// The screenshot part of the XDG desktop portal as the portal documents it: the call
// gives back the handle of a request, and the outcome comes as that request's Response signal.
// This one answers before its call returns, the hardest order a client must be ready for.
class ScreenshotPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
  public:
    explicit ScreenshotPortal(QDBusConnection bus) : bus_(std::move(bus)) {}
    uint response = 0;  // 0 success, 1 cancelled by the user
    QString picture;    // the file the desktop wrote
    QVariantMap asked;  // the options of the last call

  public slots:
    QDBusObjectPath Screenshot(const QString&, const QVariantMap& options,
                               const QDBusMessage& call) {
        asked = options;
        const QString sender = call.service().mid(1).replace('.', '_');
        const QString handle = "/org/freedesktop/portal/desktop/request/" + sender + "/" +
                               options.value("handle_token").toString();
        QVariantMap results;
        if (response == 0) results["uri"] = QUrl::fromLocalFile(picture).toString();
        QDBusMessage answer =
            QDBusMessage::createSignal(handle, "org.freedesktop.portal.Request", "Response");
        answer << response << results;
        bus_.send(answer);
        return QDBusObjectPath(handle);
    }

  private:
    QDBusConnection bus_;
};

class DesktopBusTest : public QObject {
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

    void TheServiceReceivesSummaryAndBody() {
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

    // A picture the desktop took is copied into the captures folder and becomes a row; a
    // cancel and a desktop without the portal leave the list as it was; each is on the status
    // line.
    void ScreenshotsThroughThePortalBecomeRows() {
        lumar::test::WindowFixture f;
        f.hooks.screenCapture = [this](QObject* parent) {
            return new lumar::ui::PortalScreenshot(QDBusConnection::connectToBus(address_, "lumar"),
                                                   parent);
        };
        auto w = f.Start();
        QDBusConnection serviceBus = QDBusConnection::connectToBus(address_, "portal");
        ScreenshotPortal portal(serviceBus);
        QVERIFY(serviceBus.registerObject("/org/freedesktop/portal/desktop", &portal,
                                          QDBusConnection::ExportAllSlots));
        QVERIFY(serviceBus.registerService("org.freedesktop.portal.Desktop"));
        portal.picture = QString::fromStdString(f.dir.write("Pictures/Screenshot.png", ""));
        QImage(40, 30, QImage::Format_RGB32).save(portal.picture);
        const std::string png = f.dir.read("Pictures/Screenshot.png");
        const struct {
            uint response;
            bool service;
            const char* status;
        } cases[] = {{0, true, " Bildschirmfoto hinzugefügt: Bildschirmfoto 20"},
                     {1, true, " Bildschirmfoto abgebrochen"},
                     {0, false, " Kein Bildschirmfoto-Dienst gefunden (XDG-Desktop-Portal)"}};
        for (const auto& c : cases) {
            portal.response = c.response;
            if (!c.service) serviceBus.unregisterService("org.freedesktop.portal.Desktop");
            lumar::test::Click(w.get(), "cmScreenshot");
            QTRY_VERIFY_WITH_TIMEOUT(w->StatusPanelText(1).startsWith(QString::fromUtf8(c.status)),
                                     30000);
            QCOMPARE(w->List().Count(), 1);
        }
        QVERIFY(portal.asked.value("interactive").toBool());
        const lumar::ImageEntry& row = w->List().Row(1);
        QCOMPARE(row.folder, f.dir.file("captures/"));
        QCOMPARE(row.width, 40);
        QCOMPARE(f.dir.read("captures/" + row.text), png);
        QCOMPARE(f.dir.read("Pictures/Screenshot.png"), png);  // the desktop's file stays
        serviceBus.unregisterObject("/org/freedesktop/portal/desktop");
    }

  private:
    QProcess bus_;
    QString address_;
};

QTEST_MAIN(DesktopBusTest)
#include "desktop_bus_test.moc"
