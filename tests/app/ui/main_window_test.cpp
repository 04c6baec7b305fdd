// The main window's start-up, its own behaviour (outline, drag, tray, quit, links) and the
// status bar, driven through the real widgets.
#include <sys/stat.h>

#include <QAbstractItemView>
#include <QBitmap>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QUrl>

#include "imagelist/ui/image_list_panel.h"
#include "imagelist/ui/preview.h"
#include "main_window_fakes.h"
#include "shell/config_paths.h"
#include "shell/language_table.h"
#include "shell/settings_store.h"
#include "shell/ui/desktop_services.h"
#include "shell/ui/qt_text.h"
#include "shell/ui/settings_warning.h"
#include "shell/window_geometry.h"
#include "support/jpeg_maker.h"

using namespace lumar;

// Stands in for the widget Qt's XEmbed tray icon shows (its class is private to Qt, and this
// test has no X11 notification area); the window knows it by its class name.
class QSystemTrayIconSys : public QWidget {
    Q_OBJECT
};

class MainWindowTest : public QObject {
    Q_OBJECT
  private:
    template <typename T>
    static T* Find(QWidget* window, const char* name) {
        T* widget = window->findChild<T*>(name);
        if (!widget) qFatal("no control %s", name);
        return widget;
    }
    // What a caption target shows: a control's text or title, or a list column's header.
    static QString Caption(QWidget* window, const QString& target) {
        if (target.startsWith("lvBilder#"))
            return Find<QAbstractItemView>(window, "lvBilder")
                ->model()
                ->headerData(target.mid(9).toInt() - 1, Qt::Horizontal)
                .toString();
        QWidget* w = Find<QWidget>(window, qPrintable(target));
        if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
        if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
        return {};
    }
    static void SendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
    }

  private slots:
    void cleanup() {
        ui::SetDesktopOpener({});
        ui::SetOpenWithChooser({});
    }

    void firstStartWithoutAnyFileGivesEveryDefault() {
        test::WindowFixture f;
        auto w = f.Start();
        QCOMPARE(w->size(), QSize(645, 512));
        // Rounded outline: the very corner is cut off, the middle of an edge is not.
        const QRegion mask = w->mask();
        QVERIFY(!mask.isEmpty());
        QVERIFY(!mask.contains(QPoint(0, 0)));
        QVERIFY(!mask.contains(QPoint(644, 511)));
        QVERIFY(mask.contains(QPoint(322, 0)));
        QVERIFY(mask.contains(QPoint(0, 256)));
        // Every caption of the four frames in German, trailing blanks of the defaults removed.
        for (const char* section : {"Frame0", "Frame1", "Frame2", "Frame3"})
            for (const LanguageEntry& e : LanguageSection(section)) {
                const QString target = ui::ToQ(e.target);
                QString expected = ui::ToQ(e.defaultText);
                while (expected.endsWith(' ')) expected.chop(1);
                QVERIFY2(!expected.isEmpty(), qPrintable(target));
                QCOMPARE(Caption(w.get(), target), expected);
            }
        // The default options are the settings' (their own test); the controls follow them.
        QVERIFY(!Find<QLineEdit>(w.get(), "txSplitSize")->isEnabled());
        QCOMPARE(Find<QComboBox>(w.get(), "cbHoster")->count(), 7);
        QCOMPARE(Find<QLabel>(w.get(), "lbSize")->text(), QString("1536kB"));
        // Status bar.
        QCOMPARE(w->StatusPanelText(1), QString(" Status: Bereit"));
        QCOMPARE(w->StatusPanelText(2), QString("Bilder:"));
        QCOMPARE(w->StatusPanelText(3), QString("Upload: 0 - Size: 0,00 MB"));
        // Empty list: only the two add buttons work; the text-block caption is entry 19.
        QVERIFY(Find<QPushButton>(w.get(), "cmBilder_0")->isEnabled());
        QVERIFY(Find<QPushButton>(w.get(), "cmBilder_1")->isEnabled());
        for (const char* name : {"cmBilder_2", "cmBilder_3", "cmBilder_4", "cmBilder_5"})
            QVERIFY2(!Find<QPushButton>(w.get(), name)->isEnabled(), name);
        QCOMPARE(QString::fromStdString(w->Strings().Get(kStrInsertTextBlock)),
                 QString("VBCode einfügen"));
        QCOMPARE(w->listPanel()->PreviewRowIndex(), -1);
        QCOMPARE(Find<QLabel>(w.get(), "lbAppVersion")->text(),
                 QString::fromStdString(AppVersionText(RevisionOf(LUMAR_VERSION))));
        // The list panel shows; the upload and code panels wait in the same place.
        QVERIFY(!Find<QWidget>(w.get(), "picTransfer")->isVisibleTo(w.get()));
        QVERIFY(!Find<QWidget>(w.get(), "picCode")->isVisibleTo(w.get()));
        QCOMPARE(Find<QWidget>(w.get(), "picCode")->pos(), QPoint(8, 56));
        QCOMPARE(Find<QWidget>(w.get(), "picTransfer")->pos(), QPoint(8, 56));
        QCOMPARE(Find<QWidget>(w.get(), "pBilder")->pos(), QPoint(8, 56));
    }

    void storedOptionsAreRestoredAndATranslationReachesTheTextBlockButton() {
        test::WindowFixture f;
        f.dir.write("Lumar.ini",
                    "[Bilder]\r\nPreview=0\r\nCenter=0\r\nAnbieter=12\r\n[Posting]\r\nSplit=1\r\n"
                    "SplitSize=7\r\nCode=1\r\n[Stat]\r\nFiles=12\r\nSize=3670016\r\n");
        f.dir.write(
            "language.ini",
            "[Frame0]\r\n007=Insert text  \r\n[Frame1]\r\n002=<b>Max</b>\r\n005=Start upload\r\n"
            "[STRINGS]\r\n039=Donate\r\n040=To the tray\r\n042=Links as\r\n");
        auto w = f.Start();
        QVERIFY(!Find<QCheckBox>(w.get(), "ckBilder")->isChecked());
        QVERIFY(!Find<QCheckBox>(w.get(), "ckCenter")->isChecked());
        QVERIFY(Find<QCheckBox>(w.get(), "ckSplit")->isChecked());
        QCOMPARE(Find<QLineEdit>(w.get(), "txSplitSize")->text(), QString("7"));
        QVERIFY(Find<QRadioButton>(w.get(), "opCode_1")->isChecked());
        // A stored hoster index of 12 selects the seventh hoster.
        QCOMPARE(Find<QComboBox>(w.get(), "cbHoster")->currentIndex(), 6);
        QCOMPARE(Find<QLabel>(w.get(), "lbSize")->text(), QString("???kB"));
        QCOMPARE(w->StatusPanelText(3), QString("Upload: 12 - Size: 3,50 MB"));
        QCOMPARE(Find<QPushButton>(w.get(), "cmUpload")->text(), QString("Start upload"));
        QCOMPARE(Find<QPushButton>(w.get(), "cmConfig")->text(),
                 QString("weitere Einstellungen..."));
        // A label shows a translation as typed, not as markup.
        QCOMPARE(Find<QLabel>(w.get(), "lbPic_0")->text(), QString("<b>Max</b>"));
        QCOMPARE(Find<QLabel>(w.get(), "lbPic_0")->textFormat(), Qt::PlainText);
        // Entry 19 is the text block button's caption as applied, trailing blanks removed.
        QCOMPARE(QString::fromStdString(w->Strings().Get(kStrInsertTextBlock)),
                 QString("Insert text"));
        QCOMPARE(Find<QLabel>(w.get(), "Spende")->accessibleName(), QString("Donate"));
        QCOMPARE(Find<QLabel>(w.get(), "imWin_0")->toolTip(), QString("To the tray"));
        QCOMPARE(Find<QLabel>(Find<QWidget>(w.get(), "picCode"), "Label1")->text(),
                 QString("Links as"));
    }

    void anAcceptedUpdateOfferEndsTheStartUpAtItsStep() {
        test::WindowFixture f;
        int asked = 0;
        f.hooks.updateCheck = [&asked](QWidget*) {
            ++asked;
            return false;
        };
        ui::MainWindow w(f.NewSession(), f.hooks);
        QVERIFY(!w.Start());
        QCOMPARE(asked, 1);
        // The hoster list was filled before the check; the options were never restored.
        QCOMPARE(Find<QComboBox>(&w, "cbHoster")->count(), 7);
        QVERIFY(!Find<QCheckBox>(&w, "ckBilder")->isChecked());
        QVERIFY(f.dir.read("Lumar.ini").empty());
        QVERIFY(w.StatusPanelText(1).isEmpty());
    }

    void hostersFromHostersIniJoinTheChoice() {
        test::WindowFixture f;
        f.dir.write("hosters.ini",
                    "[Hoster8]\nName=local\nHomeUrl=http://127.0.0.1/\nMaxSizeText=99kB\n"
                    "ConnectHost=127.0.0.1\nUploadUrl=http://127.0.0.1/up\nFileField=f\n"
                    "StartMarker=[URL=\nEndMarker=<\n");
        f.dir.write("Lumar.ini", "[Bilder]\nAnbieter=12\n");
        auto w = f.Start();
        auto* box = Find<QComboBox>(w.get(), "cbHoster");
        QCOMPARE(box->count(), 8);
        QCOMPARE(box->itemText(7), QString("local"));
        // A remembered index beyond the list selects the last entry, here the added one.
        QCOMPARE(box->currentIndex(), 7);
        QCOMPARE(Find<QLabel>(w.get(), "lbSize")->text(), QString("99kB"));
    }

    void choosingAHosterShowsItsLimitAndHomePage() {
        test::WindowFixture f;
        f.hooks.addresses.forum = "http://lumar.example/forum";
        f.hooks.addresses.donation = "http://lumar.example/give";
        auto w = f.Start();
        auto* box = Find<QComboBox>(w.get(), "cbHoster");
        box->setCurrentIndex(4);
        QCOMPARE(Find<QLabel>(w.get(), "lbSize")->text(),
                 QString::fromStdString(w->Hosters().Row(5).MaxSizeText));
        QCOMPARE(Find<QLabel>(w.get(), "lbURL")->text(),
                 QString::fromStdString(w->Hosters().Row(5).HomeUrl));
        QStringList opened;
        ui::SetDesktopOpener([&opened](const QUrl& url) {
            opened << url.toString();
            return true;
        });
        QTest::mouseClick(Find<QLabel>(w.get(), "lbURL"), Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(QUrl(opened.first()), QUrl::fromUserInput(Find<QLabel>(w.get(), "lbURL")->text()));
        QTest::mouseClick(Find<QLabel>(w.get(), "Spende"), Qt::LeftButton);
        QTest::mouseClick(Find<QLabel>(w.get(), "Image1"), Qt::LeftButton);
        QCOMPARE(opened, QStringList({opened.first(), "http://lumar.example/give",
                                      "http://lumar.example/forum"}));
        for (const char* link : {"lbURL", "Spende", "Image1"})
            QCOMPARE(Find<QLabel>(w.get(), link)->cursor().shape(), Qt::PointingHandCursor);

        // A build without the project's addresses shows neither link.
        test::WindowFixture bare;
        bare.hooks.addresses = {};
        auto plain = bare.Start();
        plain->show();
        QVERIFY(!Find<QLabel>(plain.get(), "Spende")->isVisible());
        QTest::mouseClick(Find<QLabel>(plain.get(), "Image1"), Qt::LeftButton);
        QCOMPARE(opened.size(), 3);
        QCOMPARE(Find<QLabel>(plain.get(), "Image1")->cursor().shape(), Qt::ArrowCursor);
    }

    void quittingStoresOnlyTheHosterIndex() {
        test::WindowFixture f;
        auto w = f.Start();
        Find<QComboBox>(w.get(), "cbHoster")->setCurrentIndex(3);
        const std::string before = f.dir.read("Lumar.ini");
        QTest::mouseClick(Find<QLabel>(w.get(), "imWin_1"), Qt::LeftButton);
        QVERIFY(w->Quitting());
        QVERIFY(!w->isVisible());
        QCOMPARE(QString::fromStdString(f.dir.read("Lumar.ini")),
                 QString::fromStdString(SetValueInText(before, "Bilder", "Anbieter", "3")));
    }

    void trayIconRestoresOnADoubleClickOfEitherButtonOnly() {
        test::WindowFixture f;
        f.hooks.trayAvailable = [] { return true; };
        auto w = f.Start();
        w->show();
        QTest::mouseClick(Find<QLabel>(w.get(), "imWin_0"), Qt::LeftButton);
        QVERIFY(w->InTray());
        QVERIFY(!w->isVisible());
        w->OnTrayActivated(QSystemTrayIcon::Trigger);  // a single click does nothing
        QVERIFY(!w->isVisible());
        w->OnTrayActivated(QSystemTrayIcon::Context);  // one right click neither
        QVERIFY(!w->isVisible());
        w->OnTrayActivated(QSystemTrayIcon::Context);  // the second makes a double click
        QVERIFY(w->isVisible());
        QVERIFY(!w->InTray());
        QTest::mouseClick(Find<QLabel>(w.get(), "imWin_0"), Qt::LeftButton);
        QVERIFY(!w->isVisible());
        w->OnTrayActivated(QSystemTrayIcon::DoubleClick);
        QVERIFY(w->isVisible());

        // What an XEmbed notification area delivers for a right double click: one context
        // activation for the first press, then the double click on the icon's widget only.
        QTest::mouseClick(Find<QLabel>(w.get(), "imWin_0"), Qt::LeftButton);
        QSystemTrayIconSys icon;
        w->OnTrayActivated(QSystemTrayIcon::Context);
        QTest::mouseDClick(&icon, Qt::LeftButton);  // the left one comes as its own activation
        QVERIFY(!w->isVisible());
        QTest::mouseDClick(&icon, Qt::RightButton);
        QVERIFY(w->isVisible());
    }

    void withoutANotificationAreaTheWindowMinimisesNormally() {
        test::WindowFixture f;
        auto w = f.Start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTest::mouseClick(Find<QLabel>(w.get(), "imWin_0"), Qt::LeftButton);
        QVERIFY(!w->InTray());
        QVERIFY(w->isMinimized());
    }

    void draggingSnapsToTheScreenEdges() {
        test::WindowFixture f;
        auto w = f.Start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const QRect screen = w->screen()->availableGeometry();
        w->move(screen.topLeft() + QPoint(100, 100));
        QTRY_COMPARE(w->pos(), screen.topLeft() + QPoint(100, 100));
        // Press on the background, move 87 px left: the left edge would be 13 px = 195 twips
        // from the screen edge, inside the snap distance, so it lands on the edge.
        const QPoint press(300, 52);
        SendMouse(w.get(), QEvent::MouseButtonPress, press, Qt::LeftButton);
        SendMouse(w.get(), QEvent::MouseMove, press - QPoint(87, 0), Qt::LeftButton);
        QTRY_COMPARE(w->pos(), screen.topLeft() + QPoint(0, 100));
        // Moving without a button held does not drag.
        const QPoint at = w->pos();
        SendMouse(w.get(), QEvent::MouseMove, press - QPoint(200, 200), Qt::NoButton);
        QCOMPARE(w->pos(), at);
    }

    void previewDoubleClickFallsBackToTheOpenWithChooser() {
        test::WindowFixture f;
        auto w = f.Start();
        const std::string path = f.dir.file("pics/a.jpg");
        test::WriteJpeg(path, 64, 48);
        w->listPanel()->AddDroppedPaths({QString::fromStdString(path)});
        QStringList opened, chosen;
        ui::SetDesktopOpener([&opened](const QUrl& url) {
            opened << url.toLocalFile();
            return false;  // no program for this type
        });
        ui::SetOpenWithChooser([&chosen](const QString& p) { chosen << p; });
        QTest::mouseDClick(Find<QWidget>(w.get(), "picPreview"), Qt::LeftButton);
        QCOMPARE(opened, QStringList{QString::fromStdString(path)});
        QCOMPARE(chosen, QStringList{QString::fromStdString(path)});
        // With a program the chooser stays away.
        ui::SetDesktopOpener([](const QUrl&) { return true; });
        QTest::mouseDClick(Find<QWidget>(w.get(), "picPreview"), Qt::LeftButton);
        QCOMPARE(chosen.size(), 1);
        // A marker row names no file: nothing is opened.
        w->listPanel()->Command(5);
        ui::SetDesktopOpener([&opened](const QUrl& url) {
            opened << url.toLocalFile();
            return false;
        });
        QTest::mouseDClick(Find<QWidget>(w.get(), "picPreview"), Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(chosen.size(), 1);
    }

    void damagedSettingsAndLanguageFilesGiveTheBuiltInTexts() {
        test::WindowFixture f;
        test::WindowFixture* f_ = &f;
        std::string garbage;
        for (int i = 0; i < 30000; ++i) garbage += static_cast<char>((i * 7919 + 13) & 0xFF);
        f_->dir.write("Lumar.ini", garbage);
        QCOMPARE(::mkdir(f_->dir.file("language.ini").c_str(), 0755), 0);
        auto w_ = f_->Start();
        QCOMPARE(w_->findChild<QPushButton*>("cmUpload")->text(), QString("Upload starten"));
        QCOMPARE(w_->findChild<QCheckBox*>("ckBilder")->text(), QString("Vorschau"));
        QCOMPARE(w_->findChild<QCheckBox*>("ckBilder")->isChecked(), true);  // Preview's default
        // A setting changed in the window is stored without losing the damaged file's bytes.
        w_->findChild<QCheckBox*>("ckBilder")->click();
        QCOMPARE(ReadValue(f_->Settings(), "Bilder", "Preview", ""), std::string("0"));
        QCOMPARE(f_->dir.read("Lumar.ini").substr(0, garbage.size()), garbage);
    }

    void aSettingsFolderThatCannotBeWrittenIsNamedAtStartUp() {
        test::WindowFixture f;
        test::WindowFixture* f_ = &f;
        auto w_ = f_->Start();
        QVERIFY(
            !ui::WarnIfSettingsUnwritable(w_.get(), *f_->dialogs, w_->Strings(), ConfigFolder()));
        QVERIFY(f_->dialogs->shown.empty());

        const std::string file = f_->dir.write("plain", "a file");
        const std::string folder = file + "/lumar/";
        QVERIFY(ui::WarnIfSettingsUnwritable(w_.get(), *f_->dialogs, w_->Strings(), folder));
        QCOMPARE(f_->dialogs->shown.size(), size_t(1));
        QCOMPARE(f_->dialogs->shown[0].kind, QString("warn"));
        QCOMPARE(
            f_->dialogs->shown[0].text,
            QString(
                "Die Einstellungen können nicht gespeichert werden. Ordner:\n%1\n(Not a directory)")
                .arg(QString::fromStdString(folder)));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
