#include "foundation/unicode_case.hpp"

#include <algorithm>
#include <cstdint>
#include <span>

namespace bootsmith::util {
namespace {

// Characters first..last, every `step`-th one, map to themselves plus `delta`.
struct CaseRun {
    char32_t first;
    char32_t last;
    std::uint8_t step;
    std::int32_t delta;
};

// A mapping to several characters, or one that differs from the simple mapping;
// unused places hold 0.
struct FullMapping {
    char32_t code;
    std::array<char32_t, 3> chars;
};

struct SpaceRange {
    char32_t first;
    char32_t last;
};

#include "foundation/unicode_case_data.inc"

CaseMapping single(char32_t c) {
    return CaseMapping{{c, 0, 0}, 1};
}

CaseMapping look_up(char32_t c, std::span<const FullMapping> full, std::span<const CaseRun> runs) {
    auto special =
        std::lower_bound(full.begin(), full.end(), c,
                         [](const FullMapping& m, char32_t key) { return m.code < key; });
    if (special != full.end() && special->code == c) {
        CaseMapping mapping;
        mapping.chars = special->chars;
        mapping.count = static_cast<std::size_t>(
            std::find(mapping.chars.begin(), mapping.chars.end(), U'\0') - mapping.chars.begin());
        return mapping;
    }
    // The last run that starts at or before c; runs never overlap.
    auto after = std::upper_bound(runs.begin(), runs.end(), c,
                                  [](char32_t key, const CaseRun& r) { return key < r.first; });
    if (after == runs.begin()) {
        return single(c);
    }
    const CaseRun& run = *(after - 1);
    if (c > run.last || (c - run.first) % run.step != 0) {
        return single(c);
    }
    return single(static_cast<char32_t>(static_cast<std::int64_t>(c) + run.delta));
}

}  // namespace

CaseMapping lower_mapping(char32_t c) {
    return look_up(c, lower_full, lower_runs);
}

CaseMapping upper_mapping(char32_t c) {
    return look_up(c, upper_full, upper_runs);
}

bool is_white_space(char32_t c) {
    if (c < 0x80) {
        return c == ' ' || (c >= '\t' && c <= '\r');
    }
    return std::any_of(std::begin(white_space), std::end(white_space),
                       [c](const SpaceRange& r) { return c >= r.first && c <= r.last; });
}

}  // namespace bootsmith::util
