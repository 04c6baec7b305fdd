#pragma once
// The image hosters Lumar can upload to: seven built-in rows, optionally changed and extended
// by hosters.ini in the settings folder.
//
// Row 0 exists but is empty; rows 1 to 7 are the built-in hosters in the order of the hoster
// choice (list index k is row k + 1). hosters.ini may change any field of rows 1 to 7
// (sections Hoster1..Hoster7) and add rows after them (Hoster8, Hoster9, ... numbered without
// gaps; the first missing number ends the list).
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "shell/ini_document.h"

namespace lumar {

using NamedValues = std::vector<std::pair<std::string, std::string>>;

// How a row's request is made. Classic rows send the bytes the old hosts were written for
// (HTTP/1.0, the full path as file name); standard rows send what today's hosts expect
// (HTTP/1.1, TLS, RFC 7578 multipart or the raw image, headers and query of their own).
enum class RequestKind { kClassic, kStandard };
enum class BodyKind { kMultipart, kBinary };
// Which code a standard row builds from the links of its answer.
enum class CodeStyle {
    kLinkedThumbnail,  // [URL=<url>][IMG]<thumbnail>[/IMG][/URL], or the full image without one
    kFullImage,        // [IMG]<url>[/IMG]
    kLinkOnly,         // [URL]<url>[/URL]
};
// Where a row comes from: the program, hosters.ini, a definition of the user's in hosters.d,
// or a preset shipped in the data folder.
enum class RowOrigin { kBuiltIn, kHostersIni, kDefinition, kPreset };

struct HosterDef {
    std::string Name;         // entry of the hoster choice
    std::string HomeUrl;      // the service's home page, shown beside the choice
    std::string MaxSizeText;  // size limit as display text ("1536kB"); display only
    std::string ConnectHost;  // host the upload connects to and names in the Host header
    std::string UploadUrl;    // form action; only its path is used
    std::string FormNames;    // extra form fields, "|"-separated
    std::string FormValues;   // their values, "|"-separated, same count; empty item = empty value
    std::string FileField;    // form field the image is sent under
    std::string StartMarker;  // must occur in the answer; the code search starts there
    std::string CodeMarker;   // optional: where the code begins, searched from StartMarker on
    std::string EndMarker;    // ends the code (not part of it)
    std::int16_t TrimCount = 0;  // characters cut from the end of the code
    std::uint16_t Port = 80;     // TCP port of ConnectHost

    // Stable identity: "Hoster<N>" for built-in and hosters.ini rows, the file name without
    // ".sxcu" for definitions and presets.
    std::string Id;
    RowOrigin Origin = RowOrigin::kBuiltIn;

    // Standard rows only; classic rows ignore everything below.
    RequestKind Request = RequestKind::kClassic;
    std::string Method = "POST";
    BodyKind Body = BodyKind::kMultipart;  // multipart: FormNames/FormValues and FileField
    NamedValues Headers;                   // sent after Lumar's own
    NamedValues Parameters;                // added to UploadUrl's query
    // Form fields of definitions, sent before the file; unlike the FormValues list a value
    // may hold "|".
    NamedValues Arguments;
    // UploadUrl, Headers, Parameters and Arguments are templates, evaluated per image
    // (request_template.h): set for rows read from definitions, whose format says so.
    bool RequestTemplates = false;
    std::string CaFile;  // trusted in addition to the system's store
    // Answer templates; an empty UrlTemplate with StartMarker set cuts the code between the
    // markers as classic rows do, without markers the whole answer is the URL.
    std::string UrlTemplate, ThumbnailTemplate, DeletionTemplate, ErrorTemplate;
    // A regular expression (PCRE2, case ignored) that the host's answer to the deletion
    // address matches once it deleted the picture; "" when the row does not know it (many
    // deletion addresses are pages with a confirm step), so the page is opened for the user.
    std::string DeletionConfirm;
    CodeStyle Style = CodeStyle::kLinkedThumbnail;
    std::uint64_t MaxBytes = 0;  // largest file the host takes; 0 = not known
    // Images in flight at once and tries after a transient failure; -1 = the default of the
    // row's kind (ConnectionsFor, RetriesFor).
    int Connections = -1;
    int Retries = -1;
    // The picture types the row takes, "jpeg,png,gif,webp" or part of it; "" = JPEG for
    // classic rows, all four for standard rows (hoster_accepts.h).
    std::string Accepts;
    // Names of headers, parameters and form fields that hold keys although their names do not
    // say so (key_names.h): left out of shared definitions, never sent on to another host.
    std::vector<std::string> SecretNames;

    bool operator==(const HosterDef&) const = default;
};

// What decides where a row's pictures went: the origin and path its requests go to and the
// form field the file goes in (classic rows: ConnectHost and Port with UploadUrl's path). The
// history reuses a code only for the same key, so a row replaced under the same ID, or one
// whose address changed, never hands out another host's code.
std::string ReuseKey(const HosterDef& row);

// Why `pattern` cannot serve as a DeletionConfirm; "" when it can.
std::string DeletionConfirmProblem(const std::string& pattern);
// Whether the deletion answer `body` matches the row's DeletionConfirm `pattern`.
bool DeletionConfirmed(const std::string& pattern, const std::string& body);

// What a row asks for, its kind's default when it sets nothing: 3 connections and 2 retries
// for standard rows, 1 and 0 for classic ones, whose hosts were made for one at a time.
int ConnectionsFor(const HosterDef& row);
int RetriesFor(const HosterDef& row);

// The built-in table: index 0 empty, indexes 1 to 7 the seven hosters.
std::vector<HosterDef> InitHosters();

// Number of built-in rows (1 to 7).
inline constexpr int kBuiltInHosterCount = 7;

struct HosterTable {
    std::vector<HosterDef> Hosters;     // index 0 empty, then rows 1..N
    std::vector<std::string> problems;  // one line per skipped row or ignored value

    // Rows 1..N; row 0 is not counted.
    [[nodiscard]] int Count() const { return static_cast<int>(Hosters.size()) - 1; }
    // The row, or the empty row 0 for an index outside 1..Count().
    [[nodiscard]] const HosterDef& Row(int index) const;
};

// The built-in table changed and extended by the INI text of hosters.ini (UTF-8, as the
// settings store decodes it). Values follow ReadValue's rules (quotes keep leading blanks).
// A key present with an empty value sets the field empty.
//
// A value that would make a built-in row unusable (an empty required field, a bad number,
// form names and values of different counts) is ignored and reported; the row keeps its
// built-in value. An added row that lacks a required field (Name, ConnectHost, UploadUrl,
// FileField, StartMarker, EndMarker) or holds a bad value is skipped and reported, and the
// rows after it move up.
HosterTable LoadHostersFromText(std::string_view iniText);
HosterTable LoadHostersFromDocument(const IniDocument& ini);

// LoadHostersFromText over the file, parsed once; a missing file gives the built-in table
// without problems, a file over the size limit the built-in table with that problem.
HosterTable LoadHosters(const std::string& hostersFile);

// The items of a "|"-separated list; an empty text is no item at all.
std::vector<std::string> SplitFormList(const std::string& text);

struct FormField {
    std::string name;
    std::string value;
};
// The extra form fields of a row, names paired with values in order, or false in `ok` when
// the counts differ. A single name with an empty value list is one field with an empty value.
std::vector<FormField> FormFields(const HosterDef& hoster, bool* ok = nullptr);

}  // namespace lumar
