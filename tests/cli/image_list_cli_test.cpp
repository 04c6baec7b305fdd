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
