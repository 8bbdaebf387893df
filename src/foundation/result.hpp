#pragma once

#include <expected>
#include <string>
#include <utility>

namespace bootsmith {

/// A value or one complete English sentence for the user saying why there is none.
template <typename T>
using Result = std::expected<T, std::string>;

/// Success or a sentence for the user.
using Status = std::expected<void, std::string>;

/// The failure half of a Result, so that `return fail("...")` reads naturally.
inline std::unexpected<std::string> fail(std::string message) {
    return std::unexpected(std::move(message));
}

}  // namespace bootsmith

/// Evaluates a Result; on failure returns its message from the calling
/// function, otherwise yields the value (GNU statement expression).
#define BOOTSMITH_TRY(expr)                                                     \
    ({                                                                          \
        auto bootsmith_try_result_ = (expr);                                    \
        if (!bootsmith_try_result_)                                             \
            return ::bootsmith::fail(std::move(bootsmith_try_result_).error()); \
        std::move(*bootsmith_try_result_);                                      \
    })

/// Evaluates a Status; on failure returns its message from the calling function.
#define BOOTSMITH_CHECK(expr)                                                     \
    do {                                                                          \
        auto bootsmith_check_result_ = (expr);                                    \
        if (!bootsmith_check_result_)                                             \
            return ::bootsmith::fail(std::move(bootsmith_check_result_).error()); \
    } while (false)
