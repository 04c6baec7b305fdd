#include "hosters/regex_match.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cctype>
#include <cstdint>
#include <memory>

namespace lumar {
namespace {

// Enough for any sane pattern on a page-sized answer; a runaway one ends in milliseconds.
constexpr uint32_t kMatchLimit = 1'000'000;
constexpr uint32_t kDepthLimit = 10'000;
// Answers need not be valid UTF-8; such bytes simply never match.
constexpr uint32_t kCompileOptions = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct MatchContextDeleter {
    void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
using Code = std::unique_ptr<pcre2_code, CodeDeleter>;

std::string ErrorText(int code) {
    PCRE2_UCHAR buffer[256];
    if (pcre2_get_error_message(code, buffer, sizeof buffer) < 0)
        return "error " + std::to_string(code);
    return reinterpret_cast<const char*>(buffer);
}

// A pattern may be built from the answer itself; a failure quotes only its start.
std::string Quoted(std::string_view pattern) {
    constexpr size_t kShown = 200;
    return "\"" + std::string(pattern.substr(0, kShown)) +
           (pattern.size() > kShown ? "...\"" : "\"");
}

Code Compile(std::string_view pattern, std::string& failure, uint32_t options = 0) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    Code code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                            kCompileOptions | options, &error, &offset, nullptr));
    if (!code)
        failure = "bad regular expression " + Quoted(pattern) + ": " + ErrorText(error) +
                  " at offset " + std::to_string(offset);
    return code;
}

// Called before every item the matcher tries (PCRE2_AUTO_CALLOUT): counts it against the
// budget and abandons the match once the budget is gone.
int CountStep(pcre2_callout_block* /*block*/, void* budget) {
    auto* stepsLeft = static_cast<std::uint64_t*>(budget);
    if (*stepsLeft == 0) return PCRE2_ERROR_CALLOUT;
    --*stepsLeft;
    return 0;
}

bool AllDigits(std::string_view text) {
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return !text.empty();
}

// The group's number, or -1 when the pattern has no such group.
int GroupNumber(const pcre2_code* code, std::string_view group) {
    uint32_t count = 0;
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &count);
    if (group.empty()) return 0;
    if (AllDigits(group)) {
        if (group.size() > 5) return -1;
        const int number = std::stoi(std::string(group));
        return number <= static_cast<int>(count) ? number : -1;
    }
    const int number = pcre2_substring_number_from_name(
        code, reinterpret_cast<PCRE2_SPTR>(std::string(group).c_str()));
    return number < 0 ? -1 : number;
}

}  // namespace

std::string RegexPatternProblem(std::string_view pattern) {
    std::string failure;
    Compile(pattern, failure);
    return failure;
}

TextResult MatchRegex(std::string_view input, std::string_view pattern, std::string_view group,
                      std::uint64_t* stepsLeft) {
    std::string failure;
    const Code code = Compile(pattern, failure, stepsLeft ? PCRE2_AUTO_CALLOUT : 0);
    if (!code) return TextResult::Failure(failure);
    const int number = GroupNumber(code.get(), group);
    if (number < 0)
        return TextResult::Failure("the regular expression has no group \"" + std::string(group) +
                                   "\"");

    std::unique_ptr<pcre2_match_context, MatchContextDeleter> context(
        pcre2_match_context_create(nullptr));
    std::unique_ptr<pcre2_match_data, MatchDataDeleter> data(
        pcre2_match_data_create_from_pattern(code.get(), nullptr));
    if (!context || !data) return TextResult::Failure("out of memory for a regular expression");
    pcre2_set_match_limit(context.get(), kMatchLimit);
    pcre2_set_depth_limit(context.get(), kDepthLimit);
    if (stepsLeft) pcre2_set_callout(context.get(), CountStep, stepsLeft);

    const int result = pcre2_match(code.get(), reinterpret_cast<PCRE2_SPTR>(input.data()),
                                   input.size(), 0, 0, data.get(), context.get());
    if (result == PCRE2_ERROR_NOMATCH) return TextResult::Text({});
    if (result == PCRE2_ERROR_CALLOUT)
        return TextResult::Failure("the regular expressions used up their work on this answer");
    if (result == PCRE2_ERROR_MATCHLIMIT || result == PCRE2_ERROR_DEPTHLIMIT ||
        result == PCRE2_ERROR_HEAPLIMIT)
        return TextResult::Failure("the regular expression " + Quoted(pattern) +
                                   " gave up on the answer: " + ErrorText(result));
    if (result < 0) return TextResult::Failure("regular expression failed: " + ErrorText(result));

    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
    const PCRE2_SIZE start = ovector[2 * number], end = ovector[2 * number + 1];
    if (start == PCRE2_UNSET || number >= result) return TextResult::Text({});
    return TextResult::Text(std::string(input.substr(start, end - start)));
}

}  // namespace lumar
