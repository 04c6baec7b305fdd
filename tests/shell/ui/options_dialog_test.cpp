// frmTemp driven through its controls, against a real Lumar.ini in a temporary folder; the
// program's sound on the real Qt Multimedia player, with a generated WAV file; and the update
// check against a small HTTP server of ours on 127.0.0.1.
#include "shell/ui/options_dialog.h"

#include <sys/socket.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QSpinBox>
#include <QtTest>

#include "shell/settings_store.h"
#include "shell/ui/qt_text.h"
#include "shell/ui/sound.h"
#include "shell/ui/update_check_ui.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/ui/fake_dialogs.h"
#include "support/ui/find_widget.h"

using namespace lumar;
using namespace lumar::ui;
using test::Find;

// Qt's FFmpeg back end keeps a few small FFmpeg allocations until the process ends.
extern "C" const char* LsanDefaultSuppressions() {
    return "leak:libavutil\nleak:libavformat\nleak:libavcodec\nleak:libffmpegmediaplugin\n";
}

namespace {

// Two seconds of mono 16-bit PCM at 8 kHz.
std::string Wav() {
    const char header[] =
        "RIFF\x24\x7d\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x80\x3e\0\0"
        "\x02\0\x10\0data\x00\x7d\0\0";
    std::string wav(header, sizeof header - 1);
    for (int i = 0; i < 16000; ++i) wav += {'\0', (i / 8) % 2 ? '\x20' : '\xe0'};  // a tone
    return wav;
}

struct RecordingSound : SoundPlayer {
    bool PlaySoundFile(const std::string& path) override {
        played = path;
        return playing = true;
    }
    void StopSound() override { playing = false; }
    std::string played;
    bool playing = false;
};

struct Fixture {
    test::TempDir dir;
    std::string ini = dir.file("Lumar.ini");
    RecordingSound sound;
    test::FakeDialogs dialogs;

