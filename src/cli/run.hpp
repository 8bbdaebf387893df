#pragma once

#include <string>
#include <vector>

namespace bootsmith::cli {

/// The program's one entry: runs one command and returns its exit status.
[[nodiscard]] int run(const std::vector<std::string>& args);

}  // namespace bootsmith::cli
