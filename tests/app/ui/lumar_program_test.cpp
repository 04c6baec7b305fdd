// The desktop program as a user starts it: the settings folder from --config-dir, the first
// start writing only what the start-up writes, and a picture of the window on request; and two
// starts on one settings folder, in one process: the second hands its paths to the first, also
// when a start that died left its socket file behind.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "app/ui/single_instance.h"
#include "support/temp_dir.h"

using lumar::ui::SingleInstance;

namespace {

// What a crashed start leaves: a bound socket file that no one listens on.
void LeaveDeadSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = path.toUtf8();
    std::copy(name.begin(), name.end(), address.sun_path);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

}  // namespace

class LumarProgramTest : public QObject {
    Q_OBJECT
  private:
    static QString Program() { return QCoreApplication::applicationDirPath() + "/../bin/lumar"; }

  private slots:
    void firstStartUsesTheGivenSettingsFolder() {
        if (!QFile::exists(Program())) QSKIP("the lumar program is not built");
        lumar::test::TempDir dir;
        const QString shot = QString::fromStdString(dir.file("window.png"));
        QProcess lumar;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        lumar.setProcessEnvironment(env);
        lumar.start(Program(), {"--config-dir", QString::fromStdString(dir.path()),
                                "--no-update-check", "--screenshot", shot});
        QVERIFY(lumar.waitForFinished(120000));
        QCOMPARE(lumar.exitStatus(), QProcess::NormalExit);
        QCOMPARE(lumar.exitCode(), 0);
        // The preview switch is restored with its click handler, which writes it back.
        QCOMPARE(QString::fromStdString(dir.read("Lumar.ini")).trimmed(),
                 QString("[Bilder]\r\nPreview=1"));
        QVERIFY(!QImage(shot).isNull());
    }

    void theSecondStartHandsItsPathsToTheFirst() {
        lumar::test::TempDir dir;
        const QString folder = QString::fromStdString(dir.path());
        SingleInstance first(folder, folder);
        LeaveDeadSocket(first.SocketPath());
        QCOMPARE(first.ClaimOrHandOver({}), SingleInstance::Claim::First);
        QSignalSpy arrived(&first, &SingleInstance::pathsArrived);

        // The same folder, spelt another way.
        SingleInstance second(folder + "/.", folder);
        const QStringList paths{"/pics/Grüße 1.jpg", "/pics/folder"};
        QCOMPARE(second.ClaimOrHandOver(paths, "desktop-token-1"),
                 SingleInstance::Claim::HandedOver);
        QTRY_COMPARE(arrived.count(), 1);
        QCOMPARE(arrived.at(0).at(0).toStringList(), paths);
        QCOMPARE(arrived.at(0).at(1).toString(), "desktop-token-1");
    }
};

QTEST_MAIN(LumarProgramTest)
#include "lumar_program_test.moc"
