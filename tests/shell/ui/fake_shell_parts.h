#pragma once
// Stand-ins for the sound and the file chooser, so dialogs can be driven without audio
// hardware or a real file dialog.
#include <QString>
#include <string>
#include <vector>

#include "shell/ui/options_dialog.h"
#include "shell/ui/sound.h"

namespace lumar::test {

class RecordingSound : public ui::SoundPlayer {
public:
    bool PlaySoundFile(const std::string& path) override {
        calls.push_back("play " + path);
        playing = true;
        return true;
    }
    void StopSound() override {
        calls.push_back("stop");
        playing = false;
    }
    std::vector<std::string> calls;
    bool playing = false;
};

class ScriptedChooser : public ui::FileChooser {
public:
    explicit ScriptedChooser(QString answer) : answer_(std::move(answer)) {}
    QString ChooseOpenFile(QWidget*, const QString& title, const QString& startFolder,
                           const QString& filter) override {
        ++asked;
        lastTitle = title;
        lastStartFolder = startFolder;
        lastFilter = filter;
        return answer_;
    }
    int asked = 0;
    QString lastTitle, lastStartFolder, lastFilter;

private:
    QString answer_;
};

}  // namespace lumar::test
