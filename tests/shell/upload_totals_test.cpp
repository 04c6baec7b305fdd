#include "shell/upload_totals.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

// Two programs counting uploads and setting keys in one Lumar.ini at the same time lose
// nothing, and Files and Size stay in step.
TEST(UploadTotals, TwoProcessesCountingAtOnceLoseNothing) {
    test::TempDir dir;
    const std::string file = dir.file("Lumar.ini");
    constexpr int kEach = 100;
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        if (writers[w] == 0) {
            bool ok = true;
            for (int i = 0; i < kEach; ++i) {
                ok = AddUploadToTotals(file, {}, 1000).problem.empty() && ok;
                ok = WriteValue(file, "Keys", "w" + std::to_string(w) + "_" + std::to_string(i),
                                "1") &&
                     ok;
            }
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t writer : writers) {
        int status = -1;
        waitpid(writer, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(ReadValue(file, "Stat", "Files", ""), "200");
    EXPECT_EQ(ReadValue(file, "Stat", "Size", ""), "200000");
    const std::string text = dir.read("Lumar.ini");  // every key written once, none lost
    EXPECT_EQ(std::count(text.begin(), text.end(), '_'), 2 * kEach);
}

// The shown totals are what was written, including counts of another program; when the file
// cannot be written they still grow with every image, from what was shown.
TEST(UploadTotals, ShownTotalsAreWhatWasWrittenOrGrowInMemory) {
    test::TempDir dir;
    const std::string file = dir.write("Lumar.ini", "[Stat]\r\nFiles=7\r\nSize=700\r\n");
    TotalsUpdate update = AddUploadToTotals(file, {1, 100}, 50);
    EXPECT_EQ(update.problem, "");
    EXPECT_EQ(update.totals.files, 8);
    EXPECT_EQ(update.totals.bytes, 750);
    EXPECT_EQ(dir.read("Lumar.ini"), "[Stat]\r\nFiles=8\r\nSize=750\r\n");

    dir.write("plain", "a file where the settings folder should be");
    const std::string unwritable = dir.file("plain/Lumar.ini");
    update = AddUploadToTotals(unwritable, update.totals, 50);
    update = AddUploadToTotals(unwritable, update.totals, 50);
    EXPECT_NE(update.problem, "");
    EXPECT_EQ(update.totals.files, 10);
    EXPECT_EQ(update.totals.bytes, 850);
}

}  // namespace
}  // namespace lumar
