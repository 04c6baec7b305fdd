// The image list panel on its own: its six commands, the list's keys, the header, drops and
// the preview reach the list, and the panel shows the result. Where rows go is the list's.
#include "imagelist/ui/image_list_panel.h"

#include <unistd.h>

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include "imagelist/ui/image_list_view.h"
#include "imagelist/ui/preview.h"
#include "shell/multi_file_name.h"
#include "shell/settings_store.h"
#include "shell/ui/desktop_services.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"
#include "support/ui/fake_dialogs.h"

using namespace lumar;
using namespace lumar::ui;

class ImageListPanelTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempDir> dir_;
    ImageList list_;
    TextBlocks blocks_;
    UiStrings strings_;
    std::shared_ptr<test::FakeDialogs> dialogs_;
    std::unique_ptr<ImageListPanel> panel_;
    QString summary_, problems_;                                 // what the status bar would show
    TextBlockPlacement placement_ = TextBlockPlacement::Before;  // where the editor puts a block
    std::vector<TextBlockEditMode> edits_;

    QPushButton* Button(int i) {
        return panel_->findChild<QPushButton*>(QStringLiteral("cmBilder_%1").arg(i));
    }
    void Click(int button) { QTest::mouseClick(Button(button), Qt::LeftButton); }
    ImageListView* View() { return panel_->listView(); }
    PreviewBox* Preview() { return panel_->preview(); }
    int Shown() { return panel_->PreviewRowIndex(); }
    int ListButtonsOn() {  // of the four that need rows
        int on = 0;
        for (int i = 2; i < 6; ++i) on += Button(i)->isEnabled();
        return on;
    }
    QStringList Texts() {
        QStringList out;
        for (const ImageEntry& r : list_.Rows()) out << QString::fromStdString(r.text);
        return out;
    }
    void ClickRow(int position, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        const QRect cell = View()->visualRect(View()->model()->index(position - 1, 1));
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, mods, cell.center());
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(View(), static_cast<Qt::Key>(key), mods);
    }
    std::string File(const std::string& name) { return dir_->file(name); }
    void Drop(const QStringList& names) {
        QStringList paths;
        for (const QString& name : names) {
            paths << QString::fromStdString(File("pics/" + name.toStdString()));
            test::WriteJpeg(paths.back().toStdString(), 64, 48);
        }
        panel_->AddDroppedPaths(paths);
    }

  private slots:
    void init() {
        dir_ = std::make_unique<test::TempDir>();
        list_.Clear();
        blocks_ = TextBlocks{};
        strings_ = LoadUiStrings(File("language.ini"), "VBCode einfügen");
        dialogs_ = std::make_shared<test::FakeDialogs>();
        edits_.clear();
        placement_ = TextBlockPlacement::Before;
        ImageListPanelEnv env;
        env.list = &list_;
        env.blocks = &blocks_;
        env.strings = &strings_;
        env.settingsFile = File("Lumar.ini");
        env.decimalSeparator = ',';
        env.dialogs = dialogs_;
        env.browseFolder = [this](QWidget*) { AddImageFolder(list_, File("tree"), true); };
        // The editor stand-in stores a new block as "Übernehmen" does.
        env.editTextBlock = [this](QWidget*, TextBlockEditMode mode, int, TextBlockPlacement* at) {
            edits_.push_back(mode);
            if (mode == TextBlockEditMode::New) blocks_.Add("block");
            *at = placement_;
            return true;
        };
        panel_ = std::make_unique<ImageListPanel>(std::move(env));
        connect(panel_.get(), &ImageListPanel::summaryChanged, [this](auto t) { summary_ = t; });
        connect(panel_.get(), &ImageListPanel::scanProblemsFound,
                [this](auto t) { problems_ = t; });
        panel_->RestorePreviewSetting();
        panel_->resize(630, 300);
        panel_->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel_.get()));
    }
    void cleanup() {
        panel_.reset();
        SetDesktopOpener({});
        SetOpenWithChooser({});
    }

    // Clearing asks with No preset (Enter keeps the list) and switches sorting off; the text
    // blocks outlive the list, so a new one does not take an old one's number.
    void commandsReachTheListAndThePanelFollows() {
        Drop({"b.jpg", "a.jpg"});
        QVERIFY(Shown() == 1 && ListButtonsOn() == 4 && summary_.startsWith("Bilder: 2 - "));
        QHeaderView* header = View()->horizontalHeader();
        const QPoint first(header->sectionViewportPosition(0) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
        QCOMPARE(Texts(), (QStringList{"a.jpg", "b.jpg"}));
        ClickRow(1);
        Click(5);
        QCOMPARE(Texts()[0], QString("*UMBRUCH*"));
        QVERIFY(Preview()->IsEmpty() && !header->isSortIndicatorShown());
        ClickRow(2);
        Click(3);
        ClickRow(2);
        Click(4);
        QCOMPARE(Texts(), (QStringList{"*UMBRUCH*", "*VBCode_1*", "b.jpg"}));
        QCOMPARE(Button(4)->text(), QString("VBCode ändern"));
        Click(4);
        QCOMPARE(edits_.back(), TextBlockEditMode::Change);
        ClickRow(3);
        QCOMPARE(Button(4)->text(), QString("VBCode einfügen"));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
        QVERIFY(header->isSortIndicatorShown());
        dialogs_->answers = {false, true};
        Click(2);
        QVERIFY(dialogs_->shown.back().preset == Dialogs::Button::No && list_.Count() == 3);
        Click(2);
        QVERIFY(View()->model()->rowCount() == 0 && !list_.Sort().on);
        QVERIFY(!header->isSortIndicatorShown() && Preview()->IsEmpty() && ListButtonsOn() == 0);
        QCOMPARE(summary_, QString("Bilder: 0 - Uploadgrösse: 0,00 MB"));
        Drop({"a.jpg"});
        View()->selectAll();
        Key(Qt::Key_Delete);
        QVERIFY(list_.Empty());
        Drop({"a.jpg"});
        placement_ = TextBlockPlacement::After;
        Click(4);
        QCOMPARE(Texts(), (QStringList{"a.jpg", "*VBCode_2*"}));
    }

    // A cancelled choice adds no rows and leaves the remembered folder alone.
    void addCommandsRefreshThePanelAndRememberTheFolder() {
        test::WriteJpeg(File("tree/a.jpg"), 30, 20);
        Click(1);
        QVERIFY(Shown() == 1 && ListButtonsOn() == 4 && summary_.startsWith("Bilder: 1 -"));
        for (const char* name : {"b.jpg", "c.jpg"})
            test::WriteJpeg(File(std::string("pics/") + name), 10, 10);
        dialogs_->file =
            QString::fromStdString(BuildMultiFileName(File("pics"), {"b.jpg", "c.jpg"}));
        Click(0);
        QCOMPARE(Texts(), (QStringList{"a.jpg", "b.jpg", "c.jpg"}));
        QCOMPARE(ReadValue(File("Lumar.ini"), "Verzeichnis", "LastAddDir", ""), File("pics"));
        WriteValue(File("Lumar.ini"), "Verzeichnis", "LastAddDir", "/elsewhere");
        dialogs_->file.clear();
        Click(0);
        QCOMPARE(list_.Count(), 3);
        QCOMPARE(ReadValue(File("Lumar.ini"), "Verzeichnis", "LastAddDir", ""), "/elsewhere");
    }

    // Thousands of files may be chosen or dropped at once. The panel keeps handling events
    // while they are read; meanwhile the list commands wait and a further drop is taken after
    // the files in hand, and the summary at the end counts every row.
    void largeAddsKeepThePanelAliveWithoutInterference() {
        const int count = 30;
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) {
            names.push_back("p" + std::to_string(i) + ".jpg");
            test::WriteJpeg(File("many/" + names.back()), 16, 12);
        }
        test::WriteJpeg(File("late/z.jpg"), 16, 12);
        dialogs_->file = QString::fromStdString(BuildMultiFileName(File("many"), names));
        std::vector<int> countsSeen;
        bool interfered = false;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] {
            countsSeen.push_back(list_.Count());
            if (countsSeen.size() != 3 || interfered) return;
            interfered = true;
            dialogs_->answers.push_back(true);
            panel_->Command(2);  // would ask and clear
            panel_->Command(3);
            panel_->AddDroppedPaths({QString::fromStdString(File("late"))});
        });
        tick.start(0);
        Click(0);
        QVERIFY(std::any_of(countsSeen.begin(), countsSeen.end(),
                            [&](int n) { return n > 0 && n < count; }));
        QCOMPARE(list_.Row(count + 1).text, std::string("z.jpg"));
        QCOMPARE(dialogs_->shown.size(), size_t(1));  // the file dialog
        QVERIFY(summary_.startsWith("Bilder: 31 - "));
        countsSeen.clear();  // a dropped folder is read with the panel alive as well
        panel_->AddDroppedPaths({QString::fromStdString(File("many"))});
        QVERIFY(countsSeen.size() >= size_t(count));
        QVERIFY(summary_.startsWith("Bilder: 61 - "));
    }

    // Only the arrow keys drive the preview; Home and End move the current row alone.
    void previewFollowsClicksAndKeys() {
        Drop({"a.jpg", "b.jpg"});
        panel_->Command(5);  // break before row 1
        ClickRow(2);
        // key, modifiers, then the current row and the row the preview shows
        const int steps[][4] = {{Qt::Key_Down, 0, 3, 3},
                                {Qt::Key_Down, 0, 3, 3},
                                {Qt::Key_Up, 0, 2, 2},
                                {Qt::Key_Up, 0, 1, -1},
                                {Qt::Key_End, Qt::ControlModifier, 3, -1},
                                {Qt::Key_Home, 0, 1, -1}};
        for (const auto& [key, mods, current, shown] : steps) {
            Key(key, Qt::KeyboardModifiers(mods));
            QCOMPARE(QPair(list_.CurrentRow(), Shown()), QPair(current, shown));
            QCOMPARE(list_.SelectedRows(), std::vector<int>{current});
        }
    }

    // A file gone after adding is named once; odd names, even no UTF-8, are previewed. A
    // double click opens the file, with the chooser where the desktop has no program for it,
    // and does nothing on a marker row.
    void previewDrawsOddNamesAndOpensOnlyFiles() {
        Drop({"two\nlines.jpg", "gone.jpg"});
        const std::string latin1 = File("latin/caf\xE9.jpg");
        test::WriteJpeg(latin1, 64, 48);
        panel_->AddDroppedPaths({QString::fromStdString(File("latin"))});
        QCOMPARE(list_.Row(3).FullPath(), latin1);
        const std::string gone = list_.Row(2).FullPath();
        ::unlink(gone.c_str());
        for (int row : {1, 3, 2, 2}) {
            ClickRow(row);
            QCOMPARE(Preview()->IsEmpty(), row == 2);
        }
        QCOMPARE(dialogs_->Texts("warn"),
                 QStringList(QString("Die Datei %1 ist kein gültiges Bild !")
                                 .arg(QString::fromStdString(gone))));
        QStringList opened, chosen;
        bool desktopHasAProgram = false;
        SetDesktopOpener(
            [&](const QUrl& url) { return opened << url.toLocalFile(), desktopHasAProgram; });
        SetOpenWithChooser([&](const QString& p) { chosen << p; });
        ClickRow(1);
        QTest::mouseDClick(Preview(), Qt::LeftButton);
        desktopHasAProgram = true;
        QTest::mouseDClick(Preview(), Qt::LeftButton);
        const QString path = QString::fromStdString(list_.Row(1).FullPath());
        QVERIFY(opened == QStringList({path, path}) && chosen == QStringList{path});
        panel_->Command(5);
        QTest::mouseDClick(Preview(), Qt::LeftButton);
        QCOMPARE(opened.size(), 2);
    }

    // A real drop is answered at once and its files read afterwards, so the program they came
    // from is not kept waiting; a file too deep to open later is named.
    void droppedFoldersAreReadAfterTheDropIsAnswered() {
        test::WriteJpeg(File("drop/a.jpg"), 640, 480);
        const std::string deep = test::WriteTooDeepJpeg(File("drop/deep"));
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(File("drop")))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(View()->viewport(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(View()->viewport(), &drop);
        QVERIFY(enter.isAccepted() && drop.isAccepted());
        QCOMPARE(list_.Count(), 0);
        QTRY_COMPARE(View()->model()->rowCount(), 1);
        QCOMPARE(problems_,
                 QString::fromUtf8("Pfad zu lang zum Öffnen: ") + QString::fromStdString(deep));
        QVERIFY(View()->model()->setData(View()->model()->index(0, 0), Qt::Unchecked,
                                         Qt::CheckStateRole));
        QVERIFY(!list_.Row(1).checked);
    }

    void tenThousandRowsNeedNoWidgetPerRow() {
        const qsizetype widgetsBefore = panel_->findChildren<QWidget*>().size();
        list_.AppendRows(std::vector<ImageEntry>(10000));
        panel_->EnableListButtons();
        View()->scrollToBottom();
        QCOMPARE(View()->model()->rowCount(), 10000);
        QCOMPARE(panel_->findChildren<QWidget*>().size(), widgetsBefore);
    }
};

QTEST_MAIN(ImageListPanelTest)
#include "image_list_panel_test.moc"
