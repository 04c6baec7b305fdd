// The image list of the main window: its six commands, marker rows, the preview and the
// list's keys, dropping and sorting, driven through the real widgets.
#include <unistd.h>

#include <QCheckBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/ui/main_dialogs.h"
#include "imagelist/add_images.h"
#include "imagelist/ui/image_list_panel.h"
#include "imagelist/ui/image_list_view.h"
#include "imagelist/ui/preview.h"
#include "main_window_fakes.h"
#include "shell/multi_file_name.h"
#include "shell/settings_store.h"
#include "support/jpeg_maker.h"

using namespace lumar;

class MainWindowListTest : public QObject {
    Q_OBJECT
  private:
    test::WindowFixture* f_ = nullptr;
    std::unique_ptr<ui::MainWindow> w_;
    TextBlockPlacement placement_ = TextBlockPlacement::Before;  // where the editor puts a block
    std::vector<TextBlockEditMode> edits_;

    QPushButton* Button(int i) {
        return w_->findChild<QPushButton*>(QStringLiteral("cmBilder_%1").arg(i));
    }
    void Click(int button) { QTest::mouseClick(Button(button), Qt::LeftButton); }
    ui::ImageListView* View() { return w_->listPanel()->listView(); }
    ui::PreviewBox* Preview() { return w_->listPanel()->preview(); }
    ImageList& List() { return w_->List(); }
    int Shown() { return w_->listPanel()->PreviewRowIndex(); }
    bool ListButtonsOn() {
        for (int i = 2; i < 6; ++i)
            if (Button(i)->isEnabled() != Button(2)->isEnabled()) qFatal("buttons disagree");
        return Button(2)->isEnabled();
    }

