#pragma once
// Which language the interface speaks and which file its texts come from.
//
// The texts are built in German. The data folder ships one file per language,
// lang/<code>.ini: de.ini corrects the built-in German, en.ini translates it. The language is
// the one named by Bilder/Sprache, else the locale's in gettext's order (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG). A C or POSIX locale, or none, keeps the built-in texts byte for byte,
// so scripts that read lumar-cli's log lines see what they always saw. A language.ini in the
// settings folder wins over all of it.
#include <string>
#include <string_view>
#include <vector>

namespace lumar {

// The locale variables gettext reads, in its order; empty when unset.
struct LocaleVariables {
    std::string language;    // LANGUAGE, a colon-separated list of preferences
    std::string lcAll;       // LC_ALL
    std::string lcMessages;  // LC_MESSAGES
    std::string lang;        // LANG
};
LocaleVariables CurrentLocaleVariables();

// The language of the built-in texts.
inline constexpr std::string_view kBuiltInLanguage = "de";
// What a locale in no language Lumar has gets.
inline constexpr std::string_view kFallbackLanguage = "en";

// The codes of the files in <dataFolder>/lang/, sorted ("de", "en").
std::vector<std::string> ShippedLanguages(const std::string& dataFolder);

// The language of the interface: `chosen` (Bilder/Sprache) when it is the built-in language or
// one of `shipped`; else "" for a C, POSIX or missing locale (the built-in texts as they are);
// else the first language of LANGUAGE, then the locale's own, that Lumar has; else the
// fallback.
std::string ChooseLanguage(const LocaleVariables& locale, std::string_view chosen,
                           const std::vector<std::string>& shipped);

// The file the texts are read from: the settings folder's language.ini when it is a regular
// file, else the shipped file of `language`, else the settings folder's (missing) language.ini,
// which gives the built-in texts.
std::string LanguageFileFor(const std::string& configFolder, const std::string& dataFolder,
                            const std::string& language);

}  // namespace lumar
