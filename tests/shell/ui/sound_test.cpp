// The program's sound on the real Qt Multimedia player, with a generated WAV file.
#include "shell/ui/sound.h"

#include <QMediaPlayer>
#include <QtTest>

#include "shell/ui/qt_text.h"
#include "support/temp_dir.h"

using namespace lumar;
using namespace lumar::ui;

// Qt's FFmpeg back end keeps a few small FFmpeg allocations until the process ends.
extern "C" const char* __lsan_default_suppressions() {
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

}  // namespace

class SoundTest : public QObject {
    Q_OBJECT
  private slots:
    // Machines without an audio output (CI, remote sessions) open nothing; with one, the
    // sound is open under the player until it is stopped. Missing, empty or a folder: the old
    // sound stops and nothing plays; the result still says whether a sound was ever started.
    // The back end reports an unplayable file on its own time; nothing reaches the user, and
    // the next sound plays as usual.
    void soundsOpenOnlyWithAnOutputAndBadFilesAreSilent() {
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
    void playAndStopSurviveWithoutAnOutput() {
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
};

QTEST_MAIN(SoundTest)
#include "sound_test.moc"
