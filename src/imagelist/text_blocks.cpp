#include "imagelist/text_blocks.h"

#include "shell/settings_keys.h"

namespace lumar {

std::optional<int> TextBlockNumber(const std::string& rowText) {
    constexpr std::string_view prefix = "*VBCode_";
    if (rowText.size() <= prefix.size() + 1 || rowText.rfind(prefix, 0) != 0 || rowText.back() != '*')
        return std::nullopt;
    const std::string digits = rowText.substr(prefix.size(), rowText.size() - prefix.size() - 1);
    if (digits.empty() || digits.front() == '0' || digits.front() == '+') return std::nullopt;
    long long number = 0;
    if (!ParseInteger(digits, number) || number < 1 || number > 2147483647) return std::nullopt;
    return static_cast<int>(number);
}

}  // namespace lumar
