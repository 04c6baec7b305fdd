// Captions from language.ini on real widgets, found by objectName.
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "shell/language_table.h"
#include "shell/ui/captions.h"
#include "shell/ui/qt_text.h"
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

// The controls of the main window that Frame0 to Frame3 caption, nested as in the window.
std::unique_ptr<QWidget> MakeMainWindowControls() {
    auto window = std::make_unique<QWidget>();
    auto* images = Add<QGroupBox>(window.get(), "Frame_0");
    Add<QCheckBox>(images, "ckBilder");
    for (int i = 0; i <= 5; ++i) Add<QPushButton>(images, QString("cmBilder_%1").arg(i));
    auto* list = Add<QTreeWidget>(images, "lvBilder");
    list->setColumnCount(8);
    auto* upload = Add<QGroupBox>(window.get(), "Frame_1");
    for (int i = 0; i <= 3; ++i) Add<QLabel>(upload, QString("lbPic_%1").arg(i));
    Add<QPushButton>(upload, "cmConfig");
    Add<QPushButton>(upload, "cmUpload");
    auto* code = Add<QWidget>(window.get(), "picCode");
    Add<QGroupBox>(code, "fSplit");
    Add<QCheckBox>(code, "ckCenter");
    Add<QCheckBox>(code, "ckSplit");
    for (int i = 0; i <= 2; ++i) Add<QPushButton>(code, QString("cmCode_%1").arg(i));
    auto* progress = Add<QWidget>(window.get(), "picProgress");
    for (int i = 29; i <= 32; ++i) Add<QLabel>(progress, QString("labels_%1").arg(i));
    Add<QPushButton>(progress, "cmAbbruch");
    return window;
}

QString Caption(QWidget* window, const QString& name) {
    QWidget* w = window->findChild<QWidget*>(name);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    return "<none>";
}

// Every caption the main window shows, by target.
QMap<QString, QString> AllCaptions(QWidget* window) {
    QMap<QString, QString> all;
    auto* list = window->findChild<QTreeWidget*>("lvBilder");
    for (const char* section : {"Frame0", "Frame1", "Frame2", "Frame3"}) {
        for (const LanguageEntry& e : LanguageSection(section)) {
            const QString target = ToQ(e.target);
            if (target.startsWith("lvBilder#"))
                all[target] = list->headerItem()->text(target.mid(9).toInt() - 1);
            else
                all[target] = Caption(window, target);
        }
    }
    return all;
}

void ApplyMainWindowSections(QWidget* window, const std::string& file) {
    for (const char* section : {"Frame0", "Frame1", "Frame2", "Frame3"})
        ApplyCaptions(window, section, file);
}

}  // namespace

class CaptionsTest : public QObject {
    Q_OBJECT
private slots:
    void withoutFileEveryCaptionIsGermanWithoutTrailingBlanks();
    void oneTranslatedKeyChangesExactlyOneCaptionAndEntry19FollowsTheButton();
    void titlesTableHeadersAndMissingControls();
    void qtsOwnTextsFollowTheInterfaceLanguage();
};

void CaptionsTest::withoutFileEveryCaptionIsGermanWithoutTrailingBlanks() {
    test::TempDir dir;
    auto window = MakeMainWindowControls();
    int applied = 0;
    for (const char* section : {"Frame0", "Frame1", "Frame2", "Frame3"})
        applied += ApplyCaptions(window.get(), section, dir.file("language.ini"));
    QCOMPARE(applied, 12 + 5 + 8 + 5);
    const QMap<QString, QString> all = AllCaptions(window.get());
    for (auto it = all.begin(); it != all.end(); ++it) {
        QVERIFY2(!it.value().endsWith(' '), qPrintable(it.key()));
        QVERIFY2(!it.value().isEmpty() && it.value() != "<none>", qPrintable(it.key()));
    }
    QCOMPARE(all["Frame_0"], QString("-> Bilder"));
    QCOMPARE(all["lvBilder#4"], QString::fromUtf8("Höhe"));
    QCOMPARE(all["labels_29"], QString::fromUtf8("Noch zu übertrage Dateien:"));
    // Columns without a caption of their own are left alone.
    auto* list = window->findChild<QTreeWidget*>("lvBilder");
    QCOMPARE(list->columnCount(), 8);
    QCOMPARE(list->headerItem()->text(4), QString("5"));
}

