#pragma once
// A temporary folder that is removed with everything in it when the object goes away.
#include <string>

namespace lumar::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without trailing separator.
    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes bytes to a file below the folder (creating parent folders) and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const;
    // Reads a file below the folder; empty when missing.
    std::string read(const std::string& name) const;

  private:
    std::string path_;
};

}  // namespace lumar::test
