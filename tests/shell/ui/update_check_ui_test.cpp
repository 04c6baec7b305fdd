// The update check against a small HTTP server of ours on 127.0.0.1.
#include "shell/ui/update_check_ui.h"

#include <sys/socket.h>

#include <QElapsedTimer>
#include <QtTest>
#include <memory>

#include "shell/settings_store.h"
#include "shell/ui/qt_text.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/ui/fake_dialogs.h"

using namespace lumar;
using namespace lumar::ui;

namespace {

// The maker's server: one fixed answer to every request, then the connection closes.
std::unique_ptr<test::TestHttpServer> VersionServer(const std::string& body = "V1.02.0000") {
    return std::make_unique<test::TestHttpServer>(
        [body](const std::string&) { return test::TestAnswer{"HTTP/1.0 200 OK\r\n\r\n" + body}; });
}

// Takes every request and never answers.
std::unique_ptr<test::TestHttpServer> SilentServer() {
    test::TestServerOptions silent;
    silent.raw = [](int fd, auto&) {
        for (char c; ::recv(fd, &c, 1, 0) > 0;) {
        }
    };
    return std::make_unique<test::TestHttpServer>(nullptr, silent);
}

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
            const auto server = VersionServer();
            Check check(yes);
            QCOMPARE(check.Run(ToQ(server->Url("/version.txt"))), outcome);
            QVERIFY(check.question.shown.size() == 1 &&
                    check.question.shown[0].preset == Dialogs::Button::Yes);
            QCOMPARE(check.opened.size(), yes ? 1 : 0);
            QVERIFY(ToQ(server->Requests().at(0))
                        .toLower()
                        .startsWith("get /version.txt http/1.1\r\n"));
        }
    }

    // No address, no download page to offer, nothing listening on port 1 of the loopback, or
    // a server that never answers: the start goes on without a question, the last within the
    // bound of start-up (with room for a loaded machine; not a speed measurement).
    void noAnswerContinuesSilently() {
        const auto server = VersionServer("V9"), silent = SilentServer();
        Check check(true);
        QElapsedTimer clock;
        for (const auto& [version, download] : {std::pair{QString(), "/d"},
                                                {ToQ(server->Url()), ""},
                                                {QString("http://127.0.0.1:1/version.txt"), "/d"},
                                                {ToQ(silent->Url()), "/d"}}) {
            clock.start();
            QCOMPARE(check.Run(version, download), UpdateCheckOutcome::Continue);
        }
        QVERIFY2(clock.elapsed() < 4 * kUpdateTimeoutMs,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(server->Requests().empty() && check.question.shown.empty());
    }
};

QTEST_MAIN(UpdateCheckTest)
#include "update_check_ui_test.moc"
