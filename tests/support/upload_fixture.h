#pragma once
// The set-up every upload test shares: the hoster emulator on 127.0.0.1 with a hoster table
// pointing at it, a temporary folder for the images and Lumar.ini, and a run whose every
// report is recorded in order.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hoster_emulator/hoster_emulator.h"
#include "session/posting_hand_over.h"
#include "support/temp_dir.h"
#include "upload/upload_run.h"

namespace lumar::test {

class RunRecorder : public PostingHandOver {
  public:
    using PostingHandOver::PostingHandOver;
    std::function<void()> onStatus;                  // runs after every status line
    std::function<void(const std::string&)> onFile;  // runs before each image's upload
    std::function<void()> onLine;                    // runs after every finished log line

    void RunStarted(int count) override { events.push_back("started " + std::to_string(count)); }
    void StatusLine(const std::string& text) override;
    void AppendLog(const std::string& text, bool lineEnd) override;
    void Figures(const UploadFigures& f) override { figures.push_back(f); }
    void Progress(int value, int maximum) override;
    void CurrentFile(const std::string& path) override;
    void RowChanged(int position) override { changedRows.push_back(position); }
    void ImageFailed(int position, const Reason& reason) override {
        failures.emplace_back(position, reason);
    }
    void Waiting(const UploadWait& wait) override { waits.push_back(wait); }
    void StatsChanged(double files, double bytes) override { stats = {files, bytes}; }
    void TotalsNotSaved(const std::string&, const std::string&) override { ++totalsNotSaved; }
    void CollectPosting(std::span<ImageEntry> rows) override;
    void RunFinished() override { events.push_back("finished"); }
    void ShowMessage(const std::string&, const std::string&) override {
        events.push_back("message");
    }
    void FinishPosting(std::span<const ImageEntry> rows) override;
    void PlaySound(const std::string& file) override { events.push_back("sound " + file); }
    void BringToFront() override { events.push_back("front"); }

    std::vector<std::string> events, statuses, log;
    std::string pending;
    std::vector<UploadFigures> figures;
    std::vector<std::pair<int, int>> progress;
    std::vector<double> seconds;  // how long each image took
    std::chrono::steady_clock::time_point imageStart;
    std::vector<int> changedRows;
    std::vector<std::pair<int, Reason>> failures;  // the observer's, in turn
    std::vector<UploadWait> waits;
    std::pair<double, double> stats{0, 0};
    int totalsNotSaved = 0;
};

// The codes the emulator handed out, in the order of the uploads.
std::vector<std::string> Codes(const tools::HosterEmulator& emulator);

class UploadFixture {
  public:
    UploadFixture();

    // A 16x16 JPEG below the folder (with `padding` bytes appended) and its checked row.
    ImageEntry Image(const std::string& name, int kB = 1, size_t padding = 0);
    // Uploads the checked rows to hoster row `hoster`; gives the posting shown at the end.
    std::string RunUpload(std::vector<ImageEntry>& rows, int hoster, PostingOptions posting = {});
    // The log line of an image below the folder.
    std::string Line(const std::string& name, const std::string& outcome) const;
    // The failures the observer heard, each worded as a front end words it.
    std::vector<std::pair<int, std::string>> WordedFailures() const;
    std::vector<std::string> Codes() const { return test::Codes(emulator); }

    TempDir dir;
    tools::HosterEmulator emulator;
    HosterTable hosters;  // the table the run reads; a test may swap it between images
    UiStrings strings;
    std::string settings;
    PostingState state;
    TextBlocks blocks;
    // Runs after every step of the run, which waits at most pumpSlice for one.
    std::function<void()> pump;
    std::chrono::milliseconds pumpSlice{200};
    std::function<void()> onStatus;
    std::function<void(const std::string&)> onFile;
    std::function<void()> onLine;
    std::function<void(UploadRunOptions&)> configure;  // last say over the run's options
    std::unique_ptr<RunRecorder> recorder;
    std::unique_ptr<UploadRun> run;
};

}  // namespace lumar::test
