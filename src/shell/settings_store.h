#pragma once
// The INI store behind Lumar.ini, language.ini and hosters.ini.
//
// Every read asks the file at the moment of the call and every write rewrites one key, so
// there is no save phase; a file read again unchanged is not parsed again (see
// parsed_file_cache.h), and every read sees every earlier write. Text inside the program is UTF-8;
// on disk the files are Windows-1252 or UTF-8 (see text_codec.h), and a write keeps the file's
// encoding whenever the new value fits it. A caller that needs many keys at once (the hoster
// table, the language table) parses the file once with LoadIniFile and looks them up there.
// Files larger than kMaxIniFileBytes are neither read (they read as empty) nor written.
//
// Read rules (those of the classic profile-string read):
//  1. section and key names match without regard to case;
//  2. the value loses its surrounding blanks, then one matching pair of surrounding single or
//     double quotes;
//  3. a default that is used loses its trailing blanks (leading blanks stay);
//  4. the result is at most 1023 characters and ends before the first NUL.
// The first section of a name and the first key of a name within it win. Lines starting with
// ';' or '#' are comments.
//
// Errors in this room: nothing throws. A read that can find nothing returns std::optional,
// except settings reads, which give the key's default (a bad file must never stop the
// program). A write says whether it worked: false with errno set where the caller only
// needs to know, a short reason text (empty on success) where a user is told why.
#include <functional>
#include <string>
#include <string_view>

#include "shell/ini_document.h"
#include "shell/text_codec.h"

namespace lumar {

inline constexpr size_t kMaxValueChars = 1023;
// Far beyond any real settings, language or hosters file; a larger one is damaged or hostile.
inline constexpr size_t kMaxIniFileBytes = 4 * 1024 * 1024;

// A file parsed once. A missing or unreadable file is an empty document without problem; a
// file over the size limit is an empty document and `problem` names the limit.
struct IniFile {
    IniDocument document;
    TextEncoding encoding = TextEncoding::kWindows1252;
    std::string problem;
};
IniFile LoadIniFile(const std::string& file);

// Reads a value from the file at `file`. A missing or unreadable file, section or key gives
// the default (rule 3). Never fails.
std::string ReadValue(const std::string& file, std::string_view section, std::string_view key,
                      std::string_view defaultValue);
// The same with a numeric default, which is looked up as its decimal text.
std::string ReadValue(const std::string& file, std::string_view section, std::string_view key,
                      long long defaultNumber);

// Writes one key: replaces the value of an existing key or adds the key (and its section,
// and the file) when missing; every other line of the file stays as it was. The file is
// replaced atomically under its lock (see UpdateIniFile). Returns false when nothing was
// written: the file is write-protected, the folder and the file are not writable, the file is
// over the size limit, or a name or the value holds a line break or NUL (which would corrupt
// the file).
// Callers that follow the classic silent-write rule ignore the result.
bool WriteValue(const std::string& file, std::string_view section, std::string_view key,
                std::string_view value);
// The same, returning "" when written, else why not.
std::string WriteValueOrReason(const std::string& file, std::string_view section,
                               std::string_view key, std::string_view value);

// Reads, changes and writes the file as one step under its lock (see locked_file.h), so a
// second program writing at the same time loses nothing: `change` gets the file's current
// text and returns the new text (UTF-8). Returns "" when written, else why not. A file written
// after every upload goes through its spare (kThroughSpare, see locked_file.h).
enum class IniWrite { kNewFile, kThroughSpare };
std::string UpdateIniFile(const std::string& file,
                          const std::function<std::string(const IniDocument&)>& change,
                          IniWrite how = IniWrite::kNewFile);

// The same rules on INI text already in memory (UTF-8), so tests and fuzzers can feed
// strings. ReadValueFromText applies rules 1 to 4; SetValueInText returns the text with the
// one key set, keeping the text's line endings (CR LF for text that has none yet).
std::string ReadValueFromText(std::string_view text, std::string_view section, std::string_view key,
                              std::string_view defaultValue);
std::string SetValueInText(std::string_view text, std::string_view section, std::string_view key,
                           std::string_view value);

// True when the name or value can be written without breaking the line structure.
bool IsWritableName(std::string_view name);
bool IsWritableValue(std::string_view value);

}  // namespace lumar
