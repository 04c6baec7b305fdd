// The program's sound on the real Qt Multimedia player, with generated WAV files.
#include "shell/ui/sound.h"

#include <QMediaPlayer>
#include <QtTest>
#include <cmath>
#include <string>

#include "shell/ui/qt_text.h"
#include "support/temp_dir.h"

using namespace lumar;
using namespace lumar::ui;

// Qt's FFmpeg back end keeps a few small FFmpeg allocations until the process ends.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libavutil\nleak:libavformat\nleak:libavcodec\nleak:libffmpegmediaplugin\n";
}

namespace {

// A short mono 16-bit PCM tone at 8 kHz.
std::string MakeWav(double seconds) {
    std::string data;
    for (int i = 0; i < int(8000 * seconds); ++i) {
        const auto sample = static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 0.3)));
        data += {char(sample & 0xFF), char(sample >> 8)};
    }
    std::string wav;
    const auto put = [&wav](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) wav.push_back(char((value >> (8 * i)) & 0xFF));
    };
    wav += "RIFF";
    put(36 + uint32_t(data.size()), 4);
    wav += "WAVEfmt ";
    for (const auto& [value, bytes] :
         {std::pair{16u, 4}, {1u, 2}, {1u, 2}, {8000u, 4}, {16000u, 4}, {2u, 2}, {16u, 2}})
        put(value, bytes);
    wav += "data";
    put(uint32_t(data.size()), 4);
    return wav + data;
}

QUrl FileUrl(const std::string& path) {
    return QUrl::fromLocalFile(ToQ(path));
}

}  // namespace

class SoundTest : public QObject {
    Q_OBJECT
  private slots:
    void oneSoundAtATimeAndBadFilesAreSilent();
    void playAndStopSurviveWithoutAnOutput();
    void programPlayerIsOneObject();
};

// Machines without an audio output (CI, remote sessions) open nothing; with one, the sound
// is open under the player until it is stopped.
void SoundTest::oneSoundAtATimeAndBadFilesAreSilent() {
    const bool output = AudioOutputAvailable();
    const auto openIs = [&](const std::string& path) { return output ? FileUrl(path) : QUrl(); };
    test::TempDir dir;
    const std::string first = dir.write("My Sounds/after upload/ding dong.wav", MakeWav(2));
    const std::string second = dir.write("b.wav", MakeWav(2));
    MediaSoundPlayer player;
    player.StopSound();                                    // harmless when nothing is open
    QVERIFY(!player.PlaySoundFile(dir.file("none.wav")));  // nothing ever started yet
    QVERIFY(player.OpenFile().isEmpty());
    QCOMPARE(player.PlaySoundFile(first), output);  // a path with blanks
    QCOMPARE(player.OpenFile(), openIs(first));
    player.PlaySoundFile(second);  // the second replaces the first
    QCOMPARE(player.OpenFile(), openIs(second));
    if (!output) return;
    player.PlaySoundFile(second);  // the same file again starts from the beginning
    QCOMPARE(player.OpenFile(), FileUrl(second));
    QCOMPARE(player.Player()->position(), qint64(0));

    // Missing, empty or a folder: the old sound stops and nothing plays; the result still says
    // whether a sound was ever started, as before.
    for (const std::string& bad : {dir.file("gone.wav"), std::string(), dir.path()}) {
        QVERIFY(player.PlaySoundFile(bad));
        QVERIFY(player.OpenFile().isEmpty());
    }

    // The back end reports an unplayable file on its own time; nothing reaches the user, and
    // the next sound plays as usual.
    player.PlaySoundFile(dir.write("broken.mp3", std::string(4096, '\x5A')));
    QTRY_VERIFY_WITH_TIMEOUT(player.Player()->mediaStatus() != QMediaPlayer::LoadingMedia, 5000);
    player.PlaySoundFile(first);
    QCOMPARE(player.OpenFile(), FileUrl(first));
    player.StopSound();
    QVERIFY(player.OpenFile().isEmpty());
    QCOMPARE(player.Player()->playbackState(), QMediaPlayer::StoppedState);
}

// The play button pressed again and again while the sound runs, as a user would; each round
// gives the back end time to start its audio thread.
void SoundTest::playAndStopSurviveWithoutAnOutput() {
    test::TempDir dir;
    const std::string path = dir.write("a.wav", MakeWav(1));
    MediaSoundPlayer player;
    for (int round = 0; round < 20; ++round) {
        player.PlaySoundFile(path);
        QTest::qWait(60);
        if (round % 2) player.StopSound();
    }
    player.StopSound();
    QVERIFY(player.OpenFile().isEmpty());
}

void SoundTest::programPlayerIsOneObject() {
    test::TempDir dir;
    const std::string path = dir.write("a.wav", MakeWav(1));
    SoundPlayer& a = ProgramSoundPlayer();
    PlaySoundFile(path);
    QCOMPARE(static_cast<MediaSoundPlayer&>(a).OpenFile().isEmpty(), !AudioOutputAvailable());
    StopSound();
    QVERIFY(static_cast<MediaSoundPlayer&>(a).OpenFile().isEmpty());
}

QTEST_MAIN(SoundTest)
#include "sound_test.moc"
