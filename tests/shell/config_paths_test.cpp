#include "shell/config_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shell/file_io.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"

namespace lumar {
namespace {

TEST(ConfigFolder, ChoosesTheFirstSourceThatIsGiven) {
    test::TempDir program;
    ConfigSources s{"/cli/dir", "/env/dir", program.path(), "/xdg", "/home/u"};
    EXPECT_EQ(ChooseConfigFolder(s), "/cli/dir/");
    s.commandLineDir = "";
    EXPECT_EQ(ChooseConfigFolder(s), "/env/dir/");
    s.environmentDir = "";
    // A writable program folder is used as it is on Windows, beside the program.
    EXPECT_EQ(ChooseConfigFolder(s), program.path() + "/");
    s.programDir = "";
    EXPECT_EQ(ChooseConfigFolder(s), "/xdg/lumar/");
    s.xdgConfigHome = "";
    EXPECT_EQ(ChooseConfigFolder(s), "/home/u/.config/lumar/");
    s.home = "";
    EXPECT_EQ(ChooseConfigFolder(s), "/tmp/.config/lumar/");
    // A trailing separator given by the user is not doubled.
    s.commandLineDir = "/cli/dir/";
    EXPECT_EQ(ChooseConfigFolder(s), "/cli/dir/");
}

TEST(ConfigFolder, MissingOrInstalledProgramFolderFallsBackToTheUserFolder) {
    // Root may write to /usr/bin; an installed program must still not put Lumar.ini there.
    for (const char* program :
         {"/no/such/folder/anywhere", "/usr/bin", "/usr/local/bin/", "/bin"}) {
        const ConfigSources s{"", "", program, "", "/home/u"};
        EXPECT_EQ(ChooseConfigFolder(s), "/home/u/.config/lumar/") << program;
    }
}

// As an ordinary user, for whom the folder's permission bits bite.
TEST(ConfigFolder, ReadOnlyProgramFolderIsUsedOnlyWhenItHoldsLumarIni) {
    test::TempDir program;
    const ConfigSources s{"", "", program.path(), "/xdg", "/home/u"};
    const auto chosenAs = [&](const std::string& expected) {
        ::chmod(program.path().c_str(), 0555);
        const int status = test::RunUnprivileged([&] { return ChooseConfigFolder(s) == expected; });
        ::chmod(program.path().c_str(), 0755);
        return status == 1;
    };
    EXPECT_TRUE(chosenAs("/xdg/lumar/"));
    program.write("Lumar.ini", "[Bilder]\r\n");
    EXPECT_TRUE(chosenAs(program.path() + "/"));
}

TEST(ConfigFolder, ANonFileLanguageIniDoesNotHideTheInstalledTranslation) {
    test::TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("language.ini").c_str(), 0755), 0);
    InitConfigFolder(dir.path());
    const std::string installed = JoinPath(LUMAR_DATA_DIR, "language.ini");
    if (IsRegularFile(installed)) {
        EXPECT_EQ(LanguageFile(), installed);
    }
    ASSERT_EQ(::rmdir(dir.file("language.ini").c_str()), 0);
    dir.write("language.ini", "[STRINGS]\r\n");
    EXPECT_EQ(LanguageFile(), dir.file("language.ini"));
}

}  // namespace
}  // namespace lumar
