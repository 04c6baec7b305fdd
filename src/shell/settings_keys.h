#pragma once
// Every key Lumar keeps in Lumar.ini, with its type and default, in one place.
//
// Readers go through ReadIntSetting / ReadCountSetting / ReadTextSetting, which ask the file
// anew at each call. A numeric key that holds no number, or a number outside the key's range,
// reads as the key's default, so a hand-edited or damaged file never yields nonsense.
#include <string>
#include <string_view>
#include <vector>

#include "shell/project_addresses.h"

namespace lumar {

enum class SettingType {
    kFlag,   // "0" or "1" from a check box
    kInt,    // decimal integer
    kIndex,  // zero-based list or option index
    kPath,   // full folder or file path
    kCount,  // decimal number held as a double (upload totals)
};

struct SettingKey {
    std::string_view section;
    std::string_view key;
    SettingType type;
    std::string_view defaultValue;  // "~" stands for the user's home folder
    long long min = 0;              // range of Flag, Int and Index values
    long long max = 0;
};

namespace keys {
inline constexpr SettingKey Preview{"Bilder", "Preview", SettingType::kFlag, "1", 0, 1};
inline constexpr SettingKey Center{"Bilder", "Center", SettingType::kFlag, "1", 0, 1};
// Values above the last hoster select the last one; the caller clamps.
inline constexpr SettingKey Anbieter{"Bilder", "Anbieter", SettingType::kIndex, "0", 0, 32767};
// The chosen hoster's row ID; wins over Anbieter while a row of that ID exists.
inline constexpr SettingKey AnbieterId{"Bilder", "AnbieterId", SettingType::kPath, ""};
// Read through ReadTimeoutSeconds: a stored value outside the range is used clamped, since a
// time-out of 0 would fail every image at once and 99999 would wait for a day.
inline constexpr SettingKey Timeout{"Bilder", "Timeout", SettingType::kInt, "120", 1, 3600};
// The proxy of standard uploads: empty takes it from the environment, "direct" uses none,
// anything else is the proxy's address; NoProxy lists the hosts reached without it.
inline constexpr SettingKey Proxy{"Bilder", "Proxy", SettingType::kPath, ""};
inline constexpr SettingKey NoProxy{"Bilder", "NoProxy", SettingType::kPath, ""};
// Caps on what a row asks for: images in flight at once and tries after a transient failure;
// Reuse takes a code from the upload history instead of sending the same picture again.
inline constexpr SettingKey Connections{"Bilder", "Connections", SettingType::kInt, "4", 1, 8};
inline constexpr SettingKey Retries{"Bilder", "Retries", SettingType::kInt, "3", 0, 10};
inline constexpr SettingKey Reuse{"Bilder", "Reuse", SettingType::kFlag, "1", 0, 1};
// The ID of the row that takes an image the chosen row could not take; empty = none.
inline constexpr SettingKey Ersatz{"Bilder", "Ersatz", SettingType::kPath, ""};
// The interface's language ("de", "en", ...); empty = from the locale. Read at start-up.
inline constexpr SettingKey Sprache{"Bilder", "Sprache", SettingType::kPath, ""};
// The largest picture a run reads at all, in MB (1024 x 1024 bytes), whatever the row takes:
// a file of gigabytes would have to sit in memory whole before any host could refuse it.
inline constexpr SettingKey MaxFileMB{"Bilder", "MaxFileMB", SettingType::kInt, "200", 1, 1048576};
inline constexpr SettingKey Form{"Bilder", "Form", SettingType::kFlag, "1", 0, 1};
inline constexpr SettingKey Werbung{"Bilder", "Werbung", SettingType::kFlag, "1", 0, 1};
// What a run does to a picture before sending it: the longest side in pixels (0 = as it is),
// the JPEG quality of a shrunk picture, and the metadata stripping ("" = on for standard rows,
// off for classic rows; "1"/"0" for all rows).
inline constexpr SettingKey MaxSide{"Bilder", "MaxSide", SettingType::kInt, "0", 0, 65535};
inline constexpr SettingKey Quality{"Bilder", "Quality", SettingType::kInt, "85", 1, 100};
inline constexpr SettingKey Strip{"Bilder", "Strip", SettingType::kPath, ""};
// Screenshots and pasted pictures are kept this many days in the captures folder (0 = for good).
inline constexpr SettingKey CaptureDays{"Bilder", "CaptureDays", SettingType::kInt, "30", 0, 3650};
inline constexpr SettingKey Split{"Posting", "Split", SettingType::kFlag, "0", 0, 1};
inline constexpr SettingKey SplitSize{"Posting", "SplitSize", SettingType::kInt, "20", 0, 32767};
// 0 = BBCode, 1 = HTML, 2 = Markdown.
inline constexpr SettingKey Code{"Posting", "Code", SettingType::kIndex, "0", 0, 2};
inline constexpr SettingKey ImagesPerLine{"Posting", "ImagesPerLine", SettingType::kInt, "0", 0,
                                          32767};
// The posting goes to the clipboard when an upload run ends.
inline constexpr SettingKey AutoCopy{"Posting", "AutoCopy", SettingType::kFlag, "0", 0, 1};
// For a row whose answer gives the picture's address but no thumbnail, Lumar makes one of at
// most ThumbSize pixels on its longest side and uploads it beside the picture.
inline constexpr SettingKey OwnThumbs{"Posting", "OwnThumbs", SettingType::kFlag, "1", 0, 1};
inline constexpr SettingKey ThumbSize{"Posting", "ThumbSize", SettingType::kInt, "350", 16, 4096};
inline constexpr SettingKey SoundAn{"Sound", "SoundAn", SettingType::kFlag, "0", 0, 1};
inline constexpr SettingKey Soundfile{"Sound", "Soundfile", SettingType::kPath, ""};
inline constexpr SettingKey LastAddDir{"Verzeichnis", "LastAddDir", SettingType::kPath, "~"};
inline constexpr SettingKey SubDir{"Verzeichnis", "SubDir", SettingType::kFlag, "1", 0, 1};
// Written as "Sounddir"; the same key, since names match without regard to case.
inline constexpr SettingKey SoundDir{"Verzeichnis", "Sounddir", SettingType::kPath, "~"};
inline constexpr SettingKey SavePath{"VBCode", "SavePath", SettingType::kPath, "~"};
inline constexpr SettingKey Color{"VBCode", "Color", SettingType::kIndex, "0", 0, 39};
inline constexpr SettingKey Font{"VBCode", "Font", SettingType::kIndex, "0", 0, 20};
inline constexpr SettingKey Size{"VBCode", "Size", SettingType::kIndex, "2", 0, 6};
inline constexpr SettingKey Ausrichtung{"VBCode", "Ausrichtung", SettingType::kIndex, "0", 0, 1};
inline constexpr SettingKey SavePathCode{"VBCode", "SavePathCode", SettingType::kPath, "~"};
inline constexpr SettingKey StatFiles{"Stat", "Files", SettingType::kCount, "0"};
inline constexpr SettingKey StatSize{"Stat", "Size", SettingType::kCount, "0"};
// Where the update check looks; an empty VersionUrl switches the check off. The defaults are
// the build's addresses, empty unless the build sets them.
inline constexpr SettingKey VersionUrl{"Update", "VersionUrl", SettingType::kPath,
                                       kBuiltInAddresses.versionDocument};
inline constexpr SettingKey DownloadUrl{"Update", "DownloadUrl", SettingType::kPath,
                                        kBuiltInAddresses.downloadPage};
}  // namespace keys

// The default as text, with "~" replaced by the home folder (with trailing separator).
std::string DefaultText(const SettingKey& key);

// Parses an optional sign followed by decimal digits and nothing else. False on anything
// else, including empty text and overflow.
bool ParseInteger(std::string_view text, long long& out);

// Integer value of a Flag, Int or Index key; the default when the stored text is no number
// or lies outside the key's range.
int ReadIntSetting(const std::string& file, const SettingKey& key);
// The time-out of one upload in seconds: the stored number brought into the key's range; the
// default when the text is no number. lumar-cli's --timeout goes through the same clamp.
[[nodiscard]] int ReadTimeoutSeconds(const std::string& file);
[[nodiscard]] int ClampTimeoutSeconds(long long seconds);
// Numeric value of a Count key; 0 (the default) when the stored text is no number.
double ReadCountSetting(const std::string& file, const SettingKey& key);
// A count's stored text as ReadCountSetting reads it.
double CountFromText(const std::string& text);
// Text of any key (paths keep the store's rules; the default follows DefaultText).
std::string ReadTextSetting(const std::string& file, const SettingKey& key);

// Writes one key; see WriteValue for when nothing is written.
bool WriteSetting(const std::string& file, const SettingKey& key, std::string_view value);
bool WriteSetting(const std::string& file, const SettingKey& key, long long value);

// A count as decimal text without exponent or trailing zeros ("3", "6000", "2.5").
std::string FormatCount(double value);

}  // namespace lumar
