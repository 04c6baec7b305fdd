// lumar-cli jpeg-info and list, run as a script would.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/cli_runner.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

using test::CliRun;

CliRun RunCli(const std::string& arguments) {
    return test::RunShell(std::string(LUMAR_CLI_PATH) + " " + arguments + " 2>/dev/null");
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

TEST(Cli, JpegInfoGivesOneLinePerFileInArgumentOrder) {
    test::TempDir dir;
    const std::size_t size = test::WriteJpeg(dir.file("a b.jpg"), 640, 480);
    const std::string png = dir.write("x.jpg", "\x89PNG....");
    const CliRun run = RunCli("jpeg-info " + Quoted(dir.file("a b.jpg")) + " " + Quoted(png) + " " +
                              Quoted(dir.file("missing")));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "1\t640\t480\t" + std::to_string(size) + "\t" + dir.file("a b.jpg") + "\n" +
                           "0\t0\t0\t8\t" + png + "\n" + "0\t0\t0\t0\t" + dir.file("missing") +
                           "\n");
    EXPECT_EQ(RunCli("jpeg-info").status, 2);
}

TEST(Cli, ListAddsPathsAsADrop) {
    test::TempDir dir;
    const auto sized = [&](const std::string& name, int width, int height, std::size_t bytes) {
        std::string data = test::MakeJpeg(width, height);
        data.resize(bytes, '\0');
        dir.write(name, data);
    };
    sized("single.dat", 800, 600, 512);  // a single file is judged by content only
    sized("f/a.jpg", 1024, 768, 153600);
    sized("f/sub/b.JPEG", 64, 48, 2662);
    sized("f/c.dat", 64, 48, 512);  // the scan also wants an extension
    const CliRun run =
        RunCli("list " + Quoted(dir.file("single.dat")) + " " + Quoted(dir.file("f")));
    EXPECT_EQ(run.status, 0);
    // Folder rows are right-aligned: width and height to four characters, kB to six.
    const std::string folder = dir.file("f") + "/";
    EXPECT_EQ(run.out, "single.dat\t" + dir.path() + "/\t800\t600\t.5\n" + "a.jpg\t" + folder +
                           "\t1024\t 768\t 150.0\n" + "b.JPEG\t" + folder +
                           "sub/\t  64\t  48\t   2.6\n");
    EXPECT_EQ(RunCli("list").status, 2);
}

TEST(Cli, ListNamesWhatItsScanLeavesOut) {
    // Permission bits do not bind root, so the scan runs as a plain user.
    test::TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    test::WriteJpeg(dir.file("d/open.jpg"), 4, 4);
    test::WriteJpeg(dir.file("d/closed/inner.jpg"), 4, 4);
    const std::string deep = test::WriteTooDeepJpeg(dir.file("d/deep"));
    ASSERT_EQ(::chmod(dir.file("d/closed").c_str(), 0), 0);
    const std::string user =
        ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const CliRun run =
        test::RunShell(user + LUMAR_CLI_PATH + " --config-dir " + Quoted(dir.file("cfg")) +
                           " list " + Quoted(dir.file("d")) + " 2>" + Quoted(dir.file("err.txt")),
                       dir.file("err.txt"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "open.jpg\t" + dir.file("d/") + "\t   4\t   4\t    .2\n");
    EXPECT_NE(run.err.find("lumar-cli: " + dir.file("d/closed") +
                           ": folder cannot be read (Permission denied)"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("lumar-cli: " + deep + ": path too long to open"), std::string::npos)
        << run.err;
}

}  // namespace
}  // namespace lumar
