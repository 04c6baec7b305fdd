#pragma once
// One INI text parsed once into its sections and keys, so that any number of lookups cost
// no more than the parse: the hoster table and the language table ask for hundreds of keys,
// and splitting the whole text again for every key made large files quadratic.
//
// The read rules are those of settings_store.h. Offsets are 32-bit: the files are capped far
// below 4 GiB before they are parsed (kMaxIniFileBytes), and a longer text is parsed only up
// to that size.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumar {

class IniDocument {
  public:
    IniDocument() = default;
    // `text` is UTF-8 (see text_codec.h).
    explicit IniDocument(std::string text);

    [[nodiscard]] const std::string& Text() const { return text_; }

    // The stored value after rules 2 and 4, or nullopt when the section or the key is missing.
    [[nodiscard]] std::optional<std::string> Find(std::string_view section,
                                                  std::string_view key) const;
    // Find, or the default after rule 3.
    [[nodiscard]] std::string Read(std::string_view section, std::string_view key,
                                   std::string_view defaultValue) const;
    // The whole text with one key set: an existing value replaced in place, a missing key
    // added after the last non-blank line of its section, a missing section added at the end.
    [[nodiscard]] std::string WithValue(std::string_view section, std::string_view key,
                                        std::string_view value) const;

  private:
    struct Key {
        uint32_t nameBegin, nameSize;
        uint32_t valueBegin, valueEnd;  // the raw value: after the first '=' to the line's end
    };
    struct Section {
        uint32_t nameBegin, nameSize;
        uint32_t firstKey, keyCount;  // its keys in keys_, in file order
        uint32_t contentEnd;          // offset after the line ending of its last non-blank line
    };

    [[nodiscard]] std::string_view View(uint32_t begin, uint32_t size) const {
        return std::string_view(text_).substr(begin, size);
    }
    [[nodiscard]] const Section* FindSection(std::string_view name) const;
    [[nodiscard]] const Key* FindKey(const Section& section, std::string_view name) const;

    std::string text_;
    std::vector<Section> sections_;  // in file order
    std::vector<uint32_t>
        byName_;  // indexes of sections_, ordered by name; the first of a name first
    std::vector<Key> keys_;
};

}  // namespace lumar
