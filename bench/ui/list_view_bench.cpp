// How the main window's image list copes with large lists, through the panel's own paths and
// with real JPEG files on disk: adding a folder (the folder browser's scan with the window's
// event pump), dropping the folder, choosing every file at once in the file dialog (added one
// at a time), a header sort, moving through the list with the preview on, selecting everything
// and removing it. For each it prints the wall-clock time and the longest stretch in which the
// event loop did not turn ("blocked window"), measured by a zero-interval timer that fires on
// every turn. Run through list_view_bench.sh.
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "imagelist/add_images.h"
#include "imagelist/ui/image_list_panel.h"
#include "imagelist/ui/image_list_view.h"
#include "imagelist/ui/preview.h"
#include "shell/language_table.h"
#include "shell/multi_file_name.h"
#include "shell/ui/dialogs.h"

namespace {

constexpr int kDistinctImages = 8;
constexpr int kImageWidth = 1600;
constexpr int kImageHeight = 1200;

// The longest time between two turns of the event loop while `work` runs, including the
// stretch from the last turn to the end of the work.
struct Watched {
    double totalMs = 0;
    double cpuMs = 0;  // of this thread: the figure that does not depend on the machine's load
    double longestBlockMs = 0;
    long turns = 0;
};

double ThreadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

Watched Watch(const std::function<void()>& work) {
    Watched result;
    QElapsedTimer clock;
    QTimer ticker;
    ticker.setInterval(0);
    qint64 last = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        result.longestBlockMs =
            std::max(result.longestBlockMs, static_cast<double>(now - last) / 1e6);
        last = now;
        ++result.turns;
    });
    const double cpuBefore = ThreadCpuMs();
    clock.start();
    ticker.start();
    work();
    QApplication::processEvents();  // the repaint that shows the result belongs to the work
    const qint64 end = clock.nsecsElapsed();
    ticker.stop();
    result.longestBlockMs = std::max(result.longestBlockMs, static_cast<double>(end - last) / 1e6);
    result.totalMs = static_cast<double>(end) / 1e6;
    result.cpuMs = ThreadCpuMs() - cpuBefore;
    return result;
}

void Print(const char* what, const Watched& w) {
    std::printf("  %-44s %8.1f ms (cpu %7.1f), longest block %7.1f ms (%ld loop turns)\n", what,
                w.totalMs, w.cpuMs, w.longestBlockMs, w.turns);
}

// A folder of `count` JPEG files: a few distinct photos-sized pictures, hard-linked under
// every name so the folder costs little disk.
std::vector<std::string> MakeImageFolder(const std::string& folder, int count) {
    std::vector<std::string> originals;
    for (int k = 0; k < kDistinctImages; ++k) {
        QImage image(kImageWidth, kImageHeight, QImage::Format_RGB32);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, kImageWidth, kImageHeight);
        gradient.setColorAt(0, QColor::fromHsv(k * 40, 200, 230));
        gradient.setColorAt(1, QColor::fromHsv((k * 40 + 120) % 360, 160, 60));
        painter.fillRect(image.rect(), gradient);
        painter.setPen(Qt::white);
        painter.setFont(QFont("Sans", 120));
        painter.drawText(image.rect(), Qt::AlignCenter, QString::number(k));
        painter.end();
        const std::string path = folder + "/original" + std::to_string(k) + ".bin";
        image.save(QString::fromStdString(path), "JPG", 85);
        originals.push_back(path);
    }
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "img%05d.jpg", (i * 7919) % 100000);
        names.push_back(name);
        const std::string path = folder + "/" + name;
        if (::link(originals[i % kDistinctImages].c_str(), path.c_str()) != 0) {
            std::perror(path.c_str());
            std::exit(1);
        }
    }
    return names;
}

// The file dialog of command 0 answers at once with every file of the folder.
class AnswerAllFiles : public lumar::ui::Dialogs {
  public:
    explicit AnswerAllFiles(std::string answer) : answer_(std::move(answer)) {}
    bool Ask(QWidget*, const QString&, const QString&, Button) override { return true; }
    void Inform(QWidget*, const QString&, const QString&) override {}
    void Warn(QWidget*, const QString&, const QString&) override {}
    QString ChooseOpenFile(QWidget*, const lumar::ui::FileQuestion&) override {
        return QString::fromStdString(answer_);
    }
    QString ChooseSaveFile(QWidget*, const lumar::ui::FileQuestion&) override { return {}; }

  private:
    std::string answer_;
};

