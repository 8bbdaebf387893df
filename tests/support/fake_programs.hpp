#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "support/temp_dir.hpp"

namespace bootsmith::testing {

/// A temporary bin/ folder put first on PATH for the life of the object (the
/// old PATH is restored afterwards). Fake programs are shell scripts.
class FakePrograms {
  public:
    /// With `only` set, PATH holds the fake folder alone, so that real programs
    /// of the same names cannot be found.
    explicit FakePrograms(bool only = false);
    ~FakePrograms();
    FakePrograms(const FakePrograms&) = delete;
    FakePrograms& operator=(const FakePrograms&) = delete;

    /// Writes an executable script `name` whose body follows "#!/bin/sh\n".
    std::filesystem::path add(std::string_view name, std::string_view body) const;
    /// Adds a program that appends its arguments (one line, space-joined) to the
    /// calls log and then runs `body`.
    std::filesystem::path add_logged(std::string_view name, std::string_view body = "") const;
    /// Lines of the calls log: "<name> <args...>".
    [[nodiscard]] std::string calls() const;
    [[nodiscard]] const std::filesystem::path& bin() const { return m_bin; }
    [[nodiscard]] const std::filesystem::path& root() const { return m_dir.path(); }

  private:
    TempDir m_dir;
    std::filesystem::path m_bin;
    std::string m_old_path;
    bool m_had_path = false;
};

}  // namespace bootsmith::testing
