#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace bootsmith::testing {

/// A fresh folder under the system's temporary folder, removed with everything
/// in it when the object goes away.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }
    /// Writes a file below the folder (creating its parents) and returns its path.
    std::filesystem::path write(std::string_view relative, std::string_view content) const;
    /// Reads a file below the folder whole ("" when it cannot be read).
    [[nodiscard]] std::string read(std::string_view relative) const;

  private:
    std::filesystem::path m_path;
};

/// Reads a whole file as bytes ("" when it cannot be read).
[[nodiscard]] std::string read_file(const std::filesystem::path& path);
/// Writes a whole file, creating its parent folders.
void write_file(const std::filesystem::path& path, std::string_view content);

}  // namespace bootsmith::testing
