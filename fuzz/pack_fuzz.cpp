// Any bytes either fail to read as a knowledge pack, with a message, or give a
// pack; and version comparison, fed the pieces between NULs, is an order.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "knowledge/pack.hpp"

namespace {

using bootsmith::knowledge::compare_versions;
using bootsmith::knowledge::Order;

[[noreturn]] void stop(const char* why) {
    std::fprintf(stderr, "%s\n", why);
    std::abort();
}

Order reversed(Order order) {
    return order == Order::less ? Order::greater : order == Order::greater ? Order::less : order;
}

std::string_view next_piece(std::string_view& rest) {
    const std::size_t nul = rest.find('\0');
    const std::string_view piece = rest.substr(0, nul);
    rest = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
    return piece;
}

void check_versions(std::string_view text) {
    const std::string_view a = next_piece(text);
    const std::string_view b = next_piece(text);
    const std::string_view c = next_piece(text);
    if (compare_versions(a, a) != Order::equal) {
        stop("a version differs from itself");
    }
    const Order ab = compare_versions(a, b);
    const Order bc = compare_versions(b, c);
    if (compare_versions(b, a) != reversed(ab)) {
        stop("comparing the other way round is not the reverse");
    }
    if (ab == bc && compare_versions(a, c) != ab) {
        stop("comparison is not transitive");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto pack = bootsmith::knowledge::parse_pack(text);
    if (!pack && pack.error().empty()) {
        stop("failure without a message");
    }
    check_versions(text);
    return 0;
}
