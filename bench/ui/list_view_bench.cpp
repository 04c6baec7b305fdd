// How the main window's image list copes with large lists: a folder's rows arriving at once,
// rows arriving one by one while events are pumped (many chosen or dropped files), a header
// sort, scrolling to the end, selecting everything and removing it. Prints wall-clock
// figures; run through list_view_bench.sh.
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "imagelist/ui/image_list_panel.h"
#include "imagelist/ui/image_list_view.h"
#include "shell/language_table.h"

namespace {

lumar::ImageEntry Row(int i) {
    lumar::ImageEntry row;
    row.text = "img" + std::to_string((i * 7919) % 100000) + ".jpg";
    row.folder = "/pictures/holiday/";
    row.width = " 640";
    row.height = " 480";
    row.kB = " 123.4";
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    lumar::ImageList list;
    lumar::TextBlocks blocks;
    lumar::UiStrings strings = lumar::LoadUiStrings("/nonexistent/language.ini", "VBCode einfügen");
    lumar::ui::ImageListPanelEnv env;
    env.list = &list;
    env.blocks = &blocks;
    env.strings = &strings;
    env.settingsFile = "/nonexistent/Lumar.ini";
    lumar::ui::ImageListPanel panel(env);
    panel.resize(620, 320);
    panel.show();
    QApplication::processEvents();
    lumar::ui::ImageListView* view = panel.listView();

    QElapsedTimer clock;
    clock.start();
    std::vector<lumar::ImageEntry> batch;
    for (int i = 0; i < rows; ++i) batch.push_back(Row(i));
    list.AppendRows(std::move(batch));  // as a folder scan hands its rows over
    panel.EnableListButtons();
    QApplication::processEvents();
    const double folderMs = clock.nsecsElapsed() / 1e6;

    clock.restart();
    view->scrollToBottom();
    view->viewport()->repaint();
    const double scrollMs = clock.nsecsElapsed() / 1e6;

    // A second, fresh list, so nothing is left over from the first.
    lumar::ImageList fileList;
    lumar::ui::ImageListPanelEnv fileEnv = env;
    fileEnv.list = &fileList;
    lumar::ui::ImageListPanel filePanel(fileEnv);
    filePanel.resize(620, 320);
    filePanel.show();
    QApplication::processEvents();
    clock.restart();
    for (int i = 0; i < rows; ++i) {
        fileList.Append(Row(i));
        QApplication::processEvents();  // pumped after every file, as adding files does
    }
    filePanel.EnableListButtons();
    QApplication::processEvents();
    const double appendMs = clock.nsecsElapsed() / 1e6;

    clock.restart();
    list.SortByColumn(0);
    view->SyncFromList();
    QApplication::processEvents();
    const double sortMs = clock.nsecsElapsed() / 1e6;

    clock.restart();
    view->selectAll();
    QApplication::processEvents();
    const double selectMs = clock.nsecsElapsed() / 1e6;

    clock.restart();
    panel.Command(3);
    QApplication::processEvents();
    const double removeMs = clock.nsecsElapsed() / 1e6;

    std::printf("rows %d\n", rows);
    std::printf("  folder's rows at once, view refreshed:       %8.1f ms\n", folderMs);
    std::printf("  scroll to the last row and repaint:          %8.1f ms\n", scrollMs);
    std::printf("  append one by one, events pumped after each: %8.1f ms (%.1f us/row)\n", appendMs,
                appendMs * 1000 / rows);
    std::printf("  header sort by name:                         %8.1f ms\n", sortMs);
    std::printf("  select all:                                  %8.1f ms\n", selectMs);
    std::printf("  remove selected:                             %8.1f ms (left %d)\n", removeMs,
                list.Count());
    return 0;
}
