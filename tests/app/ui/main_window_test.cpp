// The main window's start-up and its own behaviour (tray, quit), driven through the real
// widgets; captions from language.ini on widgets the windows do not show at start. The desktop
// program as a user starts it: the settings folder from --config-dir, the first start writing
// only what the start-up writes, and a picture of the window on request; and two starts on one
// settings folder, in one process: the second hands its paths (and a wish for a screenshot) to
// the first, also when a start that died left its socket file behind; never through a folder
// others may write to, nor to or from another user's process.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QUrl>
#include <functional>

#include "app/ui/single_instance.h"
#include "imagelist/ui/image_list_delegate.h"
#include "imagelist/ui/image_list_panel.h"
#include "imagelist/ui/image_list_view.h"
#include "main_window_fakes.h"
#include "shell/language_table.h"
#include "shell/settings_store.h"
#include "shell/ui/captions.h"
#include "shell/ui/qt_text.h"
#include "shell/ui/qt_translations.h"
#include "shell/ui/settings_warning.h"
#include "shell/window_geometry.h"
#include "upload/ui/hoster_frame.h"

using namespace lumar;
using lumar::ui::SingleInstance;
using test::Click;
using test::Find;

// Stands in for the widget Qt's XEmbed tray icon shows (its class is private to Qt, and this
// test has no X11 notification area); the window knows it by its class name.
class QSystemTrayIconSys : public QWidget {
    Q_OBJECT
};

namespace {

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

sockaddr_un SocketAddress(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = path.toUtf8();
    std::copy(name.begin(), name.end(), address.sun_path);
    return address;
}

// What a crashed start leaves: a bound socket file that no one listens on.
void LeaveDeadSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = SocketAddress(path);
    QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

// Runs `work` in a child process as the user "nobody"; gives its exit code.
int AsNobody(const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child == 0) _exit(::setgid(65534) == 0 && ::setuid(65534) == 0 ? work() : 99);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    static QString Program() { return QCoreApplication::applicationDirPath() + "/../bin/lumar"; }

  private slots:
    // Every caption of the four frames in German, trailing blanks of the defaults removed, and the
    // version.
    void FirstStartWithoutAnyFileGivesEveryDefault() {
        test::WindowFixture f;
        auto w = f.Start();
        for (const char* section : {"Frame0", "Frame1", "Frame2", "Frame3"})
            for (const LanguageEntry& e : LanguageSection(section))
                QCOMPARE(Caption(w.get(), ui::ToQ(e.target)), ui::ToQ(e.defaultText).trimmed());
        QCOMPARE(Caption(w.get(), "lbAppVersion"),
                 QString::fromStdString(AppVersionText(LUMAR_VERSION)));
    }

    // A stored hoster index beyond the list selects the last one; a label shows a translation as
    // typed, not as markup.
    void StoredOptionsHostersAndTranslationsAreRestored() {
        test::WindowFixture f;
        f.dir.write("Lumar.ini", "[Bilder]\r\nAnbieter=12\r\n");
        f.dir.write("language.ini", "[Frame1]\r\n002=<b>Max</b>\r\n");
        auto w = f.Start();
        QCOMPARE(w->HosterFrameWidget()->SelectedRow(), 7);
        QCOMPARE(Find<QLabel>(w.get(), "lbPic_0")->textFormat(), Qt::PlainText);
        QCOMPARE(Caption(w.get(), "lbPic_0"), QString("<b>Max</b>"));
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
        QCOMPARE(w->Hosters().Count(), 8);
        QCOMPARE(w->HosterFrameWidget()->SelectedRow(), 7);
        // Today's row first, then the classic ones under a caption that cannot be chosen.
        auto* choice = Find<QComboBox>(w.get(), "cbHoster");
        QCOMPARE(choice->itemText(3), QString("Klassische Hoster (Lumar 1)"));
        QVERIFY(!(choice->model()->flags(choice->model()->index(3, 0)) & Qt::ItemIsEnabled));
        QCOMPARE(choice->itemData(4).toInt(), 1);
    }

    // A first start chooses a host of today that needs no key (the built-in hosts are gone). In
    // an English session every button has its caption and a row without its key says so.
    void AFirstStartChoosesAPresetOfTodayInTheLocalesLanguage() {
        qputenv("LUMAR_DATA_DIR", LUMAR_SOURCE_DIR "/data");
        qputenv("LANG", "en_US.UTF-8");
        test::WindowFixture f;
        auto w = f.Start();
        QCOMPARE(w->Hosters().Row(w->HosterFrameWidget()->SelectedRow()).Id,
                 std::string("pixhost"));
        auto* choice = Find<QComboBox>(w.get(), "cbHoster");
        QCOMPARE(choice->itemText(0), QString("Hosts of today"));
        QVERIFY(choice->findText("imgbb (key missing)") > 0);
        QCOMPARE(Find<QPushButton>(w.get(), "cmHistory")->text(), QString("History..."));
        qputenv("LANG", "C.UTF-8");
        qunsetenv("LUMAR_DATA_DIR");
    }

