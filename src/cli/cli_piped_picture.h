#pragma once
// `lumar-cli upload -`: one picture read from standard input (`grim - | lumar-cli upload -`).
// The run sends files, so the picture is kept as one under the captures folder for as long as
// the command runs, under the name the host is to see.
#include <string>

namespace lumar::cli {

class PipedPicture {
  public:
    PipedPicture() = default;
    ~PipedPicture();
    PipedPicture(const PipedPicture&) = delete;
    PipedPicture& operator=(const PipedPicture&) = delete;

    // Reads standard input to its end and keeps the picture as `name` (empty: "<prefix>" and
    // the time, as captures are named). False, said on stderr, for bytes that are no picture,
    // more than the captures' limit, or a captures folder that cannot be written.
    [[nodiscard]] bool Read(const std::string& name, const std::string& capturesFolder,
                            const std::string& prefix);
    [[nodiscard]] const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace lumar::cli
