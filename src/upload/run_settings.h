#pragma once
// What a run reads from the settings while it runs, and where it keeps the upload totals.
//
// Every read asks anew, so a value changed during a run (the time-out in the options dialog
// between two images) is the next image's. The run holds no path: a front end hands it the
// settings it works on, and a test hands it its own file.
#include <string>

#include "shell/settings_keys.h"
#include "shell/upload_totals.h"

namespace lumar {

class RunSettings {
  public:
    virtual ~RunSettings() = default;

    // The value of `key` as the store reads it now; its default where nothing is stored.
    [[nodiscard]] virtual int Int(const SettingKey& key) const = 0;
    [[nodiscard]] virtual std::string Text(const SettingKey& key) const = 0;
    // Bilder/Timeout, a stored value outside its range used clamped.
    [[nodiscard]] virtual int TimeoutSeconds() const = 0;
    // One more uploaded file of `bytes` (see AddUploadToTotals).
    [[nodiscard]] virtual TotalsUpdate AddUpload(const UploadTotals& shown, double bytes) = 0;
    // Where the settings live, for a message that they could not be written.
    [[nodiscard]] virtual const std::string& Place() const = 0;
};

// The settings of Lumar.ini, each read and write through the store.
class SettingsFileForRun final : public RunSettings {
  public:
    explicit SettingsFileForRun(std::string settingsFile) : file_(std::move(settingsFile)) {}

    [[nodiscard]] int Int(const SettingKey& key) const override {
        return ReadIntSetting(file_, key);
    }
    [[nodiscard]] std::string Text(const SettingKey& key) const override {
        return ReadTextSetting(file_, key);
    }
    [[nodiscard]] int TimeoutSeconds() const override { return ReadTimeoutSeconds(file_); }
    TotalsUpdate AddUpload(const UploadTotals& shown, double bytes) override {
        return AddUploadToTotals(file_, shown, bytes);
    }
    [[nodiscard]] const std::string& Place() const override { return file_; }

  private:
    std::string file_;
};

// What a run without settings reads: every key's default (the store reads no file for "").
inline const RunSettings& DefaultRunSettings() {
    static const SettingsFileForRun defaults{""};
    return defaults;
}

}  // namespace lumar
