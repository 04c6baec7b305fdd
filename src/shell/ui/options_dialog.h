#pragma once
// frmTemp: the options dialog behind "weitere Einstellungen...". It edits the upload
// time-out, the proxy, what is done to pictures before they are sent, the bring-to-front
// option, the end-of-upload sound, the advertising line and the interface's language (read
// at start-up, so a change takes effect at the next start).
// There is no OK or Cancel: every way of closing it saves.
#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "shell/language_table.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QLabel;
class QPushButton;
class QSpinBox;

namespace lumar::ui {

class SoundPlayer;
class Dialogs;

class OptionsDialog : public QDialog {
    Q_OBJECT
  public:
    // The sound player and the dialogs must outlive the dialog. `capturesFolder` is where
    // screenshots and pasted pictures are kept.
    OptionsDialog(std::string settingsFile, const std::string& languageFile, UiStrings strings,
                  SoundPlayer& sound, Dialogs& dialogs, std::string capturesFolder = {},
                  QWidget* parent = nullptr);

    // Saves the five options and stops the sound, then closes as usual.
    void done(int result) override;

  signals:
    void HostersRequested();

  private:
    QWidget* MakePicturesFrame();
    QLayout* MakeLanguageRow();
    void AddCapturesRows(QWidget* frame, QGridLayout* grid, int row);
    void Load();
    void SavePictures();
    void EnableSoundControls(bool on);
    void OnSoundToggled(bool on);
    void OnChooseSound();
    void Save();

    std::string settingsFile_;
    std::string capturesFolder_;
    UiStrings strings_;
    SoundPlayer& sound_;
    Dialogs& dialogs_;

    QLineEdit* txtimeout_;
    QLineEdit* txProxy_;
    QCheckBox* ckStrip_;  // partly checked: left to the program (on for standard rows)
    QLabel* lbStripAuto_;
    QSpinBox* spMaxSide_;
    QSpinBox* spQuality_;
    QSpinBox* spCaptureDays_;
    QCheckBox* ckOwnThumbs_;  // Posting/OwnThumbs
    QCheckBox* ckForm_;
    QCheckBox* ckSound_;
    QLineEdit* txSound_;
    QPushButton* cmSound_;
    QPushButton* cmPlay_;
    QPushButton* cmStop_;
    QCheckBox* ckWerbung_;
    QComboBox* cbSprache_;  // item data: the language code, "" = from the locale
    int languageShown_ = 0;
};

// Shows the dialog modally over `owner` with the program's settings, language file and sound.
// The hosters button calls `openHosters` with the dialog as the owner of what it opens.
void ShowOptionsDialog(QWidget* owner, const std::string& settingsFile,
                       const std::string& languageFile, const UiStrings& strings, Dialogs& dialogs,
                       const std::string& capturesFolder,
                       const std::function<void(QWidget*)>& openHosters = {});

}  // namespace lumar::ui