    std::unique_ptr<OptionsDialog> Open() {
        const std::string language = dir.file("language.ini");
        auto dialog = std::make_unique<OptionsDialog>(ini, language,
                                                      LoadUiStrings(language, "VBCode einfügen"),
                                                      sound, dialogs, dir.file("captures/"));
        dialog->show();
        return dialog;
    }
};

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

class OptionsDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // The check follows the desktop's proxy settings; the local server is reached directly.
        qunsetenv("http_proxy");
        qunsetenv("HTTP_PROXY");
    }
    // Nothing is stored before the dialog closes; Escape, the window's close button and
    // accept all end in the same save. The time-out takes digits only, an emptied field
    // stores the default and a value outside 1 to 3600 s is stored at the nearer end.
    void EveryWayOfClosingSaves() {
        Fixture f;
        f.dir.write("Lumar.ini",
                    "[Bilder]\r\nTimeout=45\r\nForm=0\r\nWerbung=0\r\n[Sound]\r\nSoundAn=1\r\n");
        std::string previous = "45";
        for (const auto& [way, typed, stored] : {std::tuple{0, "4a5- 9", "459"},
                                                 {1, "", "120"},
                                                 {2, "31", "31"},
                                                 {0, "0", "1"},
                                                 {1, "99999", "3600"}}) {
            auto d = f.Open();
            auto* timeout = Find<QLineEdit>(d.get(), "txtimeout");
            timeout->clear();
            QTest::keyClicks(timeout, typed);
            const std::string before = f.dir.read("Lumar.ini");
            QCOMPARE(ReadValue(f.ini, "Bilder", "Timeout", ""), previous);
            f.sound.playing = true;
            if (way == 0) QTest::keyClick(d.get(), Qt::Key_Escape);
            if (way == 1) d->close();
            if (way == 2) d->accept();
            QVERIFY2(!d->isVisible() && !f.sound.playing, qPrintable(QString::number(way)));
            QCOMPARE(f.dir.read("Lumar.ini"), SetValueInText(before, "Bilder", "Timeout", stored));
            previous = stored;
        }
    }

    // Stripping starts partly checked, left to the program; a click decides it for every row
    // and only what was changed is written. The captures folder is shown with its age limit.
    void PictureOptions() {
        Fixture f;
        for (const char* strip : {"1", "0", ""}) {
            auto d = f.Open();
            auto* box = Find<QCheckBox>(d.get(), "ckStrip");
            QCOMPARE(Find<QLabel>(d.get(), "lbStripAuto")->isVisible(),
                     box->checkState() == Qt::PartiallyChecked);
            box->click();
            Find<QSpinBox>(d.get(), "spMaxSide")->setValue(1600);
            QCOMPARE(Find<QLineEdit>(d.get(), "txCaptures")->text(), ToQ(f.dir.file("captures/")));
            Find<QSpinBox>(d.get(), "spCaptureDays")->setValue(*strip ? 7 : 30);
            Find<QCheckBox>(d.get(), "ckOwnThumbs")->click();
            d->accept();
            QCOMPARE(ReadValue(f.ini, "Bilder", "Strip", "unset"), std::string(strip));
        }
        QCOMPARE(ReadValue(f.ini, "Bilder", "MaxSide", ""), std::string("1600"));
        QCOMPARE(ReadValue(f.ini, "Bilder", "CaptureDays", ""), std::string("30"));
        QCOMPARE(ReadValue(f.ini, "Bilder", "Quality", "unset"), std::string("unset"));
        QCOMPARE(ReadValue(f.ini, "Posting", "OwnThumbs", ""), std::string("0"));  // on, 3 clicks
    }

    // The language is offered in its own words; only a changed choice is written, so one this
    // installation lacks stays stored.
    void LanguageChoice() {
        qputenv("LUMAR_DATA_DIR", LUMAR_SOURCE_DIR "/data");
        Fixture f;
        for (const auto& [stored, pick, written] :
             {std::tuple{"", -1, "unset"}, {"", 2, "en"}, {"fr", -1, "fr"}}) {
            if (*stored) WriteValue(f.ini, "Bilder", "Sprache", stored);
            auto d = f.Open();
            auto* choice = Find<QComboBox>(d.get(), "cbSprache");
            QCOMPARE(choice->currentText(), QString("wie das System"));  // "fr" has no file here
            QCOMPARE(choice->itemText(1) + choice->itemText(2), QString("DeutschEnglish"));
            if (pick >= 0) choice->setCurrentIndex(pick);
            d->accept();
            QCOMPARE(ReadValue(f.ini, "Bilder", "Sprache", "unset"), std::string(written));
        }
        qunsetenv("LUMAR_DATA_DIR");
    }

    // The chooser stops a playing sound first; play takes the path as typed; the box, clicked
    // on its indicator where a user clicks, switches the sound off and stops it.
    void SoundControls() {
        Fixture f;
        WriteValue(f.ini, "Sound", "SoundAn", "1");
        const std::string path = f.dir.write("My Music/ding.mp3", "ID3");
        f.dialogs.file = ToQ(path);
        auto d = f.Open();
        f.sound.playing = true;
        test::Click(d.get(), "cmSound");
        QVERIFY(!f.sound.playing);
        QCOMPARE(ReadValue(f.ini, "Verzeichnis", "SoundDir", ""), f.dir.path() + "/My Music/");
        QCOMPARE(ReadValue(f.ini, "Sound", "Soundfile", ""), path);
        Find<QLineEdit>(d.get(), "txSound")->setText("/typed by hand/a.wav");
        test::Click(d.get(), "cmPlay");
        QCOMPARE(f.sound.played, std::string("/typed by hand/a.wav"));
        auto* ck = Find<QCheckBox>(d.get(), "ckSound");
        QTest::mouseClick(ck, Qt::LeftButton, {}, QPoint(6, ck->height() / 2));
        QVERIFY(!Find(d.get(), "cmPlay")->isEnabled() && !f.sound.playing);
    }

    // Machines without an audio output (CI, remote sessions) open nothing; with one, the
    // sound is open under the player until it is stopped. Missing, empty or a folder: the old
    // sound stops and nothing plays; the result still says whether a sound was ever started.
    // The back end reports an unplayable file on its own time; nothing reaches the user, and
    // the next sound plays as usual.
    void SoundsOpenOnlyWithAnOutputAndBadFilesAreSilent() {
        const bool output = AudioOutputAvailable();
        test::TempDir dir;
        const std::string first = dir.write("My Sounds/ding dong.wav", Wav());
        MediaSoundPlayer player;
        QVERIFY(!player.PlaySoundFile(dir.file("none.wav")));
        QCOMPARE(player.PlaySoundFile(first), output);
        QCOMPARE(player.OpenFile(), output ? QUrl::fromLocalFile(ToQ(first)) : QUrl());
        if (!output) return;
        for (const std::string& bad : {dir.file("gone.wav"), std::string(), dir.path()})
            QVERIFY(player.PlaySoundFile(bad) && player.OpenFile().isEmpty());
        player.PlaySoundFile(dir.write("broken.mp3", std::string(4096, '\x5A')));
        QTRY_VERIFY_WITH_TIMEOUT(player.Player()->mediaStatus() != QMediaPlayer::LoadingMedia,
                                 5000);
        player.PlaySoundFile(first);
        QCOMPARE(player.OpenFile(), QUrl::fromLocalFile(ToQ(first)));
        player.StopSound();
        QVERIFY(player.OpenFile().isEmpty());
    }

    // The play button pressed again and again while the sound runs, as a user would; each
    // round gives the back end time to start its audio thread.
    void PlayAndStopSurviveWithoutAnOutput() {
        test::TempDir dir;
        const std::string path = dir.write("a.wav", Wav());
        MediaSoundPlayer player;
        for (int round = 0; round < 20; ++round) {
            player.PlaySoundFile(path);
            QTest::qWait(60);
            if (round % 2) player.StopSound();
        }
        player.StopSound();
        QVERIFY(player.OpenFile().isEmpty());
    }

    // Which answers offer an update is the core's table; here the window's request, the
    // question (Enter takes the offer) and where each answer leads.
    void AnotherVersionIsOfferedAndYesOpensTheDownloadPage() {
        for (const auto& [yes, outcome] : {std::pair{false, UpdateCheckOutcome::kContinue},
                                           {true, UpdateCheckOutcome::kEndProgram}}) {
            const auto server = VersionServer();
            Check check(yes);
            QCOMPARE(check.Run(ToQ(server->Url("/version.txt"))), outcome);
            QVERIFY(check.question.shown.size() == 1 &&
                    check.question.shown[0].preset == Dialogs::Button::kYes);
            QCOMPARE(check.opened.size(), yes ? 1 : 0);
            QVERIFY(ToQ(server->Requests().at(0))
                        .toLower()
                        .startsWith("get /version.txt http/1.1\r\n"));
        }
    }

    // No address, no download page to offer, or a server that never answers: the start goes on
    // without a question (a check that waited for the silent server for good would hang here
    // until the test's own time-out).
    void NoAnswerContinuesSilently() {
        const auto server = VersionServer("V9"), silent = SilentServer();
        Check check(true);
        for (const auto& [version, download] :
             {std::pair{QString(), "/d"}, {ToQ(server->Url()), ""}, {ToQ(silent->Url()), "/d"}})
            QCOMPARE(check.Run(version, download), UpdateCheckOutcome::kContinue);
        QVERIFY(server->Requests().empty() && check.question.shown.empty());
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
