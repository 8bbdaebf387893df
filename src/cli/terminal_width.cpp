#include "cli/terminal_width.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

#include <charconv>
#include <string>

#include "foundation/text.hpp"

namespace bootsmith::cli {

std::optional<std::size_t> terminal_columns() {
    if (::isatty(STDOUT_FILENO) != 1) {
        return std::nullopt;
    }
    std::string columns = util::env_text("COLUMNS");
    std::size_t number = 0;
    auto [end, ec] = std::from_chars(columns.data(), columns.data() + columns.size(), number);
    if (!columns.empty() && ec == std::errc() && end == columns.data() + columns.size() &&
        number > 0) {
        return number;
    }
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return static_cast<std::size_t>(size.ws_col);
    }
    return std::nullopt;
}

}  // namespace bootsmith::cli
