#pragma once
// Whether the version document on the maker's server announces another version.
//
// The document holds the published version text in the same form as ours, nothing else.
// Anything that is not such a text (an empty answer, an HTML page, an HTTP error, a huge
// download) is ignored, so start-up never asks the user because of a broken server.
#include <string>
#include <string_view>

namespace lumar {

// The version text of a dotted project version: the letter V, the major number, the minor
// number in two digits and the revision in four ("1.1.10" gives "V1.01.0010"). Missing or
// malformed parts count as 0.
std::string UpdateVersionText(std::string_view projectVersion);

// The version text this program compares against the document, from the build's version.
const std::string& CurrentVersionText();
// How the check identifies itself to the server.
inline constexpr std::string_view kUpdateUserAgent = "Rambleton";
// How long start-up waits for the document before it goes on without it.
inline constexpr int kUpdateTimeoutMs = 5000;
// A version document is a few bytes; a longer answer is something else and is not read on.
inline constexpr size_t kMaxVersionDocumentBytes = 4096;

// True when the text may be a version: not empty and without "<" (never an HTML page).
bool IsVersionText(std::string_view text);

// True when the document text is a version and differs from `current`. Letter case counts;
// a line end and blanks at the end of the document do not (an editor adds them when the
// document is saved, and they would offer the same version at every start).
bool ShouldOfferUpdate(std::string_view documentText, std::string_view current);
bool ShouldOfferUpdate(std::string_view documentText);  // against CurrentVersionText()

// The text the check works with for one HTTP answer: the body of a successful (2xx) answer
// that is not longer than kMaxVersionDocumentBytes; otherwise empty, which offers nothing.
// A status of 0 stands for "no answer at all".
std::string_view VersionDocumentText(int httpStatus, std::string_view body);

}  // namespace lumar
