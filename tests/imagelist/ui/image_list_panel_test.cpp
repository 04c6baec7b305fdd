// The image list panel on its own: its commands, the list's keys, drops and the preview reach
// the list, and the panel shows the result. Where rows go is the list's.
#include "imagelist/ui/image_list_panel.h"

#include <unistd.h>

#include <QAction>
#include <QClipboard>
#include <QDropEvent>
#include <QHeaderView>
#include <QMenu>
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
#include "shell/ui/qt_text.h"
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
    QString summary_, problems_;                                  // what the status bar would show
    TextBlockPlacement placement_ = TextBlockPlacement::kBefore;  // where the editor puts a block

    void Click(int button) {
        QTest::mouseClick(
            panel_->findChild<QPushButton*>(QStringLiteral("cmBilder_%1").arg(button)),
            Qt::LeftButton);
    }
    ImageListView* View() { return panel_->ListView(); }
    void ClickRow(int position) {
        const QRect cell = View()->visualRect(View()->model()->index(position - 1, 1));
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, cell.center());
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
        placement_ = TextBlockPlacement::kBefore;
        ImageListPanelEnv env{&list_,   &blocks_, &strings_, File("Lumar.ini"), ',',
                              dialogs_, {},       {},        File("captures/")};
        // The editor stand-in stores a new block as "Übernehmen" does.
        env.editTextBlock = [this](QWidget*, TextBlockEditMode mode, int, TextBlockPlacement* at) {
            if (mode == TextBlockEditMode::kNew) blocks_.Add("block");
            *at = placement_;
            return true;
        };
        panel_ = std::make_unique<ImageListPanel>(std::move(env));
        connect(panel_.get(), &ImageListPanel::SummaryChanged, [this](auto t) { summary_ = t; });
        connect(panel_.get(), &ImageListPanel::ScanProblemsFound,
                [this](auto t) { problems_ = t; });
        connect(panel_.get(), &ImageListPanel::StatusMessage, [this](auto t) { problems_ = t; });
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

    // A marker row and a clear switch sorting off with its arrow; clearing asks with No preset
    // (Enter keeps the list); the text blocks outlive the list, so a new one does not take an
    // old one's number.
    void CommandsReachTheListAndTheSortArrowFollows() {
        Drop({"b.jpg", "a.jpg"});
        QHeaderView* header = View()->horizontalHeader();
        const QPoint first(header->sectionViewportPosition(0) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
        for (int command : {5, 4}) {  // a break, then a text block before row 1
            ClickRow(1);
            Click(command);
        }
        QVERIFY(!header->isSortIndicatorShown());
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
        dialogs_->answers = {false, true};
        Click(2);
        QVERIFY(dialogs_->shown.back().preset == Dialogs::Button::kNo && list_.Count() == 4 &&
                header->isSortIndicatorShown());
        Click(2);
        QVERIFY(list_.Empty() && !list_.Sort().on && !header->isSortIndicatorShown());
        Drop({"a.jpg"});
        ClickRow(1);
        placement_ = TextBlockPlacement::kAfter;
        Click(4);
        QVERIFY(list_.Count() == 2 && list_.Row(2).text == "*VBCode_2*");
    }

    // Thousands of files may be chosen or dropped at once. The panel keeps handling events
    // while they are read; meanwhile the list commands wait and a further drop is taken after
    // the files in hand, and the summary at the end counts every row.
    void LargeAddsKeepThePanelAliveWithoutInterference() {
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
        QCOMPARE(ReadValue(File("Lumar.ini"), "Verzeichnis", "LastAddDir", ""), File("many"));
    }

    // Only the arrow keys drive the preview; End selects the row it moves to.
    void PreviewFollowsClicksAndKeys() {
        Drop({"a.jpg", "b.jpg"});
        panel_->Command(5);  // break before row 1
        ClickRow(2);
        // key, modifiers, then the current row and the row the preview shows
        const int steps[][4] = {{Qt::Key_Down, 0, 3, 3},
                                {Qt::Key_Up, 0, 2, 2},
                                {Qt::Key_Up, 0, 1, -1},
                                {Qt::Key_End, Qt::ControlModifier, 3, -1}};
        for (const auto& [key, mods, current, shown] : steps) {
            QTest::keyClick(View(), static_cast<Qt::Key>(key), Qt::KeyboardModifiers(mods));
            QCOMPARE(QPair(list_.CurrentRow(), panel_->PreviewRowIndex()), QPair(current, shown));
            QCOMPARE(list_.SelectedRows(), std::vector<int>{current});
        }
    }

    // A file gone after adding is named once; odd names, even no UTF-8, are previewed. A
    // double click opens the file, with the chooser where the desktop has no program for it,
    // and does nothing on a marker row.
    void PreviewDrawsOddNamesAndOpensOnlyFiles() {
        Drop({"two\nlines.jpg", "gone.jpg"});
        const std::string latin1 = File("latin/caf\xE9.jpg");
        test::WriteJpeg(latin1, 64, 48);
        panel_->AddDroppedPaths({QString::fromStdString(File("latin"))});
        const std::string gone = list_.Row(2).FullPath();
        ::unlink(gone.c_str());
        for (int row : {1, 3, 2, 2}) {
            ClickRow(row);
            QCOMPARE(panel_->Preview()->IsEmpty(), row == 2);
        }
        QCOMPARE(dialogs_->Texts("warn"),
                 QStringList(QString("Die Datei %1 ist kein gültiges Bild !")
                                 .arg(QString::fromStdString(gone))));
        QStringList chosen;
        SetDesktopOpener([](const QUrl&) { return false; });
        SetOpenWithChooser([&](const QString& p) { chosen << p; });
        ClickRow(1);
        QTest::mouseDClick(panel_->Preview(), Qt::LeftButton);
        panel_->Command(5);
        QTest::mouseDClick(panel_->Preview(), Qt::LeftButton);
        QCOMPARE(chosen, QStringList{QString::fromStdString(list_.Row(2).FullPath())});
    }

    // Rows move by hand with Alt+arrow, by a drop of the list's own drag and from the context
    // menu, which also offers the buttons' commands under their present captions and the
    // entries a window adds; the preview follows the current row. A drag from elsewhere moves
    // nothing.
    void RowsMoveByKeysDragAndContextMenu() {
        Drop({"a", "b", "c", "d"});
        const auto texts = [this] {
            QString out;
            for (const ImageEntry& row : list_.Rows()) out += QString::fromStdString(row.text);
            return out;
        };
        ClickRow(1);
        QTest::keyClick(View(), Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(texts(), QString("bacd"));
        QCOMPARE(QPair(list_.CurrentRow(), panel_->PreviewRowIndex()), QPair(2, 2));
        const auto dropAt = [this](std::unique_ptr<QMimeData> mime, int row) {
            const QPoint at = View()->visualRect(View()->model()->index(row - 1, 0)).bottomLeft();
            QDragEnterEvent enter(at, Qt::MoveAction, mime.get(), Qt::LeftButton, {});
            QCoreApplication::sendEvent(View()->viewport(), &enter);
            QDropEvent drop(at, Qt::MoveAction, mime.get(), Qt::LeftButton, {});
            QCoreApplication::sendEvent(View()->viewport(), &drop);
        };
        list_.SetSelected(4, true);  // a and d
        View()->ShowListSelection();
        dropAt(std::unique_ptr<QMimeData>(View()->RowDragData()), 2);  // lower half: before 3
        QCOMPARE(texts(), QString("badc"));
        auto foreign = std::make_unique<QMimeData>();
        foreign->setData("application/x-lumar-list-rows", "another window");
        dropAt(std::move(foreign), 4);
        QCOMPARE(texts(), QString("badc"));

        QAction extra("Einfügen");
        panel_->AddContextEntry(&extra);
        auto* menu = panel_->findChild<QMenu*>("mnBilder");
        const auto entry = [&](const char* name) {
            emit View()->customContextMenuRequested(QPoint(5, 5));
            menu->hide();
            return menu->findChild<QAction*>(name);
        };
        entry("mnMoveUp")->trigger();
        QCOMPARE(texts(), QString("adbc"));
        QVERIFY(!entry("mnMoveUp")->isEnabled() && menu->actions().last() == &extra);
        QCOMPARE(entry("mnRemove")->text(), QString::fromUtf8("Bild(er) entfernen"));
        ClickRow(3);
        entry("mnBreak")->trigger();
        QCOMPARE(list_.Row(3).text, std::string(kBreakRowText));
        entry("mnRemove")->trigger();
        QVERIFY(texts() == "adbc" && !list_.Sort().on);
    }

    // Ctrl+V (or the menu) takes copied files as a drop would, and picture data as a new file
    // of the captures folder: an accepted type byte for byte, any other picture as PNG.
    void PastingTakesCopiedFilesAndPictureData() {
        test::WriteJpeg(File("copied/a.jpg"), 64, 48);
        test::WriteJpeg(File("folder/b.jpg"), 64, 48);
        const std::string jpeg = test::MakeJpeg(20, 10), png = test::MakePngHead(4, 4);
        QImage drawn(6, 5, QImage::Format_RGB32);
        drawn.fill(Qt::red);
        const QList<QUrl> files{QUrl::fromLocalFile(ToQ(File("copied/a.jpg"))),
                                QUrl::fromLocalFile(ToQ(File("folder")))};
        const struct {
            const char* format;  // "urls", "image" (decoded picture data) or a MIME type
            QByteArray data;
            int rowsAdded;
            const char* status;  // and the stored file's name ends in its type
        } cases[] = {{"urls", {}, 2, ""},
                     {"image/jpeg", QByteArray::fromStdString(jpeg), 1, ".jpg"},
                     {"image/png", QByteArray::fromStdString(png), 1, ".png"},
                     {"image", {}, 1, ".png"},
                     {"text/plain", "hello", 0, "weder Bilder noch Dateien"}};
        for (const auto& c : cases) {
            auto* mime = new QMimeData;
            if (c.format == QString("urls"))
                mime->setUrls(files);
            else if (c.format == QString("image"))
                mime->setImageData(drawn);
            else
                mime->setData(c.format, c.data);
            QGuiApplication::clipboard()->setMimeData(mime);
            problems_.clear();
            const int before = list_.Count();
            if (c.rowsAdded == 1)
                QTest::keyClick(View(), Qt::Key_V, Qt::ControlModifier);
            else
                View()->findChild<QAction*>("actPaste")->trigger();
            QCOMPARE(list_.Count() - before, c.rowsAdded);
            QVERIFY2(*c.status ? problems_.endsWith(c.status) : problems_.isEmpty(), c.format);
            if (c.rowsAdded != 1) continue;
            const ImageEntry& row = list_.Row(list_.Count());
            QCOMPARE(row.folder, File("captures/"));
            QVERIFY(problems_ == "Eingefügt: " + ToQ(row.text) && row.text.starts_with("Bild 20"));
            if (!c.data.isEmpty())
                QCOMPARE(dir_->read("captures/" + row.text), c.data.toStdString());
            else
                QCOMPARE(QImage(ToQ(row.FullPath())).size(), drawn.size());
        }
    }

    // A real drop is answered at once and its files read afterwards, so the program they came
    // from is not kept waiting; a file too deep to open later is named.
    void DroppedFoldersAreReadAfterTheDropIsAnswered() {
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
    }
};

QTEST_MAIN(ImageListPanelTest)
#include "image_list_panel_test.moc"
