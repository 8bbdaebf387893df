// Any name gives a slug as entries.hpp describes it: small ASCII letters and
// digits with single "-" between runs, none at the ends, 1 to 48 bytes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/linux/changing/slug.hpp"

namespace {

bool well_formed(const std::string& slug) {
    if (slug.empty() || slug.size() > 48 || slug.front() == '-' || slug.back() == '-' ||
        slug.find("--") != std::string::npos) {
        return false;
    }
    for (char c : slug) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    const std::string slug = bootsmith::linux_backend::slug_of(name);
    if (!well_formed(slug) || bootsmith::linux_backend::slug_of(slug) != slug) {
        std::fprintf(stderr, "bad slug \"%s\"\n", slug.c_str());
        std::abort();
    }
    return 0;
}
