#include "shell/ui/sound.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QPointer>

#include "shell/ui/qt_text.h"

namespace lumar::ui {
namespace {

// Qt's GStreamer back end crashes while creating a player on desktops that lack the
// GStreamer base plugins, and a sound must never take the program down. The FFmpeg back end
// carries its own decoders, so it is preferred whenever it is installed and the user has not
// chosen a back end. Must run before the first player exists: the back end is chosen once.
void PreferSelfContainedBackend() {
    if (qEnvironmentVariableIsSet("QT_MEDIA_BACKEND")) return;
    for (const QString& folder : QCoreApplication::libraryPaths()) {
        if (QFileInfo::exists(folder + "/multimedia/libffmpegmediaplugin.so")) {
            qputenv("QT_MEDIA_BACKEND", "ffmpeg");
            return;
        }
    }
}

QMediaPlayer* NewPlayer(QObject* parent) {
    PreferSelfContainedBackend();
    return new QMediaPlayer(parent);
}

}  // namespace

MediaSoundPlayer::MediaSoundPlayer(QObject* parent)
    : QObject(parent), player_(NewPlayer(this)), output_(new QAudioOutput(this)) {
    player_->setAudioOutput(output_);
}

MediaSoundPlayer::~MediaSoundPlayer() { player_->stop(); }

bool MediaSoundPlayer::PlaySoundFile(const std::string& path) {
    if (started_) StopSound();
    const QFileInfo file(ToQ(path));
    // Checked here rather than left to the back end, which would report the failure only
    // later and asynchronously.
    if (path.empty() || !file.isFile() || !file.isReadable()) return started_;
    player_->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    player_->setPosition(0);
    player_->play();
    started_ = true;
    return started_;
}

void MediaSoundPlayer::StopSound() {
    player_->stop();
    player_->setSource(QUrl());
}

QUrl MediaSoundPlayer::OpenFile() const { return player_->source(); }

SoundPlayer& ProgramSoundPlayer() {
    // Owned by the application object, so it goes away before the audio back end does.
    static QPointer<MediaSoundPlayer> player;
    if (!player) player = new MediaSoundPlayer(QCoreApplication::instance());
    return *player;
}

bool PlaySoundFile(const std::string& path) { return ProgramSoundPlayer().PlaySoundFile(path); }

void StopSound() { ProgramSoundPlayer().StopSound(); }

}  // namespace lumar::ui
