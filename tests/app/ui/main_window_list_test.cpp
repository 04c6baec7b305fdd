// The image list of the main window: its six commands, marker rows, the preview and the
// list's keys, dropping and sorting, driven through the real widgets.
#include <QCheckBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "imagelist/add_images.h"
#include "shell/multi_file_name.h"
#include "imagelist/ui/image_list_panel.h"
#include "imagelist/ui/image_list_view.h"
#include "imagelist/ui/preview.h"
#include "imagelist/preview_geometry.h"
#include "main_window_fakes.h"
#include "app/ui/main_dialogs.h"
#include "shell/settings_store.h"
#include "support/jpeg_maker.h"

using namespace lumar;

namespace {

// The editor stand-in: stores a block like "Übernehmen" does and reports the placement.
struct ScriptedEditor {
    TextBlockPlacement placement = TextBlockPlacement::Before;
    bool takeOver = true;
    std::vector<std::pair<TextBlockEditMode, int>> calls;
    TextBlocks* blocks = nullptr;

    ui::EditTextBlockFn Fn() {
        return [this](QWidget*, TextBlockEditMode mode, int index, TextBlockPlacement* where) {
            calls.emplace_back(mode, index);
            if (!takeOver) return false;
            if (mode == TextBlockEditMode::New) blocks->Add("block");
            *where = placement;
            return true;
        };
    }
};

}  // namespace

class MainWindowListTest : public QObject {
    Q_OBJECT
private:
    test::WindowFixture* f_ = nullptr;
    std::unique_ptr<ui::MainWindow> w_;
    ScriptedEditor editor_;

    QPushButton* Button(int i) { return w_->findChild<QPushButton*>(QStringLiteral("cmBilder_%1").arg(i)); }
    ui::ImageListView* View() { return w_->listPanel()->listView(); }
    ui::PreviewBox* Preview() { return w_->listPanel()->preview(); }
    ImageList& List() { return w_->List(); }

    // Adds JPEG files named <name>.jpg by dropping them, in order.
    void Drop(const QStringList& names, int width = 64, int height = 48) {
        QStringList paths;
        for (const QString& n : names) {
            const std::string p = f_->dir.file("pics/" + n.toStdString() + ".jpg");
            test::WriteJpeg(p, width, height);
            paths << QString::fromStdString(p);
        }
        w_->listPanel()->AddDroppedPaths(paths);
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
        f_->hooks.editTextBlock = editor_.Fn();
        w_ = f_->Start();
        editor_ = ScriptedEditor{};
        editor_.blocks = &w_->Blocks();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    }
    void cleanup() {
        w_.reset();
        delete f_;
        f_ = nullptr;
    }

    void addingShowsTheFirstImageAndEnablesTheButtons() {
        Drop({"a", "b"});
        QCOMPARE(Texts(), (QStringList{"a.jpg", "b.jpg"}));
        QCOMPARE(List().CurrentRow(), 1);
        QCOMPARE(w_->listPanel()->PreviewRowIndex(), 1);
        QVERIFY(!Preview()->IsEmpty());
        for (int i = 2; i < 6; ++i) QVERIFY(Button(i)->isEnabled());
        QVERIFY(w_->StatusPanelText(2).startsWith("Bilder: 2 - Uploadgrösse: 0,00 MB"));
        // A file that is no JPEG is skipped without a word.
        w_->listPanel()->AddDroppedPaths({QString::fromStdString(f_->dir.write("x.jpg", "\x89PNG"))});
        QCOMPARE(List().Count(), 2);
        QVERIFY(f_->messages->shown.empty());
    }

