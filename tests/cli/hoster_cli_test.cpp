// lumar-cli hoster, run as a separate program the way scripts use it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(CliHoster, ImportListExportAndChooseById) {
    test::TempDir dir;
    const std::string mine = dir.write("mine.sxcu", R"({"DestinationType": "ImageUploader",
      "RequestURL": "https://h.example/up", "Headers": {"X-API-Key": "s3cret"}, "Body": "Binary"})");
    const std::string asks = dir.write("asks.sxcu", R"({"DestinationType": "ImageUploader",
      "RequestURL": "https://h.example/up", "FileFormName": "f", "URL": "{prompt:URL}"})");
    const std::string err = dir.file("err");
    auto run = [&](const std::string& args) {
        return test::RunShell("LUMAR_DATA_DIR='" + std::string(LUMAR_SOURCE_DIR) + "/data' '" +
                                  LUMAR_CLI_PATH + "' --config-dir '" + dir.file("cfg") + "' " +
                                  args + " 2>" + err,
                              err);
    };

    const test::CliRun imported = run("hoster import '" + mine + "' '" + asks + "'");
    EXPECT_EQ(imported.status, 1);
    EXPECT_EQ(imported.out, mine + "\tmine\n");
    EXPECT_THAT(imported.err, HasSubstr("asks.sxcu: refused: URL: {prompt}"));
    EXPECT_THAT(run("hoster list").out,
                HasSubstr("7\tHoster7\tbuilt-in\tsupload\n8\tmine\town\th.example\n"
                          "9\tcatbox\tpreset\tcatbox.moe\n"));

    EXPECT_THAT(run("hoster export mine").out, HasSubstr(R"("X-API-Key": "")"));
    EXPECT_EQ(run("hoster export 8 '" + dir.file("out.sxcu") + "' --with-secrets").status, 0);
    EXPECT_THAT(dir.read("out.sxcu"), HasSubstr(R"("X-API-Key": "s3cret")"));

    const std::string jpeg = dir.write("a.jpg", std::string("\xFF\xD8\xFF\xD9", 4));
    EXPECT_THAT(run("request --hoster Hoster3 '" + jpeg + "'").out, HasSubstr("\"fileupload\""));
    EXPECT_EQ(run("hoster delete mine").status, 0);
    EXPECT_THAT(run("hoster list").out, Not(HasSubstr("mine")));
}

}  // namespace
}  // namespace lumar
