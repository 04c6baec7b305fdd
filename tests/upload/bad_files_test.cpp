// An upload run over images that went bad after they were added: every one gets exactly one
// log line saying what happened, the good ones still arrive, and nothing waits on a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "hoster_emulator/hoster_emulator.h"
#include "shell/settings_store.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"
#include "session/posting_hand_over.h"
#include "upload/upload_request.h"
#include "upload/upload_run.h"

namespace lumar {
namespace {

class LogRecorder : public PostingHandOver {
public:
    using PostingHandOver::PostingHandOver;
    void AppendLog(const std::string& text, bool lineEnd) override {
        pending += text;
        if (!lineEnd) return;
        log.push_back(pending);
        pending.clear();
    }
    std::vector<std::string> log;
    std::string pending;
};

class UploadBadFilesTest : public ::testing::Test {
protected:
    UploadBadFilesTest()
        : hosters(LoadHostersFromText(emulator.HostersIni())), strings(LoadUiStrings(dir.file("none.ini"), "")) {
        WriteValue(dir.file("Lumar.ini"), "Bilder", "Timeout", "20");
    }

    // A row for a file below the folder, as the list would have added it.
    ImageEntry Row(const std::string& name) const {
        ImageEntry row;
        row.folder = dir.path() + "/";
        row.text = name;
        row.kB = "1.0";
        row.checked = true;
        return row;
    }
    ImageEntry Jpeg(const std::string& name) const {
        test::WriteJpeg(dir.file(name), 16, 16);
        return Row(name);
    }

    std::vector<std::string> Run(std::vector<ImageEntry>& rows) {
        LogRecorder recorder(state, blocks, PostingOptions{}, PostingTexts{});
        UploadRun run(hosters, strings, recorder);
        UploadRunOptions options;
        options.hosterIndex = 1;
        options.settingsFile = dir.file("Lumar.ini");
        // The run is bounded: a reader stuck on a file would fail here instead of hanging ctest.
        auto done = std::async(std::launch::async, [&] { run.Run(rows, options); });
        if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            ADD_FAILURE() << "the run waits on a file";
            for (const ImageEntry& row : rows) {
                const int fd = ::open(row.FullPath().c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) ::close(fd);
            }
        }
        done.get();
        return recorder.log;
    }

    std::string Line(const std::string& name, const std::string& outcome) const {
        return "Upload von Bild: " + dir.path() + "/" + name + "..." + outcome;
    }

    test::TempDir dir;
    tools::HosterEmulator emulator;
    HosterTable hosters;
    UiStrings strings;
    PostingState state;
    TextBlocks blocks;
};

TEST_F(UploadBadFilesTest, FilesThatCannotBeReadFailWithTheirOwnLineAndTheRunGoesOn) {
    std::vector<ImageEntry> rows;
    rows.push_back(Jpeg("first.jpg"));
    rows.push_back(Jpeg("vanished.jpg"));
    ::unlink(dir.file("vanished.jpg").c_str());  // removed between adding and uploading
    rows.push_back(Row("folder.jpg"));
    ::mkdir(dir.file("folder.jpg").c_str(), 0755);
    rows.push_back(Row("dangling.jpg"));
    ::symlink(dir.file("gone.jpg").c_str(), dir.file("dangling.jpg").c_str());
    rows.push_back(Row("fifo.jpg"));
    ::mkfifo(dir.file("fifo.jpg").c_str(), 0644);
    rows.push_back(Row("empty.jpg"));
    dir.write("empty.jpg", "");
    rows.push_back(Jpeg("last.jpg"));

    const std::vector<std::string> log = Run(rows);
    const std::string unreadable = "fehlgeschlagen ! (Datei nicht lesbar)";
    EXPECT_EQ(log, (std::vector<std::string>{
                       Line("first.jpg", "erfolgreich !"), Line("vanished.jpg", unreadable),
                       Line("folder.jpg", unreadable), Line("dangling.jpg", unreadable),
                       Line("fifo.jpg", unreadable), Line("empty.jpg", unreadable), Line("last.jpg", "erfolgreich !")}));
    ASSERT_EQ(emulator.Uploads().size(), 2u);
    for (size_t i = 1; i + 1 < rows.size(); ++i) {
        EXPECT_TRUE(rows[i].checked) << rows[i].text;  // kept for a later try
        EXPECT_EQ(rows[i].upload, "") << rows[i].text;
    }
    EXPECT_FALSE(rows.back().checked);
}

TEST_F(UploadBadFilesTest, UnreadableFileFailsForAUserWithoutRights) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads files of mode 000";
    std::vector<ImageEntry> rows = {Jpeg("locked.jpg")};
    ::chmod(dir.file("locked.jpg").c_str(), 0);
    EXPECT_EQ(Run(rows), (std::vector<std::string>{Line("locked.jpg", "fehlgeschlagen ! (Datei nicht lesbar)")}));
    EXPECT_TRUE(emulator.Uploads().empty());
}

TEST_F(UploadBadFilesTest, UnusualNamesArriveWholeAndCannotBreakTheRequest) {
    const std::vector<std::string> names = {"with blanks .jpg", "B\xC3\xA4ume \xC3\xBC.jpg", "caf\xE9.jpg",
                                            "two\nlines.jpg", "quote\"d.jpg"};
    std::vector<ImageEntry> rows;
    for (const std::string& name : names) rows.push_back(Jpeg(name));
    const std::vector<std::string> log = Run(rows);
    ASSERT_EQ(log.size(), names.size());
    const std::vector<tools::ReceivedUpload> uploads = emulator.Uploads();
    ASSERT_EQ(uploads.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        // The line break is written out, so it cannot start a log line of its own.
        EXPECT_EQ(log[i], Line(i == 3 ? "two\\nlines.jpg" : names[i], "erfolgreich !"));
        EXPECT_EQ(uploads[i].fileBytes, dir.read(names[i])) << i;
        EXPECT_FALSE(rows[i].checked) << i;
    }
    // Blanks and non-ASCII names go out as they are (UTF-8 in the host's code page where it fits).
    EXPECT_EQ(uploads[0].fileName, dir.path() + "/with blanks .jpg");
    EXPECT_EQ(uploads[1].fileName, dir.path() + "/B\xE4ume \xFC.jpg");
    EXPECT_EQ(uploads[2].fileName, dir.path() + "/caf\xE9.jpg");
    // A line break or quote inside the name would end the part's header line or its quoted
    // value early; they go out escaped as browsers send them.
    EXPECT_EQ(uploads[3].fileName, dir.path() + "/two%0Alines.jpg");
    EXPECT_EQ(uploads[4].fileName, dir.path() + "/quote%22d.jpg");
    for (const tools::ReceivedUpload& upload : uploads) {
        ASSERT_FALSE(upload.parts.empty());
        EXPECT_EQ(upload.parts.back().contentType, "image/jpeg") << upload.fileName;
    }
}

TEST_F(UploadBadFilesTest, RequestEscapesOnlyWhatWouldBreakTheFileNameField) {
    UploadRequest request;
    test::WriteJpeg(dir.file("a\r\nContent-Type: text/html.jpg"), 8, 8);
    ASSERT_EQ(BuildUploadRequest(hosters.Row(1), dir.file("a\r\nContent-Type: text/html.jpg"), request),
              RequestProblem::None);
    EXPECT_NE(request.bytes.find("filename=\"" + dir.path() + "/a%0D%0AContent-Type: text/html.jpg\"\r\n"),
              std::string::npos);
    EXPECT_EQ(request.bytes.find("\r\nContent-Type: text/html"), std::string::npos);
}

}  // namespace
}  // namespace lumar
