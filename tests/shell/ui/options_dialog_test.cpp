// frmTemp driven through its controls, against a real Lumar.ini in a temporary folder.
#include "shell/ui/options_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QtTest>

#include "shell/settings_store.h"
#include "shell/ui/qt_text.h"
#include "shell/ui/sound.h"
#include "support/temp_dir.h"
#include "support/ui/fake_dialogs.h"
#include "support/ui/find_widget.h"

using namespace lumar;
using namespace lumar::ui;
using test::Find;

namespace {

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
        auto dialog = std::make_unique<OptionsDialog>(
            ini, language, LoadUiStrings(language, "VBCode einfügen"), sound, dialogs);
        dialog->show();
        return dialog;
    }
};

}  // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT
  private slots:
    // Nothing is stored before the dialog closes; Escape, the window's close button and
    // accept all end in the same save. The time-out takes digits only, and an emptied field
    // stores the default, so the stored time-out stays a number.
    void everyWayOfClosingSaves() {
        Fixture f;
        f.dir.write("Lumar.ini",
                    "[Bilder]\r\nTimeout=45\r\nForm=0\r\nWerbung=0\r\n[Sound]\r\nSoundAn=1\r\n");
        std::string previous = "45";
        for (const auto& [way, typed, stored] :
             {std::tuple{0, "4a5- 9", "459"}, {1, "", "120"}, {2, "31", "31"}}) {
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
    // and only what was changed is written.
    void pictureOptions() {
        Fixture f;
        for (const auto& [clicks, strip] : {std::pair{1, "1"}, {1, "0"}, {1, ""}}) {
            auto d = f.Open();
            auto* box = Find<QCheckBox>(d.get(), "ckStrip");
            QCOMPARE(Find<QLabel>(d.get(), "lbStripAuto")->isVisible(),
                     box->checkState() == Qt::PartiallyChecked);
            for (int i = 0; i < clicks; ++i) box->click();
            Find<QSpinBox>(d.get(), "spMaxSide")->setValue(1600);
            d->accept();
            QCOMPARE(ReadValue(f.ini, "Bilder", "Strip", "unset"), std::string(strip));
        }
        QCOMPARE(ReadValue(f.ini, "Bilder", "MaxSide", ""), std::string("1600"));
        QCOMPARE(ReadValue(f.ini, "Bilder", "Quality", "unset"), std::string("unset"));
    }

    // The chooser stops a playing sound first; play takes the path as typed; the box, clicked
    // on its indicator where a user clicks, switches the sound off and stops it.
    void soundControls() {
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
};

QTEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