    void commandZeroAddsTheChosenFilesAndRemembersTheirFolder() {
        const std::string a = f_->dir.file("pics/a.jpg"), b = f_->dir.file("pics/b.jpg");
        test::WriteJpeg(a, 10, 10);
        test::WriteJpeg(b, 10, 10);
        std::string answer = BuildMultiFileName(f_->dir.file("pics"), {"a.jpg", "b.jpg"});
        std::string askedTitle;
        // Rebuild the window with a chooser hook that answers the dialog.
        w_.reset();
        f_->hooks.chooseImageFiles = [&](QWidget*, const std::string&, const QString& title) {
            askedTitle = title.toStdString();
            return answer;
        };
        w_ = f_->Start();
        QTest::mouseClick(Button(0), Qt::LeftButton);
        QCOMPARE(Texts(), (QStringList{"a.jpg", "b.jpg"}));
        QCOMPARE(askedTitle, std::string("Bild(er) auswählen..."));
        QCOMPARE(QString::fromStdString(ReadValue(f_->Settings(), "Verzeichnis", "LastAddDir", "")),
                 QString::fromStdString(f_->dir.file("pics")));
        // Cancel: no rows, no setting written.
        WriteValue(f_->Settings(), "Verzeichnis", "LastAddDir", "/elsewhere");
        answer.clear();
        QTest::mouseClick(Button(0), Qt::LeftButton);
        QCOMPARE(List().Count(), 2);
        QCOMPARE(ReadValue(f_->Settings(), "Verzeichnis", "LastAddDir", ""), std::string("/elsewhere"));
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
        w_.reset();
        f_->hooks.chooseImageFiles = [&](QWidget*, const std::string&, const QString&) {
            return BuildMultiFileName(f_->dir.file("many"), names);
        };
        w_ = f_->Start();
        std::vector<int> countsSeen;
        bool interfered = false;
        QTimer tick;
        tick.setInterval(0);
        connect(&tick, &QTimer::timeout, this, [&] {
            countsSeen.push_back(List().Count());
            if (interfered || countsSeen.size() < 3) return;
            interfered = true;
            f_->messages->answers.push_back(true);
            w_->listPanel()->Command(2);  // would ask and clear
            w_->listPanel()->Command(3);
            w_->listPanel()->AddDroppedPaths({QString::fromStdString(f_->dir.file("late"))});
        });
        tick.start();
        QTest::mouseClick(Button(0), Qt::LeftButton);
        QVERIFY(std::any_of(countsSeen.begin(), countsSeen.end(),
                            [&](int n) { return n > 0 && n < count; }));
        QCOMPARE(List().Count(), count + 1);
        QCOMPARE(List().Row(count + 1).text, std::string("z.jpg"));
        QVERIFY(f_->messages->shown.empty());
        QVERIFY(w_->StatusPanelText(2).startsWith("Bilder: 31 - "));

        // A dropped folder: read with the window alive, rows and summary complete afterwards.
        countsSeen.clear();
        w_->listPanel()->AddDroppedPaths({QString::fromStdString(f_->dir.file("many"))});
        tick.stop();
        QVERIFY(countsSeen.size() >= size_t(count));
        QCOMPARE(List().Count(), 2 * count + 1);
        QVERIFY(w_->StatusPanelText(2).startsWith("Bilder: 61 - "));
    }

    void commandOneRefreshesPreviewButtonsAndSummaryAfterTheBrowser() {
        test::WriteJpeg(f_->dir.file("tree/a.jpg"), 30, 20);
        test::WriteJpeg(f_->dir.file("tree/b.jpg"), 30, 20);
        w_.reset();
        f_->hooks.browseFolder = [this](QWidget*) {
            AddImageFolder(w_->List(), f_->dir.file("tree"), true);
        };
        w_ = f_->Start();
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QCOMPARE(Texts(), (QStringList{"a.jpg", "b.jpg"}));
        QCOMPARE(View()->model()->rowCount(), 2);
        QCOMPARE(w_->listPanel()->PreviewRowIndex(), 1);
        for (int i = 2; i < 6; ++i) QVERIFY(Button(i)->isEnabled());
        QVERIFY(w_->StatusPanelText(2).startsWith("Bilder: 2 -"));
    }

    void breakGoesBeforeTheCurrentRowAndBecomesCurrent() {
        Drop({"a", "b"});
        ClickRow(1);
        QTest::mouseClick(Button(5), Qt::LeftButton);
        QCOMPARE(Texts(), (QStringList{"*UMBRUCH*", "a.jpg", "b.jpg"}));
        QCOMPARE(List().CurrentRow(), 1);
        QVERIFY(View()->selectionModel()->isRowSelected(0, {}));
        QCOMPARE(w_->listPanel()->PreviewRowIndex(), -1);
        QVERIFY(Preview()->IsEmpty());
        QVERIFY(List().Row(1).checked);
    }

    void textBlockAfterTheLastRowKeepsTheCurrentRowAndCaption() {
        Drop({"a", "b"});
        ClickRow(2);
        editor_.placement = TextBlockPlacement::After;
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QCOMPARE(Texts(), (QStringList{"a.jpg", "b.jpg", "*VBCode_1*"}));
        QCOMPARE(List().CurrentRow(), 2);
        QCOMPARE(Button(4)->text(), QString("VBCode einfügen"));
    }

