#pragma once
// One upload of one image to a row, kept whole for a person checking the row: what was sent,
// what came back, what the row's templates read from it and the code that came out. The
// hosters window's test button and `lumar-cli probe` show the same report.
#include <memory>
#include <string>
#include <string_view>

#include "hosters/hoster_table.h"
#include "shell/loop_task.h"
#include "upload/standard_upload.h"

namespace lumar {

// The answer is shown up to this many bytes.
inline constexpr size_t kProbeAnswerBytes = 4096;

struct ProbeResult {
    std::string requestHead;    // empty when nothing was sent
    std::string statusLine;     // "HTTP 200 OK"; empty without an answer
    std::string answer;         // its first kProbeAnswerBytes, JSON pretty-printed
    size_t answerBytes = 0;     // the whole answer's size
    bool answerCut = false;     // whether `answer` is only its start
    bool cutByMarkers = false;  // the code came from between markers, not from the fields
    std::string url, thumbnailUrl, deletionUrl;
    std::string errorMessage;  // the row's ErrorMessage, read after a failure status
    std::string code;          // the image's forum code; empty on failure
    std::string failure;       // why no code came out

    [[nodiscard]] bool Ok() const { return failure.empty(); }
};

// Uploads the image at `imagePath`, or a small generated JPEG when it is empty, to the row,
// the way the run would, as a task of its front end's loop: a classic row over the run's plain
// connection with its code cut between the markers (its answer shown as it came), a standard
// row as a StandardUploadJob. A set abort flag of `options.control` cancels it at its next step.
class ProbeTask final : public LoopTask {
  public:
    ProbeTask(const HosterDef& row, const std::string& imagePath, StandardUploadOptions options);
    ~ProbeTask() override;
    ProbeTask(const ProbeTask&) = delete;
    ProbeTask& operator=(const ProbeTask&) = delete;

    [[nodiscard]] std::vector<pollfd> Waits() const override;
    [[nodiscard]] std::chrono::steady_clock::time_point Deadline() const override;
    void Step(std::span<const pollfd> ready) override;
    [[nodiscard]] bool Finished() const override;
    // Complete once Finished().
    [[nodiscard]] const ProbeResult& Result() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// A ProbeTask driven to its end on a poll loop of its own, the pump of `options` between its
// steps (lumar-cli).
ProbeResult Probe(const HosterDef& row, const std::string& imagePath,
                  const StandardUploadOptions& options);

// The result as lines of text, one "name: value" per item, the head and the answer as blocks.
std::string ProbeReportText(const ProbeResult& result);

// The generated image: an 8x8 grey baseline JPEG.
std::string_view ProbeImageBytes();

}  // namespace lumar
