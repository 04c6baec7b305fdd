#pragma once
// Pieces shared by the upload commands of lumar-cli.
#include <signal.h>

#include <atomic>
#include <string>

#include "cli/cli_command.h"
#include "hosters/answer_template.h"
#include "hosters/hoster_table.h"
#include "imagelist/image_processing.h"
#include "posting/posting_builder.h"
#include "session/run_setup.h"
#include "upload/transport_options.h"

namespace lumar::cli {

// The whole hoster table (hosters.ini, own definitions, presets), its problems named on
// stderr.
HosterTable LoadCliHosters();

// The hoster row named by the text (a number 1..Count() or a row ID), or 0 when it names none.
int ParseHosterNumber(const std::string& text, const HosterTable& table);

// Names every problem of hosters.ini and the definitions on stderr.
void PrintHosterProblems(const HosterTable& table);

// A path relative to the working folder made absolute (the upload sends the full path).
std::string AbsolutePath(const std::string& path);

// The options every upload-making command takes after its name.
inline constexpr const char* kTransportUsage =
    "[--ca-file FILE] [--connect-to HOST:PORT:ADDR:PORT]...";

enum class OptionTaken { kNo, kYes, kBad };
// Takes --ca-file or --connect-to at args[i] (and its value, moving `i` on) into `out`; Bad
// has named the problem on stderr.
OptionTaken TakeTransportOption(const Args& args, size_t& i, TransportOptions& out);

// Takes --max-size N, --quality Q, --strip or --no-strip at args[i] (moving `i` past a value)
// into `out`, which the run's ProcessingFor completes from Lumar.ini; Bad has named the
// problem on stderr.
OptionTaken TakeProcessingOption(const Args& args, size_t& i, ProcessingChoice& out);

inline constexpr const char* kPostingUsage =
    "[--html|--markdown] [--center|--no-center] [--split N [--part K]]";

// Takes --html, --markdown, --center, --no-center, --split N or --part K at args[i] (moving `i`
// past a value) into `out`; Bad has named the problem on stderr.
OptionTaken TakePostingOption(const Args& args, size_t& i, PostingChoice& out);

// What the code panel's controls would hold: the choice over Lumar.ini. Nothing when --part is
// given and no split is chosen in either, named on stderr.
std::optional<PostingOptions> PostingOptionsFor(const PostingChoice& choice,
                                                const std::string& settingsFile);

// Takes --input TITLE=VALUE at args[i] (moving `i` past the value) into `answers`: the answer
// to a row's question of that title ({inputbox:TITLE}, {select:a|b} with the title "a|b").
// Bad has named the problem on stderr.
OptionTaken TakeInputOption(const Args& args, size_t& i, PromptAnswers& answers);

// 0 when `answers` answer every question the row asks, a choice with one of its choices;
// else 2 after naming on stderr the --input option still to give.
int CheckAnswers(const HosterDef& row, const PromptAnswers& answers);

// What request and probe work on: one row of the whole table and at most one file.
struct RowAndFile {
    HosterTable table;
    int hoster = 0;
    std::string file;  // as given; empty when none was
    PromptAnswers answers;
};
// Reads "--hoster N|ID", the transport options (into `transport`), --input answers (checked
// against the row's questions) and a FILE (required or not); returns 0 when `out` can be used, else
// 2 after naming the problem on stderr.
int ParseRowAndFile(const Args& args, const char* usage, bool fileRequired,
                    TransportOptions& transport, RowAndFile& out);

// While it lives, Ctrl+C sets `flag` instead of ending the process, so the command can stop
// its exchange and clean up behind it; the earlier handling comes back when it goes.
class InterruptToFlag {
  public:
    explicit InterruptToFlag(std::atomic<bool>& flag);
    ~InterruptToFlag();
    InterruptToFlag(const InterruptToFlag&) = delete;
    InterruptToFlag& operator=(const InterruptToFlag&) = delete;

  private:
    struct sigaction previous_ {};
};

}  // namespace lumar::cli