    void textBlockBeforeTakesTheCurrentPlaceAndSwitchesToChange() {
        Drop({"a", "b", "c"});
        ClickRow(2);
        editor_.placement = TextBlockPlacement::Before;
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QCOMPARE(Texts(), (QStringList{"a.jpg", "*VBCode_1*", "b.jpg", "c.jpg"}));
        QCOMPARE(List().CurrentRow(), 2);
        QCOMPARE(Button(4)->text(), QString("VBCode ändern"));
        // In change mode the button edits block 1 and checks the row again.
        List().Row(2).checked = false;
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QCOMPARE(editor_.calls.back().first, TextBlockEditMode::Change);
        QCOMPARE(editor_.calls.back().second, 1);
        QCOMPARE(List().Count(), 4);
        QVERIFY(List().Row(2).checked);
        // Clicking an image row brings insert mode back, clicking the block row change mode.
        ClickRow(3);
        QCOMPARE(Button(4)->text(), QString("VBCode einfügen"));
        ClickRow(2);
        QCOMPARE(Button(4)->text(), QString("VBCode ändern"));
    }

    void closingTheEditorWithoutTakingOverChangesNothing() {
        Drop({"a"});
        editor_.takeOver = false;
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QCOMPARE(Texts(), QStringList{"a.jpg"});
        QCOMPARE(Button(4)->text(), QString("VBCode einfügen"));
    }

    void blockNumbersAreNotReusedAfterClearing() {
        Drop({"a"});
        editor_.placement = TextBlockPlacement::After;  // keeps the button in insert mode
        for (int i = 0; i < 3; ++i) QTest::mouseClick(Button(4), Qt::LeftButton);
        QCOMPARE(List().Count(), 4);
        f_->messages->answers = {true};
        QTest::mouseClick(Button(2), Qt::LeftButton);
        QCOMPARE(List().Count(), 0);
        Drop({"b"});
        QTest::mouseClick(Button(4), Qt::LeftButton);
        QVERIFY(Texts().contains("*VBCode_4*"));
    }

    void removingAScatteredSelectionKeepsTheOtherRowsInOrder() {
        Drop({"r1", "r2", "r3", "r4", "r5"});
        ClickRow(2);
        ClickRow(3, Qt::ControlModifier);
        ClickRow(5, Qt::ControlModifier);
        QTest::mouseClick(Button(3), Qt::LeftButton);
        QCOMPARE(Texts(), (QStringList{"r1.jpg", "r4.jpg"}));
        QVERIFY(w_->StatusPanelText(2).startsWith("Bilder: 2 -"));
        QVERIFY(View()->hasFocus());
        // Nothing selected: nothing goes, the summary and buttons still follow.
        View()->clearSelection();
        QTest::mouseClick(Button(3), Qt::LeftButton);
        QCOMPARE(List().Count(), 2);
        // The Delete key runs the same command; with the last rows gone the buttons switch off.
        View()->selectAll();
        Key(Qt::Key_Delete);
        QCOMPARE(List().Count(), 0);
        for (int i = 2; i < 6; ++i) QVERIFY(!Button(i)->isEnabled());
        QCOMPARE(w_->listPanel()->PreviewRowIndex(), -1);
    }

    void clearingAsksFirstAndShowsAnEmptySummary() {
        Drop({"a", "b"});
        f_->messages->answers = {false};
        QTest::mouseClick(Button(2), Qt::LeftButton);
        QCOMPARE(List().Count(), 2);
        QCOMPARE(f_->messages->shown.back().kind, QString("ask"));
        QCOMPARE(f_->messages->shown.back().title, QString("Lumar"));
        QCOMPARE(f_->messages->shown.back().text, QString("Liste löschen ?"));
        f_->messages->answers = {true};
        QTest::mouseClick(Button(2), Qt::LeftButton);
        QCOMPARE(List().Count(), 0);
        QCOMPARE(View()->model()->rowCount(), 0);
        QCOMPARE(w_->StatusPanelText(2), QString("Bilder: 0 - Uploadgrösse: 0,00 MB"));
        QVERIFY(Preview()->IsEmpty());
        QCOMPARE(w_->listPanel()->PreviewRowIndex(), -1);
        for (int i = 2; i < 6; ++i) QVERIFY(!Button(i)->isEnabled());
    }

