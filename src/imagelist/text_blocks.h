#pragma once
// The user's own text blocks, numbered from 1 for the whole run of the program. A number is
// handed out once and never again, also not after its row was removed or the list cleared;
// blocks are never deleted. Text-block rows of the image list ("*VBCode_<n>*") refer to them.
#include <optional>
#include <string>
#include <vector>

namespace lumar {

class TextBlocks {
  public:
    // Stores a new block and returns its number (TextBlockCount after the call).
    int Add(std::string text) {
        blocks_.push_back(std::move(text));
        return Count();
    }
    // Replaces block `number`; false when no such block exists.
    bool Set(int number, std::string text) {
        if (number < 1 || number > Count()) return false;
        blocks_[static_cast<size_t>(number - 1)] = std::move(text);
        return true;
    }
    // The block, or nullopt when the number names none.
    [[nodiscard]] std::optional<std::string> Get(int number) const {
        if (number < 1 || number > Count()) return std::nullopt;
        return blocks_[static_cast<size_t>(number - 1)];
    }
    // TextBlockCount: the number of the newest block, 0 before the first.
    [[nodiscard]] int Count() const { return static_cast<int>(blocks_.size()); }

  private:
    std::vector<std::string> blocks_;
};

// How the editor was opened by the image list.
enum class TextBlockEditMode { kNew = 1, kChange = 2 };

// Where a new text-block row goes relative to the current row of the list.
enum class TextBlockPlacement { kBefore = 0, kAfter = 1 };  // "davor", "danach"

}  // namespace lumar