struct Window {
    lumar::ImageList list;
    lumar::TextBlocks blocks;
    lumar::UiStrings strings = lumar::LoadUiStrings("/nonexistent/language.ini", "VBCode einfügen");
    std::unique_ptr<lumar::ui::ImageListPanel> panel;

    explicit Window(std::function<void(QWidget*)> browseFolder = {}, std::string chosenFiles = {}) {
        lumar::ui::ImageListPanelEnv env;
        env.list = &list;
        env.blocks = &blocks;
        env.strings = &strings;
        env.settingsFile = "/nonexistent/Lumar.ini";
        env.browseFolder = std::move(browseFolder);
        env.dialogs = std::make_shared<AnswerAllFiles>(std::move(chosenFiles));
        panel = std::make_unique<lumar::ui::ImageListPanel>(env);
        panel->resize(620, 320);
        panel->show();
        QApplication::processEvents();
    }
    lumar::ui::ImageListView* View() const { return panel->ListView(); }
};

void PressKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    char folderTemplate[] = "/tmp/lumar-list-bench-XXXXXX";
    const std::string folder = ::mkdtemp(folderTemplate);
    const std::vector<std::string> names = MakeImageFolder(folder, rows);
    std::printf("rows %d (JPEG files %d x %d)\n", rows, kImageWidth, kImageHeight);

    // Command 1 as the folder browser runs it after OK: the scan pumps the window's events.
    Window byFolder([&](QWidget*) {
        lumar::AddOptions options;
        options.pump = [] { QCoreApplication::processEvents(); };
        lumar::AddImageFolder(byFolder.list, folder, false, options);
    });
    Print("add folder (command 1):", Watch([&] { byFolder.panel->Command(1); }));

    Window byDrop;
    Print("drop the folder onto the list:",
          Watch([&] { byDrop.panel->AddDroppedPaths({QString::fromStdString(folder)}); }));
    byDrop.panel.reset();

    Window byFiles({}, lumar::BuildMultiFileName(folder, names));
    Print("choose all files (command 0, one at a time):",
          Watch([&] { byFiles.panel->Command(0); }));
    byFiles.panel.reset();

    Window& w = byFolder;
    Print("scroll to the last row:", Watch([&] { w.View()->scrollToBottom(); }));
    Print("header click, sort by name:",
          Watch([&] { emit w.View()->horizontalHeader()->sectionClicked(0); }));

    // The preview on, then the down arrow from the first row: each step draws the next file.
    w.list.SelectOnly(1);
    w.View()->ShowListSelection();
    w.panel->findChild<QCheckBox*>("ckBilder")->click();
    w.View()->setFocus();
    const int steps = std::min(200, rows - 1);
    const int loadsBefore = w.panel->Preview()->LoadCount();
    double longestStep = 0;
    const Watched arrows = Watch([&] {
        for (int i = 0; i < steps; ++i) {
            QElapsedTimer step;
            step.start();
            PressKey(w.View(), Qt::Key_Down);
            QApplication::processEvents();
            longestStep = std::max(longestStep, static_cast<double>(step.nsecsElapsed()) / 1e6);
        }
    });
    std::printf("  %-44s %8.1f ms per step, longest step %5.1f ms (%d steps, %d pictures drawn)\n",
                "arrow down with the preview on:", arrows.totalMs / steps, longestStep, steps,
                w.panel->Preview()->LoadCount() - loadsBefore);

    Print("select all:", Watch([&] { w.View()->selectAll(); }));
    Print("remove selected (command 3):", Watch([&] { w.panel->Command(3); }));
    std::printf("  rows left %d\n", w.list.Count());

    // The core list alone, rows appended one by one with the events pumped after each.
    Window appendWindow;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rows; ++i) {
        lumar::ImageEntry row;
        row.text = names[i];
        row.folder = folder + "/";
        row.width = 1600;
        row.height = 1200;
        row.bytes = 126362;
        appendWindow.list.Append(std::move(row));
        QApplication::processEvents();
    }
    appendWindow.panel->EnableListButtons();
    QApplication::processEvents();
    std::printf("  %-44s %8.1f ms (%.1f us/row)\n",
                "Append() one by one, events pumped after each:",
                static_cast<double>(clock.nsecsElapsed()) / 1e6,
                static_cast<double>(clock.nsecsElapsed()) / 1e3 / rows);

    const std::string remove = "rm -rf '" + folder + "'";
    return std::system(remove.c_str()) == 0 ? 0 : 1;
}
