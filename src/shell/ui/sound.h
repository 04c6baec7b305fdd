#pragma once
// The end-of-upload sound: one sound at a time, played in the background.
#include <QObject>
#include <QUrl>
#include <string>

class QAudioOutput;
class QMediaPlayer;

namespace lumar::ui {

// What the options dialog, the upload run and the code panel need of the sound.
class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;
    // Starts the file playing from its beginning and returns at once. A sound that is still
    // open is stopped and closed first, so a second sound replaces the first. A file that is
    // missing or cannot be played gives no sound and no message. Returns whether any sound
    // was ever started (no caller needs it).
    virtual bool PlaySoundFile(const std::string& path) = 0;
    // Stops and closes the sound; harmless when none is open.
    virtual void StopSound() = 0;
};

// Whether the desktop offers an audio output that can be opened now. Without one the
// multimedia back end would write into an audio sink it never got and crash.
bool AudioOutputAvailable();

// WAV and MP3 through Qt Multimedia. The player is made at the first sound that has an output
// to go to; without an output nothing is opened and nothing plays.
class MediaSoundPlayer : public QObject, public SoundPlayer {
    Q_OBJECT
  public:
    explicit MediaSoundPlayer(QObject* parent = nullptr);
    ~MediaSoundPlayer() override;

    bool PlaySoundFile(const std::string& path) override;
    void StopSound() override;

    // The file that is open, empty when none is.
    [[nodiscard]] QUrl OpenFile() const;
    // nullptr until a sound found an output.
    [[nodiscard]] QMediaPlayer* Player() const { return player_; }

  private:
    QMediaPlayer* player_ = nullptr;
    QAudioOutput* output_ = nullptr;
    bool started_ = false;
};

// The program's one player, created on first use and kept until the application ends.
SoundPlayer& ProgramSoundPlayer();

// The same on the program's player.
bool PlaySoundFile(const std::string& path);
void StopSound();

}  // namespace lumar::ui
