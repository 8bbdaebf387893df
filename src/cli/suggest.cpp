#include "cli/suggest.hpp"

#include <algorithm>
#include <cstddef>

namespace bootsmith::cli {

namespace {

// Edit distance where a swap of two neighbours is one slip (optimal string
// alignment), over bytes: option names are ASCII.
std::size_t slips(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) {
        d[i][0] = i;
    }
    for (std::size_t j = 0; j <= b.size(); ++j) {
        d[0][j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

std::string_view without_dashes(std::string_view word) {
    while (word.starts_with('-')) {
        word.remove_prefix(1);
    }
    return word;
}

}  // namespace

std::optional<std::string> closest_word(std::string_view typed,
                                        const std::vector<std::string>& choices) {
    std::string_view bare = without_dashes(typed);
    if (bare.empty()) {
        return std::nullopt;
    }
    // Short words allow one slip, longer ones two.
    const std::size_t allowed = bare.size() <= 4 ? 1 : 2;
    std::optional<std::string> best;
    std::size_t best_slips = allowed + 1;
    bool tie = false;
    for (const auto& choice : choices) {
        std::size_t n = slips(bare, without_dashes(choice));
        if (n < best_slips) {
            best = choice;
            best_slips = n;
            tie = false;
        } else if (n == best_slips) {
            tie = true;
        }
    }
    if (best && !tie) {
        return best;
    }
    std::optional<std::string> prefixed;
    for (const auto& choice : choices) {
        if (without_dashes(choice).starts_with(bare)) {
            if (prefixed) {
                return std::nullopt;
            }
            prefixed = choice;
        }
    }
    return prefixed;
}

}  // namespace bootsmith::cli
