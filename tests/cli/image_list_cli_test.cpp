// lumar-cli jpeg-info and list, run as a script would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "support/jpeg_maker.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

struct CliRun {
    int status = -1;
    std::string out;
};

CliRun RunCli(const std::string& arguments) {
    CliRun run;
    const std::string command = std::string(LUMAR_CLI_PATH) + " " + arguments + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) run.out.append(buffer, n);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

TEST(CliJpegInfo, OneLinePerFileInArgumentOrder) {
    test::TempDir dir;
    const std::size_t size = test::WriteJpeg(dir.file("a b.jpg"), 640, 480);
    const std::string png = dir.write("x.jpg", "\x89PNG....");
    const CliRun run = RunCli("jpeg-info " + Quoted(dir.file("a b.jpg")) + " " + Quoted(png) + " " + Quoted(dir.file("missing")));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "1\t640\t480\t" + std::to_string(size) + "\t" + dir.file("a b.jpg") + "\n" + "0\t0\t0\t8\t" + png +
                           "\n" + "0\t0\t0\t0\t" + dir.file("missing") + "\n");
    EXPECT_EQ(RunCli("jpeg-info").status, 2);
}

TEST(CliList, PathsAreAddedAsADrop) {
    test::TempDir dir;
    std::string single = test::MakeJpeg(800, 600);
    single.resize(512, '\0');
    dir.write("single.dat", single);  // a single file is judged by content only
    test::WriteJpeg(dir.file("f/a.jpg"), 1024, 768);
    test::WriteJpeg(dir.file("f/sub/b.JPEG"), 64, 48);
    dir.write("f/c.dat", single);  // the scan also wants an extension

    const CliRun run = RunCli("list " + Quoted(dir.file("single.dat")) + " " + Quoted(dir.file("f")));
    ASSERT_EQ(run.status, 0);
    const std::string folder = dir.file("f") + "/";
    // The kB column of the folder rows is right-aligned to six characters.
    const auto lines = [&] {
        std::vector<std::string> out;
        std::size_t start = 0;
        while (start < run.out.size()) {
            const std::size_t end = run.out.find('\n', start);
            out.push_back(run.out.substr(start, end - start));
            start = end + 1;
        }
        return out;
    }();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "single.dat\t" + dir.path() + "/\t800\t600\t.5");
    EXPECT_EQ(lines[1].substr(0, lines[1].rfind('\t')), "a.jpg\t" + folder + "\t1024\t 768");
    EXPECT_EQ(lines[1].size() - lines[1].rfind('\t') - 1, 6u);
    EXPECT_EQ(lines[2].substr(0, lines[2].rfind('\t')), "b.JPEG\t" + folder + "sub/\t  64\t  48");
    EXPECT_EQ(RunCli("list").status, 2);
}

}  // namespace
}  // namespace lumar