    // The list shows a size below 1 kB with its zero and a break row by its meaning; the rows
    // keep what the posting and every command recognise them by.
    void TheListShowsSizesAndBreakRowsAsPeopleReadThem() {
        test::WindowFixture f;
        auto w = f.Start();
        ImageEntry small;
        small.bytes = 300;
        w->List().Append(small);
        small.padded = true;
        w->List().Append(small);
        w->List().Append(MarkerRow(std::string(kBreakRowText)));
        small.text = kBreakRowText;  // a file may be named like the marker
        w->List().Append(small);
        auto* view = Find<ui::ImageListView>(w.get(), "lvBilder");
        view->SyncFromList();
        auto* delegate = qobject_cast<ui::ImageListDelegate*>(view->itemDelegate());
        const auto shown = [&](int row, int column) {
            return delegate->ShownText(view->model()->index(row, column));
        };
        QCOMPARE(shown(0, kColumnKb), QString("0,3"));
        QCOMPARE(shown(1, kColumnKb), QString("    0,3"));  // the padding stays
        QCOMPARE(shown(2, kColumnText), QString::fromUtf8("— Zeilenumbruch —"));
        QCOMPARE(shown(3, kColumnText), QString(kBreakRowText.data()));
    }

    // The hoster list comes before the update check, the stored options after it.
    void AnAcceptedUpdateOfferEndsTheStartUpAtItsStep() {
        test::WindowFixture f;
        f.hooks.updateCheck = [](QWidget*) { return false; };
        ui::MainWindow w(f.NewSession(), f.hooks);
        QVERIFY(!w.Start() && Find<QComboBox>(&w, "cbHoster")->count() == 7);
        QVERIFY(f.dir.read("Lumar.ini").empty());
    }

