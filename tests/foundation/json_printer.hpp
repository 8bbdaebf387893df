#pragma once

#include <ostream>

#include "foundation/json.hpp"

namespace bootsmith::json {

/// Lets test failures show a value as its JSON text.
inline void PrintTo(const JsonValue& value, std::ostream* out) {
    *out << to_text(value);
}

}  // namespace bootsmith::json