    QStringList Texts() {
        QStringList out;
        for (const ImageEntry& r : List().Rows()) out << QString::fromStdString(r.text);
        return out;
    }
    void ClickRow(int position, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        const QRect cell = View()->visualRect(View()->model()->index(position - 1, 1));
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, mods, cell.center());
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(View(), static_cast<Qt::Key>(key), mods);
    }

  private slots:
    void init() {
        f_ = new test::WindowFixture;
        edits_.clear();
        placement_ = TextBlockPlacement::Before;
        f_->hooks.browseFolder = [this](QWidget*) {
            AddImageFolder(w_->List(), f_->dir.file("tree"), true);
        };
        // The editor stand-in stores a new block as "Übernehmen" does.
        f_->hooks.editTextBlock = [this](QWidget*, TextBlockEditMode mode, int,
                                         TextBlockPlacement* where) {
            edits_.push_back(mode);
            if (mode == TextBlockEditMode::New) w_->Blocks().Add("block");
            *where = placement_;
            return true;
        };
        w_ = f_->Start();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    }
    void cleanup() {
        w_.reset();
        delete f_;
    }

    void commandsReachTheListAndTheWindowFollows() {
        f_->DropJpegs(*w_, {"a.jpg", "b.jpg", "c.jpg"});
        QCOMPARE(Shown(), 1);
        QVERIFY(ListButtonsOn());
        QVERIFY(w_->StatusPanelText(2).startsWith("Bilder: 3 - Uploadgrösse: 0,00 MB"));
        ClickRow(1);
        Click(5);
        QCOMPARE(Texts(), (QStringList{"*UMBRUCH*", "a.jpg", "b.jpg", "c.jpg"}));
        QVERIFY(Preview()->IsEmpty());
        ClickRow(2);
        ClickRow(3, Qt::ControlModifier);
        Click(3);
        QCOMPARE(Texts(), (QStringList{"*UMBRUCH*", "c.jpg"}));
        View()->selectAll();
        Key(Qt::Key_Delete);
        QCOMPARE(List().Count(), 0);
        QVERIFY(!ListButtonsOn());

        f_->DropJpegs(*w_, {"a.jpg"});
        placement_ = TextBlockPlacement::After;
        Click(4);
        f_->dialogs->answers = {false};
        Click(2);
        QCOMPARE(f_->dialogs->shown.back().preset,
                 ui::Dialogs::Button::No);  // Enter keeps the list
        QCOMPARE(List().Count(), 2);
        f_->dialogs->answers = {true};
        Click(2);
        QCOMPARE(View()->model()->rowCount(), 0);
        QCOMPARE(w_->StatusPanelText(2), QString("Bilder: 0 - Uploadgrösse: 0,00 MB"));
        QVERIFY(Preview()->IsEmpty() && !ListButtonsOn());
        // The blocks outlive the list: a new one does not take an old one's number.
        f_->DropJpegs(*w_, {"a.jpg"});
        Click(4);
        QVERIFY(Texts().contains("*VBCode_2*"));
    }

    void addCommandsRefreshTheWindowAndRememberTheFolder() {
        test::WriteJpeg(f_->dir.file("tree/a.jpg"), 30, 20);
        Click(1);
        QCOMPARE(View()->model()->rowCount(), 1);
        QCOMPARE(Shown(), 1);
        QVERIFY(ListButtonsOn());
        QVERIFY(w_->StatusPanelText(2).startsWith("Bilder: 1 -"));
        for (const char* name : {"b.jpg", "c.jpg"})
            test::WriteJpeg(f_->dir.file(std::string("pics/") + name), 10, 10);
        f_->dialogs->file =
            QString::fromStdString(BuildMultiFileName(f_->dir.file("pics"), {"b.jpg", "c.jpg"}));
        Click(0);
        QCOMPARE(Texts(), (QStringList{"a.jpg", "b.jpg", "c.jpg"}));
        QCOMPARE(ReadValue(f_->Settings(), "Verzeichnis", "LastAddDir", ""), f_->dir.file("pics"));
        WriteValue(f_->Settings(), "Verzeichnis", "LastAddDir", "/elsewhere");
        f_->dialogs->file.clear();  // cancelled: no rows, no folder written
        Click(0);
        QCOMPARE(List().Count(), 3);
        QCOMPARE(ReadValue(f_->Settings(), "Verzeichnis", "LastAddDir", ""),
                 std::string("/elsewhere"));
    }

    // Thousands of files may be chosen or dropped at once. The window keeps handling events
    // while they are read; meanwhile the list commands wait and a further drop is taken after
    // the files in hand, and the summary at the end counts every row.
    void largeAddsKeepTheWindowAliveWithoutInterference() {
        const int count = 30;
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) {
            names.push_back("p" + std::to_string(i) + ".jpg");
            test::WriteJpeg(f_->dir.file("many/" + names.back()), 16, 12);
        }
        test::WriteJpeg(f_->dir.file("late/z.jpg"), 16, 12);
        f_->dialogs->file = QString::fromStdString(BuildMultiFileName(f_->dir.file("many"), names));
        std::vector<int> countsSeen;
        bool interfered = false;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] {
            countsSeen.push_back(List().Count());
            if (countsSeen.size() != 3 || interfered) return;
            interfered = true;
            f_->dialogs->answers.push_back(true);
            w_->listPanel()->Command(2);  // would ask and clear
            w_->listPanel()->Command(3);
            w_->listPanel()->AddDroppedPaths({QString::fromStdString(f_->dir.file("late"))});
        });
        tick.start(0);
        Click(0);
        QVERIFY(std::any_of(countsSeen.begin(), countsSeen.end(),
                            [&](int n) { return n > 0 && n < count; }));
        QCOMPARE(List().Row(count + 1).text, std::string("z.jpg"));
        QCOMPARE(f_->dialogs->shown.size(), size_t(1));  // the file dialog
        QVERIFY(w_->StatusPanelText(2).startsWith("Bilder: 31 - "));
        // A dropped folder: read with the window alive, rows and summary complete afterwards.
        countsSeen.clear();
        w_->listPanel()->AddDroppedPaths({QString::fromStdString(f_->dir.file("many"))});
        QVERIFY(countsSeen.size() >= size_t(count));
        QVERIFY(w_->StatusPanelText(2).startsWith("Bilder: 61 - "));
    }

    // The text block button inserts, or changes the block of the current row.
    void textBlockButtonFollowsTheCurrentRow() {
        f_->DropJpegs(*w_, {"a.jpg", "b.jpg"});
        ClickRow(2);
        Click(4);
        QCOMPARE(Texts(), (QStringList{"a.jpg", "*VBCode_1*", "b.jpg"}));
        QCOMPARE(Button(4)->text(), QString("VBCode ändern"));
        List().Row(2).checked = false;
        Click(4);
        QCOMPARE(edits_.back(), TextBlockEditMode::Change);
        QVERIFY(List().Row(2).checked);
        ClickRow(3);
        QCOMPARE(Button(4)->text(), QString("VBCode einfügen"));
        placement_ = TextBlockPlacement::After;
        Click(4);
        QCOMPARE(Texts().last(), QString("*VBCode_2*"));
        QCOMPARE(List().CurrentRow(), 3);
    }

    void previewFollowsClicksAndKeys() {
        f_->DropJpegs(*w_, {"a.jpg", "b.jpg"});
        w_->listPanel()->Command(5);  // break before row 1
        ClickRow(2);
        const int loads = Preview()->LoadCount();
        ClickRow(2);  // the row already shown is not loaded again
        QCOMPARE(Preview()->LoadCount(), loads);
        struct Step {
            int key;
            Qt::KeyboardModifiers mods;
            int current, shown;
        };
        // Only the arrow keys drive the preview; Home and End move the current row alone.
        const Step steps[] = {{Qt::Key_Down, {}, 3, 3},
                              {Qt::Key_Down, {}, 3, 3},
                              {Qt::Key_Up, {}, 2, 2},
                              {Qt::Key_Up, {}, 1, -1},
                              {Qt::Key_End, Qt::ControlModifier, 3, -1},
                              {Qt::Key_Home, {}, 1, -1}};
        for (const Step& s : steps) {
            Key(s.key, s.mods);
            QCOMPARE(QPair(List().CurrentRow(), Shown()), QPair(s.current, s.shown));
            QCOMPARE(List().SelectedRows(), std::vector<int>{s.current});
        }
        Key(Qt::Key_Down, Qt::ShiftModifier);  // extends the selection, the preview stays
        QCOMPARE(List().SelectedRows(), (std::vector<int>{1, 2}));
        QCOMPARE(Shown(), -1);
        // Switching the preview off and on redraws the current row.
        auto* ck = w_->findChild<QCheckBox*>("ckBilder");
        ck->click();
        ClickRow(3);
        QVERIFY(Preview()->IsEmpty());
        ck->click();
        QCOMPARE(Shown(), 3);
        QCOMPARE(ReadValue(f_->Settings(), "Bilder", "Preview", ""), std::string("1"));
    }

    // A file gone after adding is named once; odd names, even no UTF-8, are previewed.
    void previewNamesAFileItCannotDrawOnce() {
        f_->DropJpegs(*w_, {"two\nlines.jpg", "gone.jpg"});
        const std::string latin1 = f_->dir.file("latin/caf\xE9.jpg");
        test::WriteJpeg(latin1, 64, 48);
        w_->listPanel()->AddDroppedPaths({QString::fromStdString(f_->dir.file("latin"))});
        QCOMPARE(List().Row(3).FullPath(), latin1);
        const std::string gone = List().Row(2).FullPath();
        ::unlink(gone.c_str());
        for (int row : {1, 3, 2, 2}) {
            ClickRow(row);
            QCOMPARE(Preview()->IsEmpty(), row == 2);
        }
        QCOMPARE(f_->dialogs->Texts("warn"),
                 QStringList(QString("Die Datei %1 ist kein gültiges Bild !")
                                 .arg(QString::fromStdString(gone))));
    }

    void droppedFoldersAreReadAfterTheDropIsAnswered() {
        test::WriteJpeg(f_->dir.file("drop/a.jpg"), 640, 480);
        const std::string deep = test::WriteTooDeepJpeg(f_->dir.file("drop/deep"));
        // A real drop onto the list is answered at once; its files are read afterwards, so
        // the program they came from is not kept waiting.
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(f_->dir.file("drop")))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(View()->viewport(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(View()->viewport(), &drop);
        QVERIFY(enter.isAccepted() && drop.isAccepted());
        QCOMPARE(List().Count(), 0);
        QTRY_COMPARE(View()->model()->rowCount(), 1);
        QCOMPARE(w_->StatusPanelText(1),
                 QString::fromUtf8("Pfad zu lang zum Öffnen: ") + QString::fromStdString(deep));
        QVERIFY(View()->model()->setData(View()->model()->index(0, 0), Qt::Unchecked,
                                         Qt::CheckStateRole));
        QVERIFY(!List().Row(1).checked);
    }

    void headerClicksSortAndABreakOrClearingSwitchesSortingOff() {
        f_->DropJpegs(*w_, {"b.jpg", "c.jpg", "a.jpg"});
        auto* header = View()->horizontalHeader();
        const QPoint first(header->sectionViewportPosition(0) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
        QCOMPARE(Texts(), (QStringList{"a.jpg", "b.jpg", "c.jpg"}));
        Click(5);
        QVERIFY(!header->isSortIndicatorShown());
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
        QVERIFY(header->isSortIndicatorShown());
        f_->dialogs->answers = {true};
        Click(2);
        QVERIFY(!header->isSortIndicatorShown() && !List().Sort().on);
    }

    void tenThousandRowsNeedNoWidgetPerRow() {
        const qsizetype widgetsBefore = w_->findChildren<QWidget*>().size();
        std::vector<ImageEntry> rows(10000);
        for (ImageEntry& row : rows) row.bytes = 1024;
        List().AppendRows(std::move(rows));
        w_->listPanel()->EnableListButtons();
        View()->scrollToBottom();
        QCOMPARE(View()->model()->rowCount(), 10000);
        QCOMPARE(w_->findChildren<QWidget*>().size(), widgetsBefore);
        QVERIFY(w_->StatusPanelText(2).startsWith("Bilder: 10000 - Uploadgrösse: 9,77 MB"));
    }
};

QTEST_MAIN(MainWindowListTest)
#include "main_window_list_test.moc"
