#include "support/upload_fixture.h"

#include "net/task_loop.h"
#include "shell/reason_text.h"
#include "shell/settings_store.h"
#include "support/jpeg_maker.h"

namespace lumar::test {

void RunRecorder::StatusLine(const std::string& text) {
    statuses.push_back(text);
    if (onStatus) onStatus();
}

void RunRecorder::AppendLog(const std::string& text, bool lineEnd) {
    pending += text;
    if (!lineEnd) return;
    log.push_back(pending);
    pending.clear();
    if (onLine) onLine();
}

void RunRecorder::Progress(int value, int maximum) {
    progress.emplace_back(value, maximum);
    if (value > 0)
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - imageStart).count());
}

void RunRecorder::CurrentFile(const std::string& path) {
    if (onFile) onFile(path);
    imageStart = std::chrono::steady_clock::now();
}

void RunRecorder::CollectPosting(std::span<ImageEntry> rows) {
    events.push_back("collect");
    PostingHandOver::CollectPosting(rows);
}

void RunRecorder::FinishPosting(std::span<const ImageEntry> rows) {
    events.push_back("finish");
    PostingHandOver::FinishPosting(rows);
}

std::vector<std::string> Codes(const tools::HosterEmulator& emulator) {
    std::vector<std::string> codes;
    for (const tools::ReceivedUpload& u : emulator.Uploads()) codes.push_back(u.code);
    return codes;
}

UploadFixture::UploadFixture()
    : hosters(LoadHostersFromText(emulator.HostersIni())),
      strings(LoadUiStrings(dir.file("none.ini"), "")) {
    settings = dir.file("Lumar.ini");
    WriteValue(settings, "Bilder", "Timeout", "20");
}

ImageEntry UploadFixture::Image(const std::string& name, int kB, size_t padding) {
    dir.write(name, MakeJpeg(16, 16) + std::string(padding, '\x5a'));
    ImageEntry row;
    row.folder = dir.path() + "/";
    row.text = name;
    row.bytes = std::int64_t{kB} * 1024;
    return row;
}

std::string UploadFixture::RunUpload(std::vector<ImageEntry>& rows, int hoster,
                                     PostingOptions posting) {
    recorder = std::make_unique<RunRecorder>(state, blocks, posting, PostingTexts{});
    recorder->onStatus = onStatus;
    recorder->onFile = onFile;
    recorder->onLine = onLine;
    run = std::make_unique<UploadRun>(hosters, strings, *recorder);
    UploadRunOptions options;
    options.hosterIndex = hoster;
    SettingsFileForRun runSettings(settings);
    if (!settings.empty()) options.settings = &runSettings;
    if (configure) configure(options);
    run->Start(rows, options);
    net::DriveToEnd(*run, pumpSlice, pump);
    return recorder->View().shownText;
}

std::vector<std::pair<int, std::string>> UploadFixture::WordedFailures() const {
    std::vector<std::pair<int, std::string>> out;
    for (const auto& [position, reason] : recorder->failures)
        out.emplace_back(position, ReasonText(reason, strings));
    return out;
}

std::string UploadFixture::Line(const std::string& name, const std::string& outcome) const {
    return "Upload von Bild: " + dir.file(name) + "..." + outcome;
}

}  // namespace lumar::test
