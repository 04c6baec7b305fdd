#include "session/hoster_choice.h"

#include <algorithm>

#include "hosters/hoster_rows.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"

namespace lumar {

int RememberedHosterRow(const HosterTable& table, const std::string& settingsFile) {
    const IniDocument settings = LoadIniFile(settingsFile).document;
    const auto stored = [&settings](const SettingKey& key) {
        return settings.Find(key.section, key.key).has_value();
    };
    if (!stored(keys::Anbieter) && !stored(keys::AnbieterId))
        return std::max(FindHosterRow(table, kFirstStartHosterId), 1);
    if (const int byId = FindHosterRow(table, ReadTextSetting(settingsFile, keys::AnbieterId));
        byId > 0)
        return byId;
    return std::min(ReadIntSetting(settingsFile, keys::Anbieter) + 1, table.Count());
}

void RememberHosterRow(const HosterTable& table, int row, const std::string& settingsFile) {
    WriteSetting(settingsFile, keys::Anbieter, static_cast<long long>(row - 1));
    WriteSetting(settingsFile, keys::AnbieterId, table.Row(row).Id);
}

}  // namespace lumar
