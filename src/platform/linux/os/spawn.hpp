#pragma once

#include <chrono>
#include <expected>
#include <string>
#include <vector>

namespace bootsmith::linux_backend {

/// What a started program was doing when it was looked at.
enum class ChildState { running, succeeded, failed };

enum class ChildOutput { inherited, discarded };

/// Starts the program file `program` (a path) with `args` and this process's
/// environment, in a session of its own, and returns after at most `look`:
/// earlier when the program ends before. Nothing is kept of it and it never
/// becomes a zombie: it runs as the child of a small waiter process that is
/// itself detached and reaps it, so the program keeps a living parent (pkexec
/// refuses to work for a parent that has gone). The error is the errno value of
/// the failed start.
[[nodiscard]] std::expected<ChildState, int> spawn_detached(const std::string& program,
                                                            const std::vector<std::string>& args,
                                                            ChildOutput output,
                                                            std::chrono::milliseconds look);

}  // namespace bootsmith::linux_backend
