// frmTemp driven through its controls, against a real Lumar.ini in a temporary folder.
#include "shell/ui/options_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/qt_text.h"
#include "shell/ui/sound.h"
#include "support/temp_dir.h"
#include "support/ui/fake_dialogs.h"

using namespace lumar;
using namespace lumar::ui;

namespace {

class RecordingSound : public SoundPlayer {
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

struct Fixture {
    test::TempDir dir;
    std::string ini = dir.file("Lumar.ini");
    std::string language = dir.file("language.ini");
    RecordingSound sound;
    test::FakeDialogs dialogs;

    std::unique_ptr<OptionsDialog> Open() {
        auto dialog = std::make_unique<OptionsDialog>(
            ini, language, LoadUiStrings(language, "VBCode einfügen"), sound, dialogs);
        dialog->show();
        return dialog;
    }
};

template <typename T>
T* Get(QWidget* dialog, const char* name) {
    T* w = dialog->findChild<T*>(name);
    if (!w) qFatal("no control %s", name);
    return w;
}

// Clicks the box on its indicator, where a user clicks, not in the middle of a wide widget.
void Click(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

bool SoundControlsEnabled(QWidget* d, bool expected) {
    for (const char* name : {"txSound", "cmSound", "cmPlay", "cmStop"})
        if (Get<QWidget>(d, name)->isEnabled() != expected) return false;
    return true;
}

}  // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void storedValuesAndCaptionsAreShownAndClosingWritesThem();
    void soundCheckBoxSwitchesTheSoundControlsAndPlayUsesTheTypedPath();
    void choosingASoundFileStoresFolderAndPath();
    void everyWayOfClosingSavesAndStopsTheSound();
};

void OptionsDialogTest::storedValuesAndCaptionsAreShownAndClosingWritesThem() {
    Fixture f;
    f.dir.write("Lumar.ini",
                "[Bilder]\r\nTimeout=45\r\nForm=0\r\nWerbung=0\r\n[Sound]\r\nSoundAn=1\r\n");
    f.dir.write("language.ini", "[Frame5]\r\n006=Play sound\r\n");
    const std::string stored = f.dir.read("Lumar.ini");
    auto d = f.Open();
    QCOMPARE(Get<QLineEdit>(d.get(), "txtimeout")->text(), QString("45"));
    QVERIFY(!Get<QCheckBox>(d.get(), "ckForm")->isChecked());
    QVERIFY(!Get<QCheckBox>(d.get(), "ckWerbung")->isChecked());
    QVERIFY(SoundControlsEnabled(d.get(), true));
    QCOMPARE(Get<QCheckBox>(d.get(), "ckSound")->text(), QString("Play sound"));
    Get<QLineEdit>(d.get(), "txtimeout")->setText("46");
    QCOMPARE(f.dir.read("Lumar.ini"), stored);  // nothing is stored before the dialog closes
    d->close();
    QCOMPARE(f.dir.read("Lumar.ini"),
             "[Bilder]\r\nTimeout=46\r\nForm=0\r\nWerbung=0\r\n[Sound]\r\nSoundAn=1\r\n");
}

void OptionsDialogTest::soundCheckBoxSwitchesTheSoundControlsAndPlayUsesTheTypedPath() {
    Fixture f;
    auto d = f.Open();
    auto* ck = Get<QCheckBox>(d.get(), "ckSound");
    Click(ck);
    QVERIFY(SoundControlsEnabled(d.get(), true));
    Get<QLineEdit>(d.get(), "txSound")->setText("/typed by hand/a.wav");
    QTest::mouseClick(Get<QPushButton>(d.get(), "cmPlay"), Qt::LeftButton);
    QCOMPARE(f.sound.calls.back(), std::string("play /typed by hand/a.wav"));
    QTest::mouseClick(Get<QPushButton>(d.get(), "cmStop"), Qt::LeftButton);
    QVERIFY(!f.sound.playing);
    QTest::mouseClick(Get<QPushButton>(d.get(), "cmPlay"), Qt::LeftButton);
    Click(ck);
    QVERIFY(SoundControlsEnabled(d.get(), false));
    QVERIFY(!f.sound.playing);
}

void OptionsDialogTest::choosingASoundFileStoresFolderAndPath() {
    Fixture f;
    WriteValue(f.ini, "Sound", "SoundAn", "1");
    const std::string path = f.dir.write("My Music/ding.mp3", "ID3");
    f.dialogs.file = ToQ(path);
    auto d = f.Open();
    f.sound.playing = true;
    QTest::mouseClick(Get<QPushButton>(d.get(), "cmSound"), Qt::LeftButton);
    QVERIFY(!f.sound.playing);  // the chooser stops a playing sound first
    QCOMPARE(f.dialogs.Texts("open").size(), 1);
    QCOMPARE(ReadValue(f.ini, "Verzeichnis", "SoundDir", ""), f.dir.path() + "/My Music/");
    QCOMPARE(ReadValue(f.ini, "Sound", "Soundfile", ""), path);
    QCOMPARE(Get<QLineEdit>(d.get(), "txSound")->text(), ToQ(path));
}

// Escape, the window's close button, and accept all end in the same save; the time-out takes
// digits only, and an emptied field stores the default, so the stored time-out stays a number.
void OptionsDialogTest::everyWayOfClosingSavesAndStopsTheSound() {
    Fixture f;
    for (const auto& [way, typed, stored] :
         {std::tuple{0, "4a5- 9", "459"}, {1, "", "120"}, {2, "31", "31"}}) {
        auto d = f.Open();
        auto* timeout = Get<QLineEdit>(d.get(), "txtimeout");
        timeout->clear();
        QTest::keyClicks(timeout, typed);
        f.sound.playing = true;
        if (way == 0) QTest::keyClick(d.get(), Qt::Key_Escape);
        if (way == 1) d->close();
        if (way == 2) d->accept();
        QVERIFY2(!d->isVisible() && !f.sound.playing, qPrintable(QString::number(way)));
        QCOMPARE(ReadValue(f.ini, "Bilder", "Timeout", ""), std::string(stored));
    }
}

QTEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
