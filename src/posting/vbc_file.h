#pragma once
// .vbc files: one posting or text block as plain text followed by exactly one CR LF, without
// header. Written in Windows-1252 whenever every character fits (what older installs read),
// otherwise in UTF-8, so nothing typed is ever lost; reading detects which of the two it is.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "shell/settings_keys.h"

namespace lumar {

// Filter and default extension of the save and open dialogs for .vbc files.
inline constexpr std::string_view kVbcFilter = "VBCode (*.vbc)|*.vbc";
inline constexpr std::string_view kVbcExtension = ".vbc";

// The bytes of a .vbc file holding `text` (UTF-8): the text, one CR LF, encoded.
std::string VbcFileBytes(std::string_view text);

// The text of a .vbc file's bytes (UTF-8), closing CR LF included.
std::string VbcTextFromBytes(std::string_view bytes);

// Writes the file atomically: on failure the old file (if any) stays as it was and no
// half-written file is left. Returns an empty string on success, else the reason.
std::string SaveVbcFile(const std::string& path, std::string_view text);

// No posting comes near this; a larger file is no .vbc to load into the text box.
inline constexpr size_t kMaxVbcBytes = 16u * 1024u * 1024u;

// The file's text, or nullopt (with the reason in `error` when given) when it cannot be read
// or is larger than kMaxVbcBytes.
std::optional<std::string> LoadVbcFile(const std::string& path, std::string* error = nullptr);

// After a successful save: remembers the folder of `savedPath` (with its trailing
// separator) under `key` (SavePath or SavePathCode), so the next dialog opens there.
void RememberSaveFolder(const std::string& settingsFile, const SettingKey& key,
                        const std::string& savedPath);

}  // namespace lumar