    void previewPlacementFitsAndCentres() {
        struct Case { int pw, ph; QRect expected; };
        const Case cases[] = {
            {800, 600, QRect(0, 0, 200, 150)},   // same aspect: fills the box
            {600, 900, QRect(50, 0, 100, 150)},  // taller than the box
            {300, 170, QRect(0, 18, 200, 113)},  // 113.3 rounds to 113, (150-113)/2 = 18.5 -> 18
            {100, 50, QRect(50, 50, 100, 50)},   // small: never enlarged, centred
            {400, 100, QRect(0, 50, 200, 50)},   // wide
            {201, 150, QRect(0, 0, 200, 149)},   // one pixel too wide: 149.25 -> 149, y 0
        };
        for (const Case& c : cases) {
            const PictureRect at = FitPictureInto(200, 150, c.pw, c.ph);
            QCOMPARE(QRect(at.x, at.y, at.width, at.height), c.expected);
        }
        // The box draws a real file where the arithmetic says.
        Drop({"tall"}, 600, 900);
        QCOMPARE(Preview()->size(), QSize(200, 150));
        QCOMPARE(Preview()->PictureRect(), QRect(50, 0, 100, 150));
    }

    void previewFollowsClicksAndArrowKeys() {
        Drop({"a", "b"});
        w_->listPanel()->Command(5);  // break before row 1
        ClickRow(2);
        QCOMPARE(w_->listPanel()->PreviewRowIndex(), 2);
        const int loads = Preview()->LoadCount();
        ClickRow(2);  // the row already shown is not loaded again
        QCOMPARE(Preview()->LoadCount(), loads);
        Key(Qt::Key_Down);  // onto row 3: always loaded
        QCOMPARE(List().CurrentRow(), 3);
        QCOMPARE(w_->listPanel()->PreviewRowIndex(), 3);
        QCOMPARE(Preview()->LoadCount(), loads + 1);
        Key(Qt::Key_Down);  // last row: nothing happens
        QCOMPARE(List().CurrentRow(), 3);
        QCOMPARE(Preview()->LoadCount(), loads + 1);
        Key(Qt::Key_Up);
        Key(Qt::Key_Up);  // onto the break row: the preview empties
        QCOMPARE(List().CurrentRow(), 1);
        QCOMPARE(w_->listPanel()->PreviewRowIndex(), -1);
        QVERIFY(Preview()->IsEmpty());
        const int before = Preview()->LoadCount();
        const QString caption = Button(4)->text();
        Key(Qt::Key_Up);  // first row: neither preview nor caption change
        QCOMPARE(Preview()->LoadCount(), before);
        QCOMPARE(Button(4)->text(), caption);
        // Shift + arrow extends the selection without touching the preview.
        Key(Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(Preview()->LoadCount(), before);
        QCOMPARE(List().SelectedRows(), (std::vector<int>{1, 2}));
        // Switching the preview off and on redraws the current row.
        auto* ck = w_->findChild<QCheckBox*>("ckBilder");
        ck->click();
        QCOMPARE(ReadValue(f_->Settings(), "Bilder", "Preview", ""), std::string("0"));
        ClickRow(3);
        QVERIFY(Preview()->IsEmpty());
        ck->click();
        QCOMPARE(w_->listPanel()->PreviewRowIndex(), 3);
        QCOMPARE(ReadValue(f_->Settings(), "Bilder", "Preview", ""), std::string("1"));
    }

    void aFileThatCannotBeDrawnIsReportedOnce() {
        Drop({"a", "gone"});
        std::remove(f_->dir.file("pics/gone.jpg").c_str());
        ClickRow(2);
        QCOMPARE(f_->messages->shown.size(), size_t(1));
        QCOMPARE(f_->messages->shown[0].kind, QString("warn"));
        QCOMPARE(f_->messages->shown[0].title, QString("-| BILDFEHLER |-"));
        QCOMPARE(f_->messages->shown[0].text,
                 QString("Die Datei %1 ist kein gültiges Bild !")
                     .arg(QString::fromStdString(f_->dir.file("pics/gone.jpg"))));
        QVERIFY(Preview()->IsEmpty());
        QCOMPARE(w_->listPanel()->PreviewRowIndex(), 2);
        ClickRow(2);
        QCOMPARE(f_->messages->shown.size(), size_t(1));
    }

    void droppedFoldersAddPaddedRowsInScanOrder() {
        test::WriteJpeg(f_->dir.file("drop/a.jpg"), 640, 480);
        test::WriteJpeg(f_->dir.file("drop/sub/b.jpeg"), 1000, 20);
        f_->dir.write("drop/c.dat", test::MakeJpeg(5, 5));  // judged by extension in a folder
        const std::string deep = test::WriteTooDeepJpeg(f_->dir.file("drop/deep"));
        const QString folder = QString::fromStdString(f_->dir.file("drop"));
        // A real drop onto the list is answered at once; its files are read afterwards, so
        // the program they came from is not kept waiting.
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(folder)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(View()->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(View()->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(List().Count(), 0);
        QTRY_COMPARE(Texts(), (QStringList{"a.jpg", "b.jpeg"}));
        QCOMPARE(w_->StatusPanelText(1), QString::fromUtf8("Pfad zu lang zum Öffnen: ") + QString::fromStdString(deep));
        QCOMPARE(QString::fromStdString(List().Row(1).folder), folder + "/");
        QCOMPARE(QString::fromStdString(List().Row(2).folder), folder + "/sub/");
        QCOMPARE(QString::fromStdString(List().Row(1).width), QString(" 640"));
        QCOMPARE(QString::fromStdString(List().Row(2).width), QString("1000"));
        QCOMPARE(List().Row(1).kB.size(), size_t(6));
        // The view shows what the list holds.
        QCOMPARE(View()->model()->rowCount(), 2);
        QCOMPARE(View()->model()->index(0, 2).data().toString(), QString(" 640"));
        QCOMPARE(View()->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        for (int c = 5; c < 8; ++c) QVERIFY(View()->isColumnHidden(c));
    }

    void headerClicksSortAndABreakSwitchesSortingOff() {
        Drop({"b", "c", "a"});
        auto* header = View()->horizontalHeader();
        const int x0 = header->sectionViewportPosition(0) + 10;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x0, header->height() / 2));
        QCOMPARE(Texts(), (QStringList{"a.jpg", "b.jpg", "c.jpg"}));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x0, header->height() / 2));
        QCOMPARE(Texts(), (QStringList{"c.jpg", "b.jpg", "a.jpg"}));
        ClickRow(2);
        QTest::mouseClick(Button(5), Qt::LeftButton);
        QCOMPARE(Texts(), (QStringList{"c.jpg", "*UMBRUCH*", "b.jpg", "a.jpg"}));
        QVERIFY(!List().Sort().on);
        QVERIFY(!header->isSortIndicatorShown());
        // Clearing the list switches sorting off with its arrow.
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x0, header->height() / 2));
        QVERIFY(header->isSortIndicatorShown());
        f_->messages->answers = {true};
        QTest::mouseClick(Button(2), Qt::LeftButton);
        QVERIFY(!header->isSortIndicatorShown());
        QVERIFY(!List().Sort().on);
    }

    void homeAndEndMoveTheCurrentRow() {
        Drop({"a", "b", "c"});
        ClickRow(2);
        struct Case { int key; Qt::KeyboardModifiers mods; int row; };
        const Case cases[] = {{Qt::Key_End, Qt::NoModifier, 3},
                              {Qt::Key_Home, Qt::NoModifier, 1},
                              {Qt::Key_End, Qt::ControlModifier, 3},
                              {Qt::Key_Home, Qt::ControlModifier, 1}};
        for (const Case& c : cases) {
            Key(c.key, c.mods);
            QCOMPARE(List().CurrentRow(), c.row);
            QCOMPARE(List().SelectedRows(), std::vector<int>{c.row});
        }
        QTest::mouseClick(Button(5), Qt::LeftButton);  // the break goes where the highlight is
        QCOMPARE(Texts(), (QStringList{"*UMBRUCH*", "a.jpg", "b.jpg", "c.jpg"}));
    }

    void checkBoxesEditTheRowsCheckMark() {
        Drop({"a"});
        const QModelIndex index = View()->model()->index(0, 0);
        QVERIFY(View()->model()->setData(index, Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!List().Row(1).checked);
    }

    void tenThousandRowsNeedNoWidgetPerRow() {
        const qsizetype widgetsBefore = w_->findChildren<QWidget*>().size();
        std::vector<ImageEntry> rows(10000);
        for (size_t i = 0; i < rows.size(); ++i) {
            rows[i].text = "img" + std::to_string(i) + ".jpg";
            rows[i].folder = "/x/";
            rows[i].kB = "1,0";
        }
        List().AppendRows(std::move(rows));
        w_->listPanel()->EnableListButtons();
        QCOMPARE(View()->model()->rowCount(), 10000);
        QCOMPARE(w_->findChildren<QWidget*>().size(), widgetsBefore);
        QVERIFY(w_->StatusPanelText(2).startsWith("Bilder: 10000 - Uploadgrösse: 9,77 MB"));
        View()->scrollToBottom();
        QCOMPARE(View()->model()->index(9999, 0).data().toString(), QString("img9999.jpg"));
    }
};

QTEST_MAIN(MainWindowListTest)
#include "main_window_list_test.moc"
