// The main window's start-up, its own behaviour (outline, drag, tray, quit, links) and the
// status bar, driven through the real widgets.
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QUrl>

#include "main_window_fakes.h"
#include "shell/language_table.h"
#include "shell/settings_store.h"
#include "shell/ui/desktop_services.h"
#include "shell/ui/qt_text.h"
#include "shell/ui/settings_warning.h"
#include "shell/window_geometry.h"

using namespace lumar;
using test::Click;
using test::Find;

// Stands in for the widget Qt's XEmbed tray icon shows (its class is private to Qt, and this
// test has no X11 notification area); the window knows it by its class name.
class QSystemTrayIconSys : public QWidget {
    Q_OBJECT
};

namespace {

QString Text(QWidget* window, const QString& name) {
    return Find<QLabel>(window, name)->text();
}

// What a caption target shows: a control's text or title, or a list column's header.
QString Caption(QWidget* window, const QString& target) {
    if (target.startsWith("lvBilder#"))
        return Find<QAbstractItemView>(window, "lvBilder")
            ->model()
            ->headerData(target.mid(9).toInt() - 1, Qt::Horizontal)
            .toString();
    QWidget* w = Find(window, target);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    return qobject_cast<QLabel*>(w)->text();
}

constexpr const char* kDefinition =
    R"({"DestinationType":"ImageUploader","RequestURL":"https://x.test/u","FileFormName":"f"})";

void SendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void firstStartWithoutAnyFileGivesEveryDefault() {
        test::WindowFixture f;
        auto w = f.Start();
        QCOMPARE(w->size(), QSize(645, 512));
        // Rounded outline: the very corner is cut off, the middle of an edge is not.
        QVERIFY(!w->mask().contains(QPoint(0, 0)) && w->mask().contains(QPoint(322, 0)));
        // Every caption of the four frames in German, trailing blanks of the defaults removed.
        for (const char* section : {"Frame0", "Frame1", "Frame2", "Frame3"})
            for (const LanguageEntry& e : LanguageSection(section))
                QCOMPARE(Caption(w.get(), ui::ToQ(e.target)), ui::ToQ(e.defaultText).trimmed());
        QCOMPARE(Text(w.get(), "lbAppVersion"),
                 QString::fromStdString(AppVersionText(RevisionOf(LUMAR_VERSION))));
        // The list panel shows; the upload and code panels wait in the same place.
        for (const char* panel : {"pBilder", "picTransfer", "picCode"}) {
            QCOMPARE(Find(w.get(), panel)->isVisibleTo(w.get()), QString(panel) == "pBilder");
            QCOMPARE(Find(w.get(), panel)->pos(), QPoint(8, 56));
        }
    }

    // A stored hoster index beyond the list, hosters.ini's own entries included, selects the
    // last one; a label shows a translation as typed, not as markup.
    void storedOptionsHostersAndTranslationsAreRestored() {
        test::WindowFixture f;
        f.dir.write("Lumar.ini", "[Bilder]\r\nPreview=0\r\nAnbieter=12\r\n");
        f.dir.write("hosters.ini",
                    "[Hoster8]\nName=local\nHomeUrl=http://127.0.0.1/\nMaxSizeText=99kB\n"
                    "ConnectHost=127.0.0.1\nUploadUrl=http://127.0.0.1/up\nFileField=f\n"
                    "StartMarker=[URL=\nEndMarker=<\n");
        f.dir.write("language.ini",
                    "[Frame0]\r\n007=Insert text  \r\n[Frame1]\r\n002=<b>Max</b>\r\n"
                    "[STRINGS]\r\n039=Donate\r\n");
        auto w = f.Start();
        QVERIFY(!Find<QCheckBox>(w.get(), "ckBilder")->isChecked());
        QCOMPARE(Find<QComboBox>(w.get(), "cbHoster")->currentText(), QString("local"));
        QCOMPARE(Text(w.get(), "lbSize"), QString("99kB"));
        QCOMPARE(Find<QLabel>(w.get(), "lbPic_0")->textFormat(), Qt::PlainText);
        QCOMPARE(Text(w.get(), "lbPic_0"), QString("<b>Max</b>"));
        QCOMPARE(w->Strings().Get(kStrInsertTextBlock), std::string("Insert text"));
        QCOMPARE(Find(w.get(), "Spende")->accessibleName(), QString("Donate"));
        // A definition dropped on the list becomes a row; the chosen row stays chosen.
        QMimeData drop;
        const std::string file = f.dir.write("in/new.sxcu", kDefinition);
        drop.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
        QWidget* target = Find<QAbstractItemView>(w.get(), "lvBilder")->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &drop, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &drop, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
        QVERIFY(!f.dir.read("hosters.d/new.sxcu").empty());
        QCOMPARE(Find<QComboBox>(w.get(), "cbHoster")->count(), 9);
        QCOMPARE(Find<QComboBox>(w.get(), "cbHoster")->currentText(), QString("local"));
    }

    void anAcceptedUpdateOfferEndsTheStartUpAtItsStep() {
        test::WindowFixture f;
        f.hooks.updateCheck = [](QWidget*) { return false; };
        ui::MainWindow w(f.NewSession(), f.hooks);
        QVERIFY(!w.Start());
        QCOMPARE(Find<QComboBox>(&w, "cbHoster")->count(), 7);
        QVERIFY(!Find<QCheckBox>(&w, "ckBilder")->isChecked());
        QVERIFY(f.dir.read("Lumar.ini").empty());
    }