    void QuittingStoresOnlyTheHosterChoice() {
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

    // What an XEmbed notification area delivers for a right double click: one context
    // activation for the first press, then the double click on the icon's widget only. A
    // single click does nothing.
    void TrayIconRestoresOnADoubleClickOfEitherButtonOnly() {
        test::WindowFixture f;
        f.hooks.trayAvailable = [] { return true; };
        auto w = f.Start();
        w->show();
        Click(w.get(), "imWin_0");
        w->OnTrayActivated(QSystemTrayIcon::Trigger);
        QVERIFY(w->InTray() && !w->isVisible());
        w->OnTrayActivated(QSystemTrayIcon::DoubleClick);
        QVERIFY(w->isVisible() && !w->InTray());
        Click(w.get(), "imWin_0");
        QSystemTrayIconSys icon;
        w->OnTrayActivated(QSystemTrayIcon::Context);
        QTest::mouseDClick(&icon, Qt::LeftButton);  // the left one comes as its own activation
        QVERIFY(!w->isVisible());
        QTest::mouseDClick(&icon, Qt::RightButton);
        QVERIFY(w->isVisible());
    }

    void ASettingsFolderThatCannotBeWrittenIsNamed() {
        test::WindowFixture f;
        auto w = f.Start();
        const std::string folder = f.dir.write("plain", "a file") + "/lumar/";
        QVERIFY(ui::WarnIfSettingsUnwritable(w.get(), *f.dialogs, w->Strings(), folder));
        QCOMPARE(f.dialogs->Texts("warn"),
                 QStringList(QString("Die Einstellungen können nicht gespeichert werden. "
                                     "Ordner:\n%1\n(Not a directory)")
                                 .arg(QString::fromStdString(folder))));
    }

    // Targets the window lacks take nothing; an open dialog of the window has a "Frame_0" of
    // its own, which keeps its caption.
    void CaptionsOfTableHeadersAndMissingControls() {
        test::WindowFixture f;
        auto w = f.Start();
        for (const char* target : {"lvBilder#0", "lvBilder#99", "nothing#1"})
            QVERIFY2(!ui::ApplyCaption(w.get(), target, "x"), target);
        auto* optionsFrame = new QGroupBox(new QDialog(w.get()));
        optionsFrame->setObjectName("Frame_0");
        optionsFrame->setTitle("Wartezeit");
        QVERIFY(ui::ApplyCaption(w.get(), "Frame_0", "-> Bilder"));
        QCOMPARE(optionsFrame->title(), QString("Wartezeit"));
    }

    // The message boxes' Yes button as Qt words it in the installed language.
    void QtsOwnTextsFollowTheInterfaceLanguage() {
        test::TempDir dir;
        const auto yes = [] { return QCoreApplication::translate("QPlatformTheme", "&Yes"); };
        QVERIFY(ui::LoadQtTranslations(dir.file("language.ini")));  // no file: German
        QCOMPARE(yes(), QString("&Ja"));
        ui::LoadQtTranslations(std::string(LUMAR_SOURCE_DIR) + "/data/lang/en.ini");  // "en"
        QCOMPARE(yes(), QString("&Yes"));
    }

    void FirstStartUsesTheGivenSettingsFolder() {
        if (!QFile::exists(Program())) QSKIP("the lumar program is not built");
        test::TempDir dir;
        const QString shot = QString::fromStdString(dir.file("window.png"));
        QProcess lumar;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        lumar.setProcessEnvironment(env);
        lumar.start(Program(), {"--config-dir", QString::fromStdString(dir.path()),
                                "--no-update-check", "--grab-window", shot});
        QVERIFY(lumar.waitForFinished(120000));
        QCOMPARE(lumar.exitStatus(), QProcess::NormalExit);
        QCOMPARE(lumar.exitCode(), 0);
        // The preview switch is restored with its click handler, which writes it back.
        QCOMPARE(QString::fromStdString(dir.read("Lumar.ini")).trimmed(),
                 QString("[Bilder]\r\nPreview=1"));
        QVERIFY(!QImage(shot).isNull());
    }

    void TheSecondStartHandsItsPathsToTheFirst() {
        test::TempDir dir;
        const QString folder = QString::fromStdString(dir.path());
        SingleInstance first(folder, folder);
        LeaveDeadSocket(first.SocketPath());
        QCOMPARE(first.ClaimOrHandOver({}), SingleInstance::Claim::kFirst);
        QSignalSpy arrived(&first, &SingleInstance::PathsArrived);
        QSignalSpy screenshot(&first, &SingleInstance::ScreenshotRequested);

        // The same folder, spelt another way.
        SingleInstance second(folder + "/.", folder);
        const QStringList paths{"/pics/Grüße 1.jpg", "/pics/folder"};
        QCOMPARE(second.ClaimOrHandOver(paths, "desktop-token-1", true),
                 SingleInstance::Claim::kHandedOver);
        QTRY_COMPARE(screenshot.count(), 1);  // `lumar --screenshot`, after the paths
        QCOMPARE(arrived.count(), 1);
        QCOMPARE(arrived.at(0).at(0).toStringList(), paths);
        QCOMPARE(arrived.at(0).at(1).toString(), "desktop-token-1");
    }

    // Without XDG_RUNTIME_DIR the socket goes to the settings folder only when no one else
    // may write there; else every start runs alone.
    void TheSocketFolderIsOneOnlyTheUserMayWriteTo() {
        test::TempDir dir;
        const QString mine = QString::fromStdString(dir.path());
        const QString shared = QString::fromStdString(dir.file("shared"));
        ::mkdir(QFile::encodeName(shared).constData(), 0);
        ::chmod(QFile::encodeName(shared).constData(), 0777);
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", shared.toUtf8());
        QCOMPARE(SingleInstance::SocketFolderFor(mine), mine);
        QCOMPARE(SingleInstance::SocketFolderFor(shared), QString());
        qputenv("XDG_RUNTIME_DIR", mine.toUtf8());
        QCOMPARE(SingleInstance::SocketFolderFor(shared), mine);
        qputenv("XDG_RUNTIME_DIR", saved);
        QCOMPARE(SingleInstance(shared, "").ClaimOrHandOver({}), SingleInstance::Claim::kAlone);
    }

    // A socket another user listens on gets no paths, and a start of another user cannot
    // hand any over.
    void AnotherUsersProcessNeitherGetsNorGivesPaths() {
        if (::geteuid() != 0) QSKIP("needs root to act as another user");
        test::TempDir dir;
        const QString folder = QString::fromStdString(dir.path());
        SingleInstance first(folder, folder);
        const sockaddr_un address = SocketAddress(first.SocketPath());
        const auto* target = reinterpret_cast<const sockaddr*>(&address);

        const int squatter = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QCOMPARE(::bind(squatter, target, sizeof address), 0);
        QCOMPARE(AsNobody([&] { return ::listen(squatter, 4); }), 0);
        QCOMPARE(first.ClaimOrHandOver({"/home/me/private.jpg"}), SingleInstance::Claim::kAlone);
        ::close(squatter);

        QCOMPARE(first.ClaimOrHandOver({}), SingleInstance::Claim::kFirst);
        QSignalSpy arrived(&first, &SingleInstance::PathsArrived);
        ::chmod(QFile::encodeName(folder).constData(), 0711);
        ::chmod(address.sun_path, 0777);
        const int intruder = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QCOMPARE(AsNobody([&] { return ::connect(intruder, target, sizeof address); }), 0);
        QCOMPARE(::send(intruder, "/etc/shadow\n\n", 13, 0), 13);
        QCOMPARE(SingleInstance(folder, folder).ClaimOrHandOver({"/pics/mine.jpg"}),
                 SingleInstance::Claim::kHandedOver);
        QTRY_COMPARE(arrived.count(), 1);
        QCOMPARE(arrived.at(0).at(0).toStringList(), QStringList{"/pics/mine.jpg"});
        ::close(intruder);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
