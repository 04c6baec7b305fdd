#include "shell/settings_keys.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "shell/file_io.h"
#include "shell/number_text.h"
#include "shell/settings_store.h"

namespace lumar {

std::string DefaultText(const SettingKey& key) {
    if (key.defaultValue != "~") return std::string(key.defaultValue);
    const char* home = std::getenv("HOME");
    return WithTrailingSeparator(home && *home ? home : "/");
}

bool ParseInteger(std::string_view text, long long& out) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return false;  // "+-1" is no number
    }
    if (text.empty()) return false;
    const auto* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, out);
    return result.ec == std::errc() && result.ptr == end;
}

int ReadIntSetting(const std::string& file, const SettingKey& key) {
    const std::string fallback = DefaultText(key);
    long long value = 0;
    if (ParseInteger(ReadValue(file, key.section, key.key, fallback), value) && value >= key.min &&
        value <= key.max)
        return static_cast<int>(value);
    ParseInteger(fallback, value);
    return static_cast<int>(value);
}

int ClampTimeoutSeconds(long long seconds) {
    return static_cast<int>(std::clamp(seconds, keys::Timeout.min, keys::Timeout.max));
}

int ReadTimeoutSeconds(const std::string& file) {
    long long value = 0;
    if (!ParseInteger(ReadTextSetting(file, keys::Timeout), value))
        ParseInteger(keys::Timeout.defaultValue, value);
    return ClampTimeoutSeconds(value);
}

double ReadCountSetting(const std::string& file, const SettingKey& key) {
    return CountFromText(ReadValue(file, key.section, key.key, DefaultText(key)));
}

double CountFromText(const std::string& text) {
    if (text.empty()) return 0;
    const std::optional<double> value = ParseNumber(text);
    if (!value || !std::isfinite(*value) || *value < 0) return 0;
    return *value;
}

std::string ReadTextSetting(const std::string& file, const SettingKey& key) {
    return ReadValue(file, key.section, key.key, DefaultText(key));
}

bool WriteSetting(const std::string& file, const SettingKey& key, std::string_view value) {
    return WriteValue(file, key.section, key.key, value);
}

bool WriteSetting(const std::string& file, const SettingKey& key, long long value) {
    return WriteValue(file, key.section, key.key, std::to_string(value));
}

std::string FormatCount(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<long long>(value));
    }
    std::string text = FormatFixed(value, 6);
    if (text.find('.') == std::string::npos) return text;  // inf or nan
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

}  // namespace lumar
