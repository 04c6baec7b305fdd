#include "shell/ui/sound.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QAudioSink>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMediaDevices>
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

}  // namespace

bool AudioOutputAvailable() {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;
    // A listed device may still refuse to open (a sound server that went away, a device held
    // by another program). The FFmpeg back end does not check that and writes into the sink it
    // never got, so open it once here and let the player have it only when that works.
    QAudioSink probe(device, device.preferredFormat());
    QIODevice* sink = probe.start();
    const bool opened = sink != nullptr && probe.error() == QAudio::NoError;
    probe.stop();
    return opened;
}

MediaSoundPlayer::MediaSoundPlayer(QObject* parent) : QObject(parent) {}

MediaSoundPlayer::~MediaSoundPlayer() {
    if (player_) player_->stop();
}

bool MediaSoundPlayer::PlaySoundFile(const std::string& path) {
    if (started_) StopSound();
    const QFileInfo file(ToQ(path));
    // Checked here rather than left to the back end, which would report the failure only
    // later and asynchronously.
    if (path.empty() || !file.isFile() || !file.isReadable()) return started_;
    if (!AudioOutputAvailable()) return started_;
    if (!player_) {
        PreferSelfContainedBackend();
        player_ = new QMediaPlayer(this);
        output_ = new QAudioOutput(this);
        player_->setAudioOutput(output_);
    }
    // The output follows the desktop's current default device, which may have changed since
    // the player was made.
    output_->setDevice(QMediaDevices::defaultAudioOutput());
    player_->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    player_->setPosition(0);
    player_->play();
    started_ = true;
    return started_;
}

void MediaSoundPlayer::StopSound() {
    if (!player_) return;
    player_->stop();
    player_->setSource(QUrl());
}

QUrl MediaSoundPlayer::OpenFile() const {
    return player_ ? player_->source() : QUrl();
}

SoundPlayer& ProgramSoundPlayer() {
    // Owned by the application object, so it goes away before the audio back end does.
    static QPointer<MediaSoundPlayer> player;
    if (!player) player = new MediaSoundPlayer(QCoreApplication::instance());
    return *player;
}

bool PlaySoundFile(const std::string& path) {
    return ProgramSoundPlayer().PlaySoundFile(path);
}

void StopSound() {
    ProgramSoundPlayer().StopSound();
}

}  // namespace lumar::ui
