// The update check against a small HTTP server of ours on 127.0.0.1.
#include "shell/ui/update_check_ui.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <memory>
#include <vector>

#include "shell/settings_store.h"
#include "shell/ui/qt_text.h"
#include "support/temp_dir.h"
#include "support/ui/fake_dialogs.h"

using namespace lumar;
using namespace lumar::ui;

namespace {

// Answers every request with one fixed response and closes, as the maker's server does; with
// an empty response it never answers at all.
class VersionServer : public QObject {
  public:
    explicit VersionServer(QByteArray response) : response_(std::move(response)) {
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] { Accept(); });
        if (!server_.listen(QHostAddress::LocalHost, 0)) qFatal("cannot listen");
    }
    QString Url(const QString& path = "/version.txt") const {
        return QString("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
    }
    int connections = 0;
    QByteArray request;

  private:
    void Accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            ++connections;
            socket->setParent(this);
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                request += socket->readAll();
                if (response_.isEmpty() || !request.contains("\r\n\r\n")) return;
                socket->write(response_);
                socket->disconnectFromHost();
            });
        }
    }
    QTcpServer server_;
    QByteArray response_;
};

QByteArray Http(const QByteArray& status, const QByteArray& body) {
    return "HTTP/1.0 " + status + "\r\nContent-Type: text/plain\r\n\r\n" + body;
}

struct Check {
    test::TempDir dir;
    std::string ini = dir.file("Lumar.ini");
    test::FakeDialogs question;
    QStringList opened;

    explicit Check(bool answerYes = false) { question.otherwise = answerYes; }

    UpdateCheckOutcome Run(const QString& versionUrl, int timeoutMs = kUpdateTimeoutMs,
                           const std::string& downloadUrl = "http://127.0.0.1:1/download.html") {
        WriteValue(ini, "Update", "VersionUrl", FromQ(versionUrl));
        WriteValue(ini, "Update", "DownloadUrl", downloadUrl);
        UpdateCheckHooks hooks;
        hooks.dialogs = &question;
        hooks.openPage = [this](const QString& url) { opened << url; };
        hooks.timeoutMs = timeoutMs;
        return RunUpdateCheck(nullptr, ini, hooks);
    }
};

}  // namespace

class UpdateCheckTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // The check follows the desktop's proxy settings; the local server is reached directly.
        qunsetenv("http_proxy");
        qunsetenv("HTTP_PROXY");
    }
    // Which answers offer an update is the core's table; here the window's request, the
    // question (Enter takes the offer) and where each answer leads.
    void anotherVersionIsOfferedAndYesOpensTheDownloadPage() {
        for (const auto& [status, yes, outcome] :
             {std::tuple{"200 OK", false, UpdateCheckOutcome::Continue},
              {"200 OK", true, UpdateCheckOutcome::EndProgram},
              {"404 Not Found", true, UpdateCheckOutcome::Continue}}) {
            VersionServer server(Http(status, "V1.02.0000"));
            Check check(yes);
            QCOMPARE(check.Run(server.Url("/lumar/version.txt")), outcome);
            const bool offered = QByteArray(status) == "200 OK";
            QCOMPARE(check.question.shown.size(), size_t(offered));
            if (offered) QCOMPARE(check.question.shown[0].preset, Dialogs::Button::Yes);
            QCOMPARE(check.opened, outcome == UpdateCheckOutcome::EndProgram
                                       ? QStringList{"http://127.0.0.1:1/download.html"}
                                       : QStringList{});
            const QString request = QString::fromLatin1(server.request).toLower();
            QVERIFY2(request.startsWith("get /lumar/version.txt http/1.1\r\n"),
                     qPrintable(request));
            QVERIFY(request.contains("\r\nuser-agent: rambleton\r\n"));
            QVERIFY(request.contains("\r\ncache-control: no-cache\r\n"));
        }
    }

    void noAddressOrNoServerContinuesSilently() {
        VersionServer server(Http("200 OK", "V9"));
        Check check(true);
        QCOMPARE(check.Run(""), UpdateCheckOutcome::Continue);  // empty address: the check is off
        QCOMPARE(check.Run("::not a url::"), UpdateCheckOutcome::Continue);
        // No download page to offer: the check is off as well.
        QCOMPARE(check.Run(server.Url(), kUpdateTimeoutMs, ""), UpdateCheckOutcome::Continue);
        QCOMPARE(server.connections, 0);
        // Nothing listens on port 1 of the loopback.
        QCOMPARE(check.Run("http://127.0.0.1:1/version.txt"), UpdateCheckOutcome::Continue);
        QVERIFY(check.question.shown.empty());
    }

    void silentServerIsGivenUpOnAfterTheTimeOut() {
        VersionServer server({});
        Check check(true);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(check.Run(server.Url()), UpdateCheckOutcome::Continue);
        // The bound of start-up, with room for a loaded machine; not a speed measurement.
        QVERIFY2(clock.elapsed() < 4 * kUpdateTimeoutMs,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(check.question.shown.empty());
    }
};

QTEST_MAIN(UpdateCheckTest)
#include "update_check_ui_test.moc"
