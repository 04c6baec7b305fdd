// Adding files and folders that are not what they seem: special files, broken links, loops
// and odd names must give a list of exactly the readable JPEGs, without waiting or looping.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>

#include "imagelist/add_images.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

using Strings = std::vector<std::string>;

Strings Paths(const ImageList& list) {
    Strings out;
    for (const ImageEntry& row : list.Rows()) out.push_back(row.FullPath());
    return out;
}

// Runs the adding on a thread so that a reader stuck on a FIFO fails the test instead of
// hanging it; opening the FIFO for writing releases such a reader.
int AddWithoutHanging(ImageList& list, const Strings& paths, const std::string& fifo) {
    auto added = std::async(std::launch::async, [&] { return AddDroppedPaths(list, paths); });
    if (added.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "adding waits on " << fifo;
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    }
    return added.get();
}

TEST(AddBadFiles, OnlyReadableJpegsAreTakenFromFilesAndFolders) {
    test::TempDir dir;
    test::WriteJpeg(dir.file("pics/good.jpg"), 10, 20);
    dir.write("pics/empty.jpg", "");
    dir.write("pics/text.jpg", "not a picture");
    ASSERT_EQ(::mkfifo(dir.file("pics/fifo.jpg").c_str(), 0644), 0);
    ASSERT_EQ(::symlink(dir.file("pics/gone.jpg").c_str(), dir.file("pics/dangling.jpg").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.file("pics/device.jpg").c_str()), 0);
    // A folder named like a picture is scanned as a folder, not read as a file.
    test::WriteJpeg(dir.file("pics/folder.jpg/inner.jpg"), 5, 5);

    ImageList fromFolder;
    EXPECT_EQ(AddWithoutHanging(fromFolder, {dir.file("pics")}, dir.file("pics/fifo.jpg")), 2);
    EXPECT_EQ(Paths(fromFolder), (Strings{dir.file("pics/good.jpg"), dir.file("pics/folder.jpg/inner.jpg")}));

    // The same entries dropped one by one, plus paths that are not there at all.
    ImageList dropped;
    const Strings paths = {dir.file("pics/empty.jpg"),    dir.file("pics/text.jpg"),   dir.file("pics/fifo.jpg"),
                           dir.file("pics/dangling.jpg"), dir.file("pics/device.jpg"), dir.file("missing.jpg"),
                           "",                            dir.file("pics/good.jpg")};
    EXPECT_EQ(AddWithoutHanging(dropped, paths, dir.file("pics/fifo.jpg")), 1);
    ASSERT_EQ(dropped.Count(), 1);
    EXPECT_EQ(dropped.Row(1).width, "10");
}

TEST(AddBadFiles, SymbolicLinkLoopsAreListedOnceAndOutsideLinksFollowed) {
    test::TempDir dir;
    test::WriteJpeg(dir.file("top/a.jpg"), 4, 4);
    test::WriteJpeg(dir.file("top/sub/b.jpg"), 4, 4);
    test::WriteJpeg(dir.file("other/c.jpg"), 4, 4);
    ASSERT_EQ(::symlink("..", dir.file("top/sub/up").c_str()), 0);                   // back to top
    ASSERT_EQ(::symlink(dir.file("top").c_str(), dir.file("top/self").c_str()), 0);  // to itself
    ASSERT_EQ(::symlink("loop2", dir.file("top/loop1").c_str()), 0);                 // a link to a link to it
    ASSERT_EQ(::symlink("loop1", dir.file("top/loop2").c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("other").c_str(), dir.file("top/zlink").c_str()), 0);  // outside the tree
    // Other paths to the same files: a link beside its folder, a hard link, a link to a file.
    ASSERT_EQ(::symlink("sub", dir.file("top/lnk").c_str()), 0);
    ASSERT_EQ(::link(dir.file("top/a.jpg").c_str(), dir.file("top/sub/hard.jpg").c_str()), 0);
    ASSERT_EQ(::symlink("../a.jpg", dir.file("top/sub/soft.jpg").c_str()), 0);

    ImageList list;
    EXPECT_EQ(AddDroppedPaths(list, {dir.file("top")}), 3);
    EXPECT_EQ(Paths(list), (Strings{dir.file("top/a.jpg"), dir.file("top/lnk/b.jpg"), dir.file("top/zlink/c.jpg")}));
}

TEST(AddBadFiles, OddNamesKeepEveryByte) {
    test::TempDir dir;
    Strings names = {"with blanks .jpg", "B\xC3\xA4ume.jpg", "caf\xE9.jpg", "two\nlines.jpg", " lead.jpg"};
    for (const std::string& name : names) test::WriteJpeg(dir.file("odd/" + name), 3, 3);
    ImageList list;
    EXPECT_EQ(AddDroppedPaths(list, {dir.file("odd"), dir.file("odd/two\nlines.jpg")}), static_cast<int>(names.size()) + 1);
    std::sort(names.begin(), names.end());  // the scan lists names in byte order
    names.push_back("two\nlines.jpg");      // then the single file
    Strings texts;
    for (const ImageEntry& row : list.Rows()) {
        texts.push_back(row.text);
        EXPECT_EQ(row.folder, dir.file("odd/"));
    }
    EXPECT_EQ(texts, names);
}

TEST(AddBadFiles, FilesTooDeepToOpenAreNamed) {
    // Folders that cannot be read are named too; lumar-cli's test shows that as a plain user.
    test::TempDir dir;
    test::WriteJpeg(dir.file("d/open.jpg"), 4, 4);
    const std::string deep = test::WriteTooDeepJpeg(dir.file("d/deep"));
    std::vector<ScanProblem> problems;
    AddOptions options;
    options.report = [&](const ScanProblem& p) { problems.push_back(p); };
    ImageList list;
    EXPECT_EQ(AddDroppedPaths(list, {dir.file("d")}, options), 1);
    EXPECT_EQ(Paths(list), (Strings{dir.file("d/open.jpg")}));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].kind, ScanProblem::Kind::PathTooLong);
    EXPECT_EQ(problems[0].path, deep);
}

}  // namespace
}  // namespace lumar