    // A build without the project's addresses shows neither link.
    void linksOpenTheHostersHomePageAndTheProjectsAddresses() {
        QStringList opened;
        ui::SetDesktopOpener([&opened](const QUrl& url) { return opened << url.toString(), true; });
        test::WindowFixture f;
        f.hooks.addresses.forum = "http://lumar.example/forum";
        f.hooks.addresses.donation = "http://lumar.example/give";
        auto w = f.Start();
        Find<QComboBox>(w.get(), "cbHoster")->setCurrentIndex(4);
        QCOMPARE(Text(w.get(), "lbURL"), QString::fromStdString(w->Hosters().Row(5).HomeUrl));
        for (const char* link : {"lbURL", "Spende", "Image1"}) Click(w.get(), link);
        QCOMPARE(opened, QStringList({QUrl::fromUserInput(Text(w.get(), "lbURL")).toString(),
                                      "http://lumar.example/give", "http://lumar.example/forum"}));
        test::WindowFixture bare;
        bare.hooks.addresses = {};
        auto plain = bare.Start();
        plain->show();
        QVERIFY(!Find(plain.get(), "Spende")->isVisible());
        Click(plain.get(), "Image1");
        QCOMPARE(opened.size(), 3);
        ui::SetDesktopOpener({});
    }

    void quittingStoresOnlyTheHosterChoice() {
        test::WindowFixture f;
        auto w = f.Start();
        Find<QComboBox>(w.get(), "cbHoster")->setCurrentIndex(3);
        const std::string before = f.dir.read("Lumar.ini");
        Click(w.get(), "imWin_1");
        QVERIFY(w->Quitting() && !w->isVisible());
        QCOMPARE(f.dir.read("Lumar.ini"),
                 SetValueInText(SetValueInText(before, "Bilder", "Anbieter", "3"), "Bilder",
                                "AnbieterId", "Hoster4"));
    }

    void trayIconRestoresOnADoubleClickOfEitherButtonOnly() {
        test::WindowFixture f;
        f.hooks.trayAvailable = [] { return true; };
        auto w = f.Start();
        w->show();
        Click(w.get(), "imWin_0");
        QVERIFY(w->InTray() && !w->isVisible());
        w->OnTrayActivated(QSystemTrayIcon::Trigger);  // a single click does nothing
        w->OnTrayActivated(QSystemTrayIcon::Context);
        QVERIFY(!w->isVisible());
        w->OnTrayActivated(QSystemTrayIcon::Context);  // the second makes a double click
        QVERIFY(w->isVisible() && !w->InTray());
        Click(w.get(), "imWin_0");
        w->OnTrayActivated(QSystemTrayIcon::DoubleClick);
        QVERIFY(w->isVisible());
        // What an XEmbed notification area delivers for a right double click: one context
        // activation for the first press, then the double click on the icon's widget only.
        Click(w.get(), "imWin_0");
        QSystemTrayIconSys icon;
        w->OnTrayActivated(QSystemTrayIcon::Context);
        QTest::mouseDClick(&icon, Qt::LeftButton);  // the left one comes as its own activation
        QVERIFY(!w->isVisible());
        QTest::mouseDClick(&icon, Qt::RightButton);
        QVERIFY(w->isVisible());

        test::WindowFixture noTray;  // without a notification area it minimises normally
        auto plain = noTray.Start();
        plain->show();
        QVERIFY(QTest::qWaitForWindowExposed(plain.get()));
        Click(plain.get(), "imWin_0");
        QVERIFY(!plain->InTray() && plain->isMinimized());
    }

    void draggingTheBackgroundMovesAndSnapsTheWindow() {
        test::WindowFixture f;
        auto w = f.Start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const QPoint corner = w->screen()->availableGeometry().topLeft();
        w->move(corner + QPoint(100, 100));
        QTRY_COMPARE(w->pos(), corner + QPoint(100, 100));
        const QPoint press(300, 52);
        SendMouse(w.get(), QEvent::MouseButtonPress, press, Qt::LeftButton);
        SendMouse(w.get(), QEvent::MouseMove, press - QPoint(87, 0), Qt::LeftButton);
        QTRY_COMPARE(w->pos(), corner + QPoint(0, 100));
        SendMouse(w.get(), QEvent::MouseMove, press - QPoint(200, 200), Qt::NoButton);
        QCOMPARE(w->pos(), corner + QPoint(0, 100));
    }

    void aSettingsFolderThatCannotBeWrittenIsNamed() {
        test::WindowFixture f;
        auto w = f.Start();
        QVERIFY(!ui::WarnIfSettingsUnwritable(w.get(), *f.dialogs, w->Strings(), ConfigFolder()));
        const std::string folder = f.dir.write("plain", "a file") + "/lumar/";
        QVERIFY(ui::WarnIfSettingsUnwritable(w.get(), *f.dialogs, w->Strings(), folder));
        QCOMPARE(f.dialogs->Texts("warn"),
                 QStringList(QString("Die Einstellungen können nicht gespeichert werden. "
                                     "Ordner:\n%1\n(Not a directory)")
                                 .arg(QString::fromStdString(folder))));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
