// Captions from language.ini on widgets the windows do not show at start; the main window's
// own captions are checked on the real window.
#include "shell/ui/captions.h"

#include <QDialog>
#include <QGroupBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include "shell/ui/qt_translations.h"
#include "support/temp_dir.h"

using namespace lumar;
using namespace lumar::ui;

namespace {

template <typename T>
T* Add(QWidget* parent, const QString& name) {
    auto* w = new T(parent);
    w->setObjectName(name);
    return w;
}

}  // namespace

class CaptionsTest : public QObject {
    Q_OBJECT
  private slots:
    void tableHeadersAndMissingControls() {
        // A list's headers go through its model; a column it does not have takes nothing.
        QWidget window;
        auto* table = Add<QTableView>(&window, "lvBilder");
        QStandardItemModel model(0, 2);
        table->setModel(&model);
        for (const char* target : {"lvBilder#0", "lvBilder#x", "lvBilder#3", "nothing#1"})
            QVERIFY2(!ApplyCaption(&window, target, "x"), target);
        QVERIFY(!ApplyCaption(nullptr, "ckBilder", "x"));

        // An open dialog of the window has a "Frame_0" of its own, which keeps its caption.
        auto* options = new QDialog(&window);
        auto* optionsFrame = Add<QGroupBox>(options, "Frame_0");
        optionsFrame->setTitle("Wartezeit");
        QVERIFY(!ApplyCaption(&window, "Frame_0", "-> Bilder"));
        QCOMPARE(optionsFrame->title(), QString("Wartezeit"));
    }

    // The message boxes' Yes button as Qt words it in the installed language.
    void qtsOwnTextsFollowTheInterfaceLanguage() {
        test::TempDir dir;
        const auto yes = [] { return QCoreApplication::translate("QPlatformTheme", "&Yes"); };
        QVERIFY(LoadQtTranslations(dir.file("language.ini")));  // no file: German
        QCOMPARE(yes(), QString("&Ja"));
        QVERIFY(LoadQtTranslations(dir.write("fr.ini", "[STRINGS]\r\n053=fr\r\n")));
        QCOMPARE(yes(), QString("&Oui"));
        LoadQtTranslations(std::string(LUMAR_SOURCE_DIR) + "/data/language.ini");  // "en"
        QCOMPARE(yes(), QString("&Yes"));
    }
};

QTEST_MAIN(CaptionsTest)
#include "captions_test.moc"
