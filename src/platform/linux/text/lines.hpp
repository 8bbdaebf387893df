#pragma once

#include <string_view>

namespace bootsmith::linux_backend {

/// Calls `visit` with each line of the text (without its line feed).
template <typename Visit>
void for_each_line(std::string_view text, Visit visit) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        visit(text.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace bootsmith::linux_backend