void CaptionsTest::oneTranslatedKeyChangesExactlyOneCaptionAndEntry19FollowsTheButton() {
    test::TempDir dir;
    auto german = MakeMainWindowControls();
    ApplyMainWindowSections(german.get(), dir.file("missing.ini"));
    const std::string file = dir.write("language.ini", "[Frame1]\r\n005=Start upload\r\n");
    auto english = MakeMainWindowControls();
    ApplyMainWindowSections(english.get(), file);

    QMap<QString, QString> expected = AllCaptions(german.get());
    expected["cmUpload"] = "Start upload";
    QCOMPARE(AllCaptions(english.get()), expected);

    // A label shows a translation as typed, not as markup.
    const std::string markup = dir.write("markup.ini", "[Frame1]\r\n002=<b>Max</b> size:\r\n");
    ApplyCaptions(english.get(), "Frame1", markup);
    auto* label = english->findChild<QLabel*>("lbPic_0");
    QCOMPARE(label->text(), QString("<b>Max</b> size:"));
    QCOMPARE(label->textFormat(), Qt::PlainText);

    // Entry 19 is the text block button's caption as applied, trailing blanks removed.
    const std::string blocks =
        dir.write("blocks.ini", "[Frame0]\r\n007=  Insert block  \r\n[STRINGS]\r\n020=Change block\r\n");
    ApplyMainWindowSections(english.get(), blocks);
    auto* button = english->findChild<QPushButton*>("cmBilder_4");
    QCOMPARE(button->text(), QString("Insert block"));
    const UiStrings strings = LoadUiStrings(blocks, FromQ(button->text()));
    QCOMPARE(ToQ(strings.Get(kStrInsertTextBlock)), QString("Insert block"));
    QCOMPARE(ToQ(strings.Get(kStrChangeTextBlock)), QString("Change block"));
}

void CaptionsTest::titlesTableHeadersAndMissingControls() {
    test::TempDir dir;
    const std::string file = dir.write(
        "language.ini", "[frame4]\r\n004=Find image folder...\r\n001=\"  with subfolders\"\r\n");
    QDialog browser;
    Add<QCheckBox>(&browser, "ckSubDir");
    Add<QPushButton>(&browser, "cmOK_0");
    // cmOK_1 is missing on purpose, and a text box carries no caption.
    Add<QLineEdit>(&browser, "cmOK_1_text");
    QCOMPARE(ApplyCaptions(&browser, "Frame4", file), 3);
    QCOMPARE(browser.windowTitle(), QString("Find image folder..."));
    QCOMPARE(browser.findChild<QCheckBox*>("ckSubDir")->text(), QString("  with subfolders"));
    QCOMPARE(browser.findChild<QPushButton*>("cmOK_0")->text(), QString("OK"));

    // A model-based list gets its headers through the model.
    QWidget window;
    auto* table = Add<QTableView>(&window, "lvBilder");
    QStandardItemModel model(0, 2);
    table->setModel(&model);
    QCOMPARE(ApplyCaptions(&window, "Frame0", dir.file("none.ini")), 2);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Bildname"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QString("Pfad des Bildes"));

    QVERIFY(!ApplyCaption(&window, "lvBilder#0", "x"));
    QVERIFY(!ApplyCaption(&window, "lvBilder#x", "x"));
    QVERIFY(!ApplyCaption(&window, "lvBilder#3", "x"));
    QVERIFY(!ApplyCaption(&window, "nothing#1", "x"));
    QVERIFY(!ApplyCaption(nullptr, "ckBilder", "x"));
    QCOMPARE(ApplyCaptions(&window, "NoSuchSection", dir.file("none.ini")), 0);

    // An open dialog of the window has a "Frame_0" of its own, which keeps its caption.
    auto main = MakeMainWindowControls();
    auto* options = new QDialog(main.get());
    auto* optionsFrame = Add<QGroupBox>(options, "Frame_0");
    optionsFrame->setTitle("Wartezeit");
    delete main->findChild<QGroupBox*>("Frame_0", Qt::FindDirectChildrenOnly);
    QVERIFY(!ApplyCaption(main.get(), "Frame_0", "-> Bilder"));
    QCOMPARE(optionsFrame->title(), QString("Wartezeit"));
}

// The message boxes' Yes button as Qt words it in the installed language.
void CaptionsTest::qtsOwnTextsFollowTheInterfaceLanguage() {
    test::TempDir dir;
    const auto yes = [] { return QCoreApplication::translate("QPlatformTheme", "&Yes"); };
    QVERIFY(LoadQtTranslations(dir.file("language.ini")));  // no file: German
    QCOMPARE(yes(), QString("&Ja"));
    QVERIFY(LoadQtTranslations(dir.write("fr.ini", "[STRINGS]\r\n053=fr\r\n")));
    QCOMPARE(yes(), QString("&Oui"));
    LoadQtTranslations(std::string(LUMAR_SOURCE_DIR) + "/data/language.ini");  // "en"
    QCOMPARE(yes(), QString("&Yes"));
}

QTEST_MAIN(CaptionsTest)
#include "captions_test.moc"
