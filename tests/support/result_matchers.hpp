#pragma once

#include <gmock/gmock.h>

#include <string>

namespace bootsmith::testing {

/// Matches a Result/Status that holds a value.
MATCHER(IsOk, std::string("is a success")) {
    if (arg.has_value()) {
        return true;
    }
    *result_listener << "failed with \"" << arg.error() << "\"";
    return false;
}

/// Matches a Result/Status that failed with exactly this message.
MATCHER_P(FailsWith, message, std::string("fails with \"") + std::string(message) + "\"") {
    if (arg.has_value()) {
        *result_listener << "succeeded";
        return false;
    }
    if (arg.error() != std::string(message)) {
        *result_listener << "failed with \"" << arg.error() << "\"";
        return false;
    }
    return true;
}

}  // namespace bootsmith::testing
