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
// no status it never answers at all.
struct VersionServer : QTcpServer {
    QByteArray response, request;
    int connections = 0;
    explicit VersionServer(const QByteArray& status, const QByteArray& body = "V1.02.0000") {
        if (!status.isEmpty()) response = "HTTP/1.0 " + status + "\r\n\r\n" + body;
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, [this, socket] {
                    request += socket->readAll();
                    if (response.isEmpty() || !request.contains("\r\n\r\n")) return;
                    socket->write(response);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QString Url() const { return QString("http://127.0.0.1:%1/version.txt").arg(serverPort()); }
};

struct Check {
    test::TempDir dir;
    std::string ini = dir.file("Lumar.ini");
    test::FakeDialogs question;
    QStringList opened;

    explicit Check(bool answerYes = false) { question.otherwise = answerYes; }

    UpdateCheckOutcome Run(const QString& versionUrl, const std::string& downloadUrl = "/d") {
        WriteValue(ini, "Update", "VersionUrl", FromQ(versionUrl));
        WriteValue(ini, "Update", "DownloadUrl", downloadUrl);
        UpdateCheckHooks hooks;
        hooks.dialogs = &question;
        hooks.openPage = [this](const QString& url) { opened << url; };
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
        for (const auto& [yes, outcome] : {std::pair{false, UpdateCheckOutcome::Continue},
                                           {true, UpdateCheckOutcome::EndProgram}}) {
            VersionServer server("200 OK");
            Check check(yes);
            QCOMPARE(check.Run(server.Url()), outcome);
            QVERIFY(check.question.shown.size() == 1 &&
                    check.question.shown[0].preset == Dialogs::Button::Yes);
            QCOMPARE(check.opened.size(), yes ? 1 : 0);
            QVERIFY(server.request.toLower().startsWith("get /version.txt http/1.1\r\n"));
        }
    }

    // No address, no download page to offer, nothing listening on port 1 of the loopback, or
    // a server that never answers: the start goes on without a question, the last within the
    // bound of start-up (with room for a loaded machine; not a speed measurement).
    void noAnswerContinuesSilently() {
        VersionServer server("200 OK", "V9"), silent({});
        Check check(true);
        QElapsedTimer clock;
        for (const auto& [version, download] : {std::pair{QString(), "/d"},
                                                {server.Url(), ""},
                                                {QString("http://127.0.0.1:1/version.txt"), "/d"},
                                                {silent.Url(), "/d"}}) {
            clock.start();
            QCOMPARE(check.Run(version, download), UpdateCheckOutcome::Continue);
        }
        QVERIFY2(clock.elapsed() < 4 * kUpdateTimeoutMs,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(server.connections == 0 && check.question.shown.empty());
    }
};

QTEST_MAIN(UpdateCheckTest)
#include "update_check_ui_test.moc"
