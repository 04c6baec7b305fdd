// How long the history window takes to open on a large history: the entries are recorded
// into a fresh history file, then the window is built, shown and painted once, offscreen.
// Prints the milliseconds of the opening and of a search over all entries.
//   QT_QPA_PLATFORM=offscreen history_open [ENTRIES]      (default: 100000)
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/history_store.h"
#include "history/ui/history_model.h"
#include "history/ui/history_window.h"
#include "shell/language_table.h"
#include "support/temp_dir.h"
#include "support/ui/fake_dialogs.h"

namespace {

// Of this thread: the figure that does not depend on the machine's load.
double ThreadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    lumar::test::TempDir dir;
    const std::string file = lumar::HistoryFile(dir.path());
    {
        QElapsedTimer clock;
        clock.start();
        lumar::HistoryStore store;
        store.Open(file);
        for (int i = 0; i < count; ++i) {
            lumar::HistoryEntry entry;
            entry.uploadedAt = 1700000000 + i * 60;
            entry.hosterId = "imgbb";
            entry.hosterName = i % 3 ? "imgbb" : "catbox";
            entry.filePath = "/home/user/pictures/holiday/img" + std::to_string(i) + ".jpg";
            entry.fileBytes = 200000;
            entry.originalSha256 = entry.sentSha256 = lumar::Sha256Hex(entry.filePath);
            entry.code = "[URL=https://ibb.co/x" + std::to_string(i) +
                         "][IMG]https://i.ibb.co/x/img.jpg[/IMG][/URL]";
            entry.url = "https://ibb.co/x" + std::to_string(i);
            if (!store.Record(entry)) {
                std::fprintf(stderr, "cannot record: %s\n", store.LastError().c_str());
                return 1;
            }
        }
        std::printf("  recorded %d entries in %.0f ms\n", count,
                    static_cast<double>(clock.elapsed()));
    }
    const lumar::UiStrings strings = lumar::LoadUiStrings("/nonexistent/language.ini", "");
    lumar::test::FakeDialogs dialogs;
    lumar::ui::HistoryWindowEnv env;
    env.historyFile = file;

    QElapsedTimer clock;
    clock.start();
    double cpu = ThreadCpuMs();
    {
        lumar::HistoryStore store;
        store.Open(file);
        const size_t listed = store.List({}).size();
        std::printf("  the store lists %zu entries in %.1f ms (cpu %.1f)\n", listed,
                    static_cast<double>(clock.nsecsElapsed()) / 1e6, ThreadCpuMs() - cpu);
    }
    clock.restart();
    cpu = ThreadCpuMs();
    lumar::ui::HistoryWindow window(env, strings, dialogs);
    window.show();
    QApplication::processEvents();  // the first paint belongs to the opening
    const double openMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("  history window open on %d entries: %.1f ms (cpu %.1f, %d rows shown)\n", count,
                openMs, ThreadCpuMs() - cpu, window.Model()->rowCount());

    clock.restart();
    while (window.Loading()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QApplication::processEvents();
    std::printf("  every entry in the list %.1f ms later (%d rows)\n",
                static_cast<double>(clock.nsecsElapsed()) / 1e6, window.Model()->rowCount());

    clock.restart();
    window.findChild<QLineEdit*>("txSearch")->setText("img4242");
    QApplication::processEvents();
    std::printf("  search by file name: %.1f ms (%d rows)\n",
                static_cast<double>(clock.nsecsElapsed()) / 1e6, window.Model()->rowCount());
    clock.restart();
    window.findChild<QLineEdit*>("txSearch")->setText("2023-11-20");
    QApplication::processEvents();
    std::printf("  search by date: %.1f ms (%d rows)\n",
                static_cast<double>(clock.nsecsElapsed()) / 1e6, window.Model()->rowCount());
    return 0;
}
