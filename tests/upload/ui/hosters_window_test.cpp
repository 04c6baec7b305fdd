// frmHosters driven through its controls against real hosters.d folders and a local server.
#include "upload/ui/hosters_window.h"

#include <sys/stat.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "shell/settings_store.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/ui/fake_dialogs.h"
#include "support/ui/find_widget.h"

using namespace lumar;
using namespace lumar::ui;
using test::Find;

namespace {

// An imgbb-shaped definition: the key goes in the query, the links come back as JSON.
std::string Definition(const std::string& url, const std::string& key = "") {
    return R"({"DestinationType":"ImageUploader","RequestURL":")" + url +
           R"(","Parameters":{"key":")" + key + R"("},"FileFormName":"image",
"URL":"{json:data.url}","ThumbnailURL":"{json:data.thumb.url}"})";
}

// imgbb's answer as its API documentation shows it, shortened.
test::TestAnswer ImgbbAnswer(const std::string&) {
    return {
        "HTTP/1.1 200 OK\r\nContent-Length: 148\r\n\r\n"
        R"({"data":{"url":"https://i.ibb.co/w04Prt6/c1f64245afb2.gif","thumb":{"url":)"
        R"("https://i.ibb.co/2ndCYJK/c1f64245afb2.gif"}},"success":true,"status":200})"};
}

struct Fixture {
    test::TempDir dir;
    test::FakeDialogs dialogs;
    UiStrings strings = LoadUiStrings("", "");
    std::unique_ptr<HostersWindow> window;

    QTreeWidget* Open(std::string sample = {}) {
        dir.write("data/hosters.d/imgbb.sxcu", Definition("https://api.imgbb.com/1/upload"));
        HostersWindowEnv env;
        env.settingsFolder = dir.path();
        env.dataFolder = dir.file("data");
        env.sampleImage = std::move(sample);
        env.settingsFile = dir.file("Lumar.ini");
        env.chosenId = "imgbb";
        window = std::make_unique<HostersWindow>(std::move(env), strings, dialogs);
        window->show();
        return Find<QTreeWidget>(window.get(), "lvHosters");
    }
    int Mode(const std::string& id) const {
        struct stat st {};
        const bool found = ::stat(dir.file("hosters.d/" + id + ".sxcu").c_str(), &st) == 0;
        return found ? st.st_mode & 0777 : -1;
    }
};
}  // namespace

class HostersWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void ImportsDeletesAndKeysDefinitions() {
        Fixture f;
        QTreeWidget* list = f.Open();
        QCOMPARE(list->topLevelItemCount(), 8);  // seven built-in rows and the preset
        f.dialogs.file = QString::fromStdString(
            f.dir.write("in/my host.sxcu", Definition("https://x.test/u", "k")));
        test::Click(f.window.get(), "cmImport");
        QCOMPARE(list->topLevelItemCount(), 9);
        f.dialogs.answers = {true};
        test::Click(f.window.get(), "cmDelete");
        QCOMPARE(list->topLevelItemCount(), 8);
        // A preset given its key becomes an own definition of the same ID; the key can be
        // changed and taken out again, and every step says so. Only the settings folder's one
        // lock file is left, none beside the definition or an export.
        list->setCurrentItem(list->findItems("imgbb", Qt::MatchExactly, 1).value(0));
        auto* key = Find<QLineEdit>(f.window.get(), "txKey");
        auto* state = Find<QLabel>(f.window.get(), "lbKeyState");
        for (const char* typed : {"secret", "changed"}) {
            key->setText(typed);
            test::Click(f.window.get(), "cmSaveKey");
            QCOMPARE(f.Mode("imgbb"), 0600);
            QVERIFY(f.dir.read("hosters.d/imgbb.sxcu").find(typed) != std::string::npos);
            QCOMPARE(state->text(), QString::fromUtf8("Schlüssel für imgbb gespeichert."));
            QCOMPARE(key->text(), QString(typed));
        }
        f.dialogs.file = QString::fromStdString(f.dir.file("export.sxcu"));
        test::Click(f.window.get(), "cmExport");
        test::Click(f.window.get(), "cmRemoveKey");
        QVERIFY(f.dir.read("hosters.d/imgbb.sxcu").find("changed") == std::string::npos);
        QCOMPARE(state->text(), QString::fromUtf8("Schlüssel für imgbb entfernt."));
        QVERIFY(key->text().isEmpty() &&
                !Find<QWidget>(f.window.get(), "cmRemoveKey")->isEnabled());
        QCOMPARE(QDir(f.dir.file("hosters.d").c_str()).entryList(QDir::Files, QDir::Name),
                 QStringList{"imgbb.sxcu"});
        QCOMPARE(QDir(f.dir.path().c_str()).entryList(QDir::Files, QDir::Name),
                 (QStringList{"Lumar.lock", "export.sxcu"}));
    }

    // Fields are captioned in words with the definition's name as tool tip; a key after a
    // scheme is asked for alone, and a pasted whole header value does not double the scheme.
    void CaptionsAndTheKeyFieldSayWhatToType() {
        Fixture f;
        f.dir.write(
            "data/hosters.d/imgur.sxcu",
            R"({"DestinationType":"ImageUploader","RequestURL":"https://api.imgur.com/3/image",)"
            R"("FileFormName":"image",)"
            R"("Headers":{"Authorization":"Client-ID "},"URL":"{json:data.link}"})");
        QTreeWidget* list = f.Open();
        auto* address = Find<QLabel>(f.window.get(), "lbRequestURL");
        QCOMPARE(address->text() + "|" + address->toolTip(), QString("Adresse|RequestURL"));
        QCOMPARE(Find<QLabel>(f.window.get(), "lbURL")->text(), QString("Antwort: Bild"));
        list->setCurrentItem(list->findItems("imgur", Qt::MatchExactly, 1).value(0));
        auto* key = Find<QLineEdit>(f.window.get(), "txKey");
        QCOMPARE(key->placeholderText(),
                 QString::fromUtf8("Nur den Schlüssel eingeben, Lumar setzt „Client-ID“ davor"));
        key->setText("Client-ID 4f2a");
        QTest::keyClick(key, Qt::Key_Return);
        QVERIFY(f.dir.read("hosters.d/imgur.sxcu").find("\"Client-ID 4f2a\"") != std::string::npos);

        // The fallback is one of today's rows, never the one the main window has chosen.
        auto* fallback = Find<QComboBox>(f.window.get(), "cbFallback");
        auto* said = Find<QLabel>(f.window.get(), "lbFallbackState");
        QCOMPARE(fallback->findData(QString("Hoster1")), -1);
        for (const auto& [id, text] :
             {std::pair{"imgbb", "Kein Ersatz: api.imgbb.com ist der gewählte Hoster selbst"},
              std::pair{"imgur", "Ersatz: api.imgur.com (imgur)"}}) {
            const int index = fallback->findData(QString(id));
            fallback->setCurrentIndex(index);
            emit fallback->activated(index);
            QCOMPARE(said->text(), QString::fromUtf8(text));
        }
        QCOMPARE(ReadValue(f.dir.file("Lumar.ini"), "Bilder", "Ersatz", ""), std::string("imgur"));
    }

    void TestButtonShowsTheCode() {
        test::TestHttpServer server(ImgbbAnswer);
        Fixture f;
        f.dir.write("hosters.d/local.sxcu", Definition(server.Url("/1/upload"), "k"));
        QTreeWidget* list = f.Open();
        list->setCurrentItem(list->topLevelItem(7));
        test::Click(f.window.get(), "cmTest");
        // The probe runs on the window's loop; the button is back once it is over.
        QTRY_VERIFY_WITH_TIMEOUT(Find<QPushButton>(f.window.get(), "cmTest")->isEnabled(), 30000);
        if (const QByteArray dir = qgetenv("LUMAR_SCREENSHOT_DIR"); !dir.isEmpty())
            f.window->grab().save(QString::fromLocal8Bit(dir) + "/hosters-window.png");
        const QString shown = Find<QPlainTextEdit>(f.window.get(), "txResult")->toPlainText();
        QVERIFY(shown.contains("200 OK") && shown.contains("[IMG]https://i.ibb.co/2ndCYJK/"));
    }
};

QTEST_MAIN(HostersWindowTest)
#include "hosters_window_test.moc"
