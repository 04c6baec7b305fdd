#include "hosters/hoster_table.h"

#include <algorithm>
#include <array>

#include "hosters/hoster_standard_keys.h"
#include "hosters/regex_match.h"
#include "net/host_name.h"
#include "net/http_url.h"
#include "shell/file_io.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "shell/text_codec.h"

namespace lumar {
namespace {

HosterDef Row(std::string name, std::string home, std::string maxSize, std::string host,
              std::string url, std::string formNames, std::string formValues, std::string fileField,
              std::string startMarker, std::string codeMarker, std::string endMarker,
              std::int16_t trim) {
    HosterDef h;
    h.Name = std::move(name);
    h.HomeUrl = std::move(home);
    h.MaxSizeText = std::move(maxSize);
    h.ConnectHost = std::move(host);
    h.UploadUrl = std::move(url);
    h.FormNames = std::move(formNames);
    h.FormValues = std::move(formValues);
    h.FileField = std::move(fileField);
    h.StartMarker = std::move(startMarker);
    h.CodeMarker = std::move(codeMarker);
    h.EndMarker = std::move(endMarker);
    h.TrimCount = trim;
    return h;
}

// Reading a key with this default tells a missing key from an empty value.
constexpr std::string_view kMissing = "\x01missing";

enum class Field {
    kName,
    kHomeUrl,
    kMaxSizeText,
    kConnectHost,
    kUploadUrl,
    kFormNames,
    kFormValues,
    kFileField,
    kStartMarker,
    kCodeMarker,
    kEndMarker,
    kTrimCount,
    kPort
};

struct KeyInfo {
    std::string_view key;
    Field field;
    bool required;
};

constexpr std::array<KeyInfo, 13> kKeys = {{
    {"Name", Field::kName, true},
    {"HomeUrl", Field::kHomeUrl, false},
    {"MaxSizeText", Field::kMaxSizeText, false},
    {"ConnectHost", Field::kConnectHost, true},
    {"UploadUrl", Field::kUploadUrl, true},
    {"FormNames", Field::kFormNames, false},
    {"FormValues", Field::kFormValues, false},
    {"FileField", Field::kFileField, true},
    {"StartMarker", Field::kStartMarker, true},
    {"CodeMarker", Field::kCodeMarker, false},
    {"EndMarker", Field::kEndMarker, true},
    {"TrimCount", Field::kTrimCount, false},
    {"Port", Field::kPort, false},
}};

std::string* TextField(HosterDef& h, Field f) {
    switch (f) {
        case Field::kName:
            return &h.Name;
        case Field::kHomeUrl:
            return &h.HomeUrl;
        case Field::kMaxSizeText:
            return &h.MaxSizeText;
        case Field::kConnectHost:
            return &h.ConnectHost;
        case Field::kUploadUrl:
            return &h.UploadUrl;
        case Field::kFormNames:
            return &h.FormNames;
        case Field::kFormValues:
            return &h.FormValues;
        case Field::kFileField:
            return &h.FileField;
        case Field::kStartMarker:
            return &h.StartMarker;
        case Field::kCodeMarker:
            return &h.CodeMarker;
        case Field::kEndMarker:
            return &h.EndMarker;
        case Field::kTrimCount:
        case Field::kPort:
            return nullptr;
    }
    return nullptr;
}

// Fields that go into the request line, its headers or the part headers, where a line break
// would end the line and let the file write lines of its own.
bool GoesOnTheWire(Field f) {
    return f == Field::kConnectHost || f == Field::kUploadUrl || f == Field::kFormNames ||
           f == Field::kFormValues || f == Field::kFileField;
}

bool HasControlCharacter(std::string_view value) {
    return std::any_of(value.begin(), value.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// A standard row finds its host in UploadUrl and may read its answer without markers.
bool Required(const KeyInfo& info, const HosterDef& h) {
    if (h.Request == RequestKind::kClassic) return info.required;
    return info.field == Field::kName || info.field == Field::kUploadUrl ||
           (info.field == Field::kFileField && h.Body == BodyKind::kMultipart);
}

// Applies one value to the row; returns a problem text, empty when the value was taken.
std::string Apply(HosterDef& h, const KeyInfo& info, const std::string& value) {
    if (std::string* text = TextField(h, info.field)) {
        if (Required(info, h) && value.empty()) return std::string(info.key) + " is empty";
        if (GoesOnTheWire(info.field) && HasControlCharacter(value))
            return std::string(info.key) + " holds a control character";
        if (info.field == Field::kConnectHost && !net::IsHostName(value) &&
            !net::ParseDottedAddress(value))
            return "ConnectHost is no host name or address";
        *text = value;
        return {};
    }
    long long number = 0;
    if (!ParseInteger(value, number)) return std::string(info.key) + " is not a number";
    if (info.field == Field::kTrimCount) {
        if (number < 0 || number > 32767) return "TrimCount is out of range";
        h.TrimCount = static_cast<std::int16_t>(number);
    } else {
        // 65535 could never be connected to, and 0 is no port at all.
        if (number < 1 || number > 65534) return "Port is out of range";
        h.Port = static_cast<std::uint16_t>(number);
    }
    return {};
}

}  // namespace

std::vector<HosterDef> InitHosters() {
    std::vector<HosterDef> rows(8);
    rows[1] = Row("imagevenue", "http://www.imagevenue.com", "1536kB", "www.imagevenue.com",
                  "http://www.imagevenue.com/upload.php", "MAX_FILE_SIZE|action|imgcontent",
                  " |1|safe", "userfile[]", "<form name=\"form2\">", "[URL=", "</textarea>", 0);
    rows[2] = rows[1];
    rows[2].Name = "imagevenue (not safe for work - nudity)";
    rows[2].FormValues = " |1|notsafe";
    rows[3] = Row("imageshack", "http://www.imageshack.us", "1024kB", "www.imageshack.us",
                  "http://www.imageshack.us/index.php",
                  "uploadtype|MAX_FILE_SIZE|refer|brand|optimage|optsize|rembar",
                  "1|3145728|||0|0|0", "fileupload", "[URL=", "", "\"", 0);
    rows[4] = Row("dumpanimage", "http://www.dumpanimage.com", "3072kB", "www.dumpanimage.com",
                  "http://www.dumpanimage.com/upload.php", "max|vsnr|ts|gal|snr|tos",
                  "1|2940|200|no|2940|yes", "file[0]", "[URL=", "", "</textarea>", 1);
    rows[5] = Row("keepmyfile", "http://www.keepmyfile.com", "20480kB", "www.keepmyfile.com",
                  "http://www.keepmyfile.com/nav/save", "MAX_FILE_SIZE|fu_familysafe", "20971520|0",
                  "fu_upfile", "[URL=", "[URL=", "<br>", 0);
    rows[6] = Row("paintedover", "http://www.paintedover.com", "1536kB", "www.paintedover.com",
                  "http://www.paintedover.com/upload.php", "max_f_size|ror|description[1]",
                  "1936000|r27qd845kv|ORB", "userfile[1]", "[URL=", "", "</textarea>", 0);
    rows[7] = Row("supload", "http://www.supload.com/", "???kB", "www.supload.com",
                  "http://upload.supload.com/newupload.php",
                  "smallthumbs|gallery|bottombar|thumbnails|width|height",
                  "smallthumbs|||thumbnails|1600|3200", "file[]", "vBulletin Forum Codes",
                  "[URL=", "\\n</textarea>", 0);
    for (int number = 1; number <= kBuiltInHosterCount; ++number)
        rows[static_cast<size_t>(number)].Id = "Hoster" + std::to_string(number);
    return rows;
}

std::string ReuseKey(const HosterDef& row) {
    std::string where;
    if (row.Request == RequestKind::kClassic) {
        const size_t scheme = row.UploadUrl.find("://");
        const size_t path = row.UploadUrl.find('/', scheme == std::string::npos ? 0 : scheme + 3);
        std::string host = row.ConnectHost;
        std::ranges::transform(host, host.begin(), [](unsigned char c) {
            return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        });
        where = "http://" + net::HttpUrl{false, host, row.Port, "/"}.HostHeader() +
                (path == std::string::npos ? "/" : row.UploadUrl.substr(path));
    } else if (const Outcome<net::HttpUrl> url = net::ParseHttpUrl(row.UploadUrl); url) {
        where = url->ToString();
    } else {
        where = row.UploadUrl;  // a template the request evaluates; its text is the address
    }
    // The query holds keys and per-image values more often than a destination.
    where = where.substr(0, where.find_first_of("?#"));
    return where + "|" + (row.Body == BodyKind::kMultipart ? row.FileField : std::string());
}

std::string DeletionConfirmProblem(const std::string& pattern) {
    return RegexPatternProblem(pattern);
}

bool DeletionConfirmed(const std::string& pattern, const std::string& body) {
    if (pattern.empty()) return false;
    const TextResult match = MatchRegex(body, "(?i)" + pattern, "");
    return match.Ok() && !match.text.empty();
}

int ConnectionsFor(const HosterDef& row) {
    if (row.Connections >= 1) return row.Connections;
    return row.Request == RequestKind::kStandard ? 3 : 1;
}

int RetriesFor(const HosterDef& row) {
    if (row.Retries >= 0) return row.Retries;
    return row.Request == RequestKind::kStandard ? 2 : 0;
}

const HosterDef& HosterTable::Row(int index) const {
    static const HosterDef empty;
    if (index < 1 || index > Count()) return Hosters.empty() ? empty : Hosters[0];
    return Hosters[static_cast<size_t>(index)];
}

std::vector<std::string> SplitFormList(const std::string& text) {
    std::vector<std::string> items;
    if (text.empty()) return items;
    size_t start = 0;
    for (;;) {
        const size_t bar = text.find('|', start);
        if (bar == std::string::npos) {
            items.push_back(text.substr(start));
            return items;
        }
        items.push_back(text.substr(start, bar - start));
        start = bar + 1;
    }
}

std::vector<FormField> FormFields(const HosterDef& hoster, bool* ok) {
    const std::vector<std::string> names = SplitFormList(hoster.FormNames);
    std::vector<std::string> values = SplitFormList(hoster.FormValues);
    if (names.size() == 1 && values.empty()) values.emplace_back();
    std::vector<FormField> fields;
    if (names.size() != values.size()) {
        if (ok) *ok = false;
        return fields;
    }
    for (size_t i = 0; i < names.size(); ++i) fields.push_back({names[i], values[i]});
    if (ok) *ok = true;
    return fields;
}

HosterTable LoadHostersFromText(std::string_view iniText) {
    return LoadHostersFromDocument(IniDocument(std::string(iniText)));
}

namespace {

// What a hosters.ini section made of one row: the row and what was wrong with it.
struct SectionResult {
    bool present = false;  // the section sets at least one key
    HosterDef row;
    std::vector<std::string> problems;
    std::vector<std::string> missing;  // required keys an added row lacks
};

// Applies every key the section sets to `row`; a bad value leaves the field as it was.
SectionResult ApplySection(const IniDocument& ini, const std::string& section, bool builtIn,
                           HosterDef row) {
    SectionResult result;
    for (std::string_view key : kStandardKeys) {
        const std::string value = ini.Read(section, key, kMissing);
        if (value == kMissing) continue;
        result.present = true;
        std::string problem = ApplyStandardKey(row, key, value);
        if (!problem.empty()) result.problems.push_back(std::move(problem));
    }
    for (const KeyInfo& info : kKeys) {
        const std::string value = ini.Read(section, info.key, kMissing);
        if (value == kMissing) continue;
        result.present = true;
        const HosterDef before = row;
        std::string problem = Apply(row, info, value);
        if (!problem.empty()) {
            row = before;
            result.problems.push_back(std::move(problem));
        }
    }
    if (!builtIn) {
        for (const KeyInfo& info : kKeys)
            if (Required(info, row) && ini.Read(section, info.key, kMissing) == kMissing)
                result.missing.push_back(std::string(info.key) + " is missing");
    }
    result.row = std::move(row);
    return result;
}

bool RepeatsAName(const std::string& formNames) {
    std::vector<std::string> names = SplitFormList(formNames);
    std::sort(names.begin(), names.end());
    return std::adjacent_find(names.begin(), names.end()) != names.end();
}

// The form lists are checked as a pair, after both are set; a built-in row gets its own back.
void CheckFormLists(SectionResult& result, const HosterDef* original) {
    const auto restore = [&] {
        if (!original) return;
        result.row.FormNames = original->FormNames;
        result.row.FormValues = original->FormValues;
    };
    bool countsMatch = true;
    FormFields(result.row, &countsMatch);
    if (!countsMatch) {
        result.problems.push_back("FormNames and FormValues have different counts");
        restore();
    }
    if (RepeatsAName(result.row.FormNames)) {
        result.problems.push_back("FormNames repeats a name");
        restore();
    }
}

// A standard row is checked whole; a built-in row that fails it stays as it was.
void CheckStandardRow(SectionResult& result, const HosterDef* original) {
    if (!result.missing.empty()) return;
    std::vector<std::string> problems = StandardRowProblems(result.row);
    if (problems.empty()) return;
    if (original) result.row = *original;
    result.problems.insert(result.problems.end(), problems.begin(), problems.end());
}

// A built-in row takes what was sound; an added row is taken whole or skipped.
void TakeRow(HosterTable& table, int number, const std::string& section, SectionResult result) {
    if (number <= kBuiltInHosterCount) {
        for (const std::string& p : result.problems)
            table.problems.push_back("[" + section + "] " + p + "; value ignored");
        table.Hosters[static_cast<size_t>(number)] = std::move(result.row);
    } else if (!result.problems.empty()) {
        std::string line = "[" + section + "] skipped:";
        for (size_t i = 0; i < result.problems.size(); ++i)
            line += (i == 0 ? " " : "; ") + result.problems[i];
        table.problems.push_back(std::move(line));
    } else {
        result.row.Id = section;
        result.row.Origin = RowOrigin::kHostersIni;
        table.Hosters.push_back(std::move(result.row));
    }
}

}  // namespace

HosterTable LoadHostersFromDocument(const IniDocument& ini) {
    HosterTable table;
    table.Hosters = InitHosters();
    for (int number = 1;; ++number) {
        const std::string section = "Hoster" + std::to_string(number);
        const bool builtIn = number <= kBuiltInHosterCount;
        const HosterDef* original = builtIn ? &table.Hosters[static_cast<size_t>(number)] : nullptr;
        SectionResult result =
            ApplySection(ini, section, builtIn, original ? *original : HosterDef{});
        if (!result.present) {
            if (builtIn) continue;
            break;
        }
        CheckFormLists(result, original);
        CheckStandardRow(result, original);
        result.problems.insert(result.problems.end(), result.missing.begin(), result.missing.end());
        TakeRow(table, number, section, std::move(result));
    }
    return table;
}

HosterTable LoadHosters(const std::string& hostersFile) {
    IniFile ini = LoadIniFile(hostersFile);
    HosterTable table = LoadHostersFromDocument(ini.document);
    if (!ini.problem.empty())
        table.problems.insert(table.problems.begin(), ini.problem + "; built-in hosters used");
    return table;
}

}  // namespace lumar
