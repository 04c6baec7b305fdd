#include "shell/upload_totals.h"

#include "shell/settings_keys.h"
#include "shell/settings_store.h"

namespace lumar {

TotalsUpdate AddUploadToTotals(const std::string& settingsFile, const UploadTotals& shown,
                               double addedBytes) {
    UploadTotals written;
    const std::string problem = UpdateIniFile(
        settingsFile,
        [&](const IniDocument& ini) {
            auto read = [&ini](const SettingKey& key) {
                return CountFromText(ini.Read(key.section, key.key, DefaultText(key)));
            };
            written = {read(keys::StatFiles) + 1, read(keys::StatSize) + addedBytes};
            const IniDocument withFiles(ini.WithValue(keys::StatFiles.section, keys::StatFiles.key,
                                                      FormatCount(written.files)));
            return withFiles.WithValue(keys::StatSize.section, keys::StatSize.key,
                                       FormatCount(written.bytes));
        },
        IniWrite::kThroughSpare);
    if (problem.empty()) return {written, ""};
    return {OneMoreUpload(shown, addedBytes), problem};
}

}  // namespace lumar
