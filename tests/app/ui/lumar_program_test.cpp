// The desktop program as a user starts it: the settings folder from --config-dir, the first
// start writing only what the start-up writes, and a picture of the window on request.
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTest>

#include "support/temp_dir.h"

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
};

QTEST_MAIN(LumarProgramTest)
#include "lumar_program_test.moc"
