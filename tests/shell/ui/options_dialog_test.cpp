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
    void firstOpeningShowsDefaultsAndClosingWritesFourKeys();
    void storedValuesAndFrame5CaptionsAreLoaded();
    void soundCheckBoxSwitchesTheSoundControlsAndPlayUsesTheTypedPath();
    void choosingASoundFileStoresFolderAndPathAndCancelChangesNothing();
    void everyWayOfClosingSavesAndStopsTheSound();
    void timeoutTakesDigitsOnly();
};

void OptionsDialogTest::firstOpeningShowsDefaultsAndClosingWritesFourKeys() {
    Fixture f;
    auto d = f.Open();
    QCOMPARE(Get<QLineEdit>(d.get(), "txtimeout")->text(), QString("120"));
    QVERIFY(Get<QCheckBox>(d.get(), "ckForm")->isChecked());
    QVERIFY(!Get<QCheckBox>(d.get(), "ckSound")->isChecked());
    QVERIFY(Get<QCheckBox>(d.get(), "ckWerbung")->isChecked());
    QVERIFY(SoundControlsEnabled(d.get(), false));
    QCOMPARE(Get<QGroupBox>(d.get(), "Frame_0")->title(), QString(" -> Wartezeit"));
    QCOMPARE(Get<QCheckBox>(d.get(), "ckForm")->text(),
             QString::fromUtf8("Lumar im Vordergrund öffnen"));
    QCOMPARE(f.dir.read("Lumar.ini"), std::string());  // opening writes nothing

    d->close();
    QVERIFY(!d->isVisible());
    // The four keys in the order they are written: Timeout, Form, SoundAn, Werbung.
    QCOMPARE(
        f.dir.read("Lumar.ini"),
        std::string("[Bilder]\r\nTimeout=120\r\nForm=1\r\nWerbung=1\r\n[Sound]\r\nSoundAn=0\r\n"));
    QCOMPARE(f.sound.calls.back(), std::string("stop"));
}

void OptionsDialogTest::storedValuesAndFrame5CaptionsAreLoaded() {
    Fixture f;
    f.dir.write("Lumar.ini",
                "[Bilder]\r\nTimeout= 45 \r\nForm=0\r\nWerbung=0\r\n"
                "[Sound]\r\nSoundAn=1\r\nSoundfile=\"/a b/ding.wav\"\r\n");
    f.dir.write("language.ini", "[Frame5]\r\n006=Play sound\r\n003=seconds\r\n");
    auto d = f.Open();
    QCOMPARE(Get<QLineEdit>(d.get(), "txtimeout")->text(), QString("45"));
    QVERIFY(!Get<QCheckBox>(d.get(), "ckForm")->isChecked());
    QVERIFY(Get<QCheckBox>(d.get(), "ckSound")->isChecked());
    QVERIFY(!Get<QCheckBox>(d.get(), "ckWerbung")->isChecked());
    QCOMPARE(Get<QLineEdit>(d.get(), "txSound")->text(), QString("/a b/ding.wav"));
    QVERIFY(SoundControlsEnabled(d.get(), true));
    QCOMPARE(Get<QCheckBox>(d.get(), "ckSound")->text(), QString("Play sound"));
    QCOMPARE(Get<QLabel>(d.get(), "Label2")->text(), QString("seconds"));
    QCOMPARE(Get<QLabel>(d.get(), "Label1000")->text(), QString("Sound (wav oder mp3):"));
    d->close();
}

void OptionsDialogTest::soundCheckBoxSwitchesTheSoundControlsAndPlayUsesTheTypedPath() {
    Fixture f;
    auto d = f.Open();
    auto* ck = Get<QCheckBox>(d.get(), "ckSound");
    Click(ck);
    QVERIFY(ck->isChecked());
    QVERIFY(SoundControlsEnabled(d.get(), true));
    Get<QLineEdit>(d.get(), "txSound")->setText("/typed by hand/a.wav");
    f.sound.calls.clear();
    QTest::mouseClick(Get<QPushButton>(d.get(), "cmPlay"), Qt::LeftButton);
    QTest::mouseClick(Get<QPushButton>(d.get(), "cmPlay"), Qt::LeftButton);
    QCOMPARE(f.sound.calls,
             (std::vector<std::string>{"play /typed by hand/a.wav", "play /typed by hand/a.wav"}));
    QTest::mouseClick(Get<QPushButton>(d.get(), "cmStop"), Qt::LeftButton);
    QVERIFY(!f.sound.playing);
    QTest::mouseClick(Get<QPushButton>(d.get(), "cmPlay"), Qt::LeftButton);
    Click(ck);
    QVERIFY(SoundControlsEnabled(d.get(), false));
    QVERIFY(!f.sound.playing);
    QCOMPARE(f.dir.read("Lumar.ini"), std::string());  // nothing is stored before the dialog closes
    d->close();
    QCOMPARE(ReadValue(f.ini, "Sound", "Soundfile", "unset"), std::string("unset"));
}

