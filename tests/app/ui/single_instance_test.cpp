// Two starts on one settings folder, in one process: the second hands its paths to the first,
// also when a start that died left its socket file behind.
#include "app/ui/single_instance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>

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

class SingleInstanceTest : public QObject {
    Q_OBJECT
  private slots:
    void theSecondStartHandsItsPathsToTheFirst_data() {
        QTest::addColumn<bool>("deadSocketLeft");
        QTest::newRow("clean") << false;
        QTest::newRow("dead socket left") << true;
    }
    void theSecondStartHandsItsPathsToTheFirst() {
        QFETCH(bool, deadSocketLeft);
        lumar::test::TempDir dir;
        const QString folder = QString::fromStdString(dir.path());
        SingleInstance first(folder, folder);
        if (deadSocketLeft) LeaveDeadSocket(first.SocketPath());
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

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
