#include "shell/interface_language.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>

#include "shell/file_io.h"

namespace lumar {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// "de_DE.UTF-8@euro" -> "de".
std::string LanguageOf(std::string_view locale) {
    std::string code(locale.substr(0, locale.find_first_of("_.@")));
    for (char& c : code)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return code;
}

bool IsPlainLocale(std::string_view locale) {
    const std::string_view name = locale.substr(0, locale.find_first_of(".@"));
    return name == "C" || name == "POSIX";
}

// A code as a file name may carry it: letters only, so no path can be made of it.
bool IsLanguageCode(std::string_view code) {
    return !code.empty() && code.size() <= 8 &&
           std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

}  // namespace

LocaleVariables CurrentLocaleVariables() {
    return {Variable("LANGUAGE"), Variable("LC_ALL"), Variable("LC_MESSAGES"), Variable("LANG")};
}

std::vector<std::string> ShippedLanguages(const std::string& dataFolder) {
    std::vector<std::string> codes;
    const std::string folder = JoinPath(dataFolder, "lang");
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return codes;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!name.ends_with(".ini")) continue;
        const std::string code(name.substr(0, name.size() - 4));
        if (IsLanguageCode(code) && IsRegularFile(JoinPath(folder, std::string(name))))
            codes.push_back(code);
    }
    ::closedir(dir);
    std::sort(codes.begin(), codes.end());
    return codes;
}

std::string ChooseLanguage(const LocaleVariables& locale, std::string_view chosen,
                           const std::vector<std::string>& shipped) {
    const auto known = [&shipped](const std::string& code) {
        return code == kBuiltInLanguage ||
               std::find(shipped.begin(), shipped.end(), code) != shipped.end();
    };
    if (known(std::string(chosen))) return std::string(chosen);
    const std::string& name = !locale.lcAll.empty()        ? locale.lcAll
                              : !locale.lcMessages.empty() ? locale.lcMessages
                                                           : locale.lang;
    // gettext, too, ignores LANGUAGE under the C locale.
    if (name.empty() || IsPlainLocale(name)) return "";
    std::string_view preferences = locale.language;
    while (!preferences.empty()) {
        const size_t colon = preferences.find(':');
        std::string code = LanguageOf(preferences.substr(0, colon));
        if (known(code)) return code;
        preferences = colon == std::string_view::npos ? "" : preferences.substr(colon + 1);
    }
    const std::string own = LanguageOf(name);
    return known(own) ? own : std::string(kFallbackLanguage);
}

std::string LanguageFileFor(const std::string& configFolder, const std::string& dataFolder,
                            const std::string& language) {
    // Only a regular file counts: a folder or FIFO of that name must not hide the shipped texts.
    std::string local = JoinPath(configFolder, "language.ini");
    if (IsRegularFile(local)) return local;
    if (IsLanguageCode(language)) {
        std::string shipped = JoinPath(JoinPath(dataFolder, "lang"), language + ".ini");
        if (IsRegularFile(shipped)) return shipped;
    }
    return local;
}

}  // namespace lumar
