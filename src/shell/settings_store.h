#pragma once
// The INI store behind Lumar.ini, language.ini and hosters.ini.
//
// Every read asks the file at the moment of the call and every write rewrites one key, so
// there is no cache to go stale and no save phase. Text inside the program is UTF-8; on disk
// the files are Windows-1252 or UTF-8 (see text_codec.h), and a write keeps the file's
// encoding whenever the new value fits it.
//
// Read rules (those of the classic profile-string read):
//  1. section and key names match without regard to case;
//  2. the value loses its surrounding blanks, then one matching pair of surrounding single or
//     double quotes;
//  3. a default that is used loses its trailing blanks (leading blanks stay);
//  4. the result is at most 1023 characters and ends before the first NUL.
// The first section of a name and the first key of a name within it win. Lines starting with
// ';' or '#' are comments.
#include <string>
#include <string_view>

namespace lumar {

inline constexpr size_t kMaxValueChars = 1023;

// Reads a value from the file at `file`. A missing or unreadable file, section or key gives
// the default (rule 3). Never fails.
std::string ReadValue(const std::string& file, std::string_view section, std::string_view key,
                      std::string_view defaultValue);
// The same with a numeric default, which is looked up as its decimal text.
std::string ReadValue(const std::string& file, std::string_view section, std::string_view key,
                      long long defaultNumber);

// Writes one key: replaces the value of an existing key or adds the key (and its section,
// and the file) when missing; every other line of the file stays as it was. The file is
// replaced atomically. Returns false when nothing was written: the folder or file is not
// writable, or a name or the value holds a line break or NUL (which would corrupt the file).
// Callers that follow the classic silent-write rule ignore the result.
bool WriteValue(const std::string& file, std::string_view section, std::string_view key,
                std::string_view value);

// The same rules on INI text already in memory (UTF-8), so tests and fuzzers can feed
// strings. ReadValueFromText applies rules 1 to 4; SetValueInText returns the text with the
// one key set, keeping the text's line endings (CR LF for text that has none yet).
std::string ReadValueFromText(std::string_view text, std::string_view section,
                              std::string_view key, std::string_view defaultValue);
std::string SetValueInText(std::string_view text, std::string_view section, std::string_view key,
                           std::string_view value);

// True when the name or value can be written without breaking the line structure.
bool IsWritableName(std::string_view name);
bool IsWritableValue(std::string_view value);

}  // namespace lumar