void OptionsDialogTest::choosingASoundFileStoresFolderAndPathAndCancelChangesNothing() {
    Fixture f;
    WriteValue(f.ini, "Sound", "SoundAn", "1");
    const std::string path = f.dir.path() + "/My Music/ding.mp3";
    f.dir.write("My Music/ding.mp3", "ID3");
    f.dialogs.file = ToQ(path);
    auto d = f.Open();
    f.sound.playing = true;
    QTest::mouseClick(Get<QPushButton>(d.get(), "cmSound"), Qt::LeftButton);
    QCOMPARE(f.dialogs.shown.size(), size_t(1));
    QVERIFY(!f.sound.playing);  // the chooser stops a playing sound first
    QCOMPARE(f.dialogs.shown[0].kind, QString("open"));
    QCOMPARE(f.dialogs.shown[0].title, QString::fromUtf8("Soundfile auswählen..."));
    QVERIFY(f.dialogs.shown[0].filter.contains("*.mp3") &&
            f.dialogs.shown[0].filter.contains("*.wav"));
    // Without a stored folder the chooser starts in the home folder, standing in for "C:\".
    QVERIFY(f.dialogs.shown[0].text.endsWith('/'));
    QCOMPARE(ReadValue(f.ini, "Verzeichnis", "SoundDir", ""), f.dir.path() + "/My Music/");
    QCOMPARE(ReadValue(f.ini, "Sound", "Soundfile", ""), path);
    QCOMPARE(Get<QLineEdit>(d.get(), "txSound")->text(), ToQ(path));
    QVERIFY(f.dir.read("Lumar.ini").find("Sounddir=") != std::string::npos);
    d->close();

    // Cancel: nothing changes, and the stored folder is used.
    const std::string before = f.dir.read("Lumar.ini");
    f.dialogs.file.clear();
    d = f.Open();
    QTest::mouseClick(Get<QPushButton>(d.get(), "cmSound"), Qt::LeftButton);
    QCOMPARE(f.dialogs.shown.size(), size_t(2));
    QCOMPARE(f.dialogs.shown[1].text, ToQ(f.dir.path() + "/My Music/"));
    QCOMPARE(Get<QLineEdit>(d.get(), "txSound")->text(), ToQ(path));
    QCOMPARE(f.dir.read("Lumar.ini"), before);
}

void OptionsDialogTest::everyWayOfClosingSavesAndStopsTheSound() {
    Fixture f;
    WriteValue(f.ini, "Sound", "SoundAn", "1");
    // Escape, the window's close button, and accept all end in the same save.
    for (int way = 0; way < 3; ++way) {
        auto d = f.Open();
        Get<QLineEdit>(d.get(), "txtimeout")->setText(QString::number(30 + way));
        Click(Get<QCheckBox>(d.get(), "ckForm"));
        QTest::mouseClick(Get<QPushButton>(d.get(), "cmPlay"), Qt::LeftButton);
        QVERIFY(f.sound.playing);
        if (way == 0) QTest::keyClick(d.get(), Qt::Key_Escape);
        if (way == 1) d->close();
        if (way == 2) d->accept();
        QVERIFY2(!d->isVisible(), qPrintable(QString::number(way)));
        QVERIFY(!f.sound.playing);
        QCOMPARE(ReadValue(f.ini, "Bilder", "Timeout", ""), std::to_string(30 + way));
        QCOMPARE(ReadValue(f.ini, "Bilder", "Form", ""), std::string(way % 2 == 0 ? "0" : "1"));
        QCOMPARE(ReadValue(f.ini, "Sound", "SoundAn", ""), std::string("1"));
    }
}

void OptionsDialogTest::timeoutTakesDigitsOnly() {
    Fixture f;
    auto d = f.Open();
    auto* timeout = Get<QLineEdit>(d.get(), "txtimeout");
    timeout->selectAll();
    QTest::keyClicks(timeout, "4a5- 9");
    QCOMPARE(timeout->text(), QString("459"));
    timeout->selectAll();
    QTest::keyClicks(timeout, "123456789012");
    QCOMPARE(timeout->text(), QString("123456789"));
    // An emptied field stores the default, so the stored time-out stays a number.
    timeout->clear();
    d->close();
    QCOMPARE(ReadValue(f.ini, "Bilder", "Timeout", ""), std::string("120"));
}

QTEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
