// Secrets: random tokens from the kernel and comparison that does not leak
// where two secrets differ.
#include "foundation/random.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace bootsmith::util {
namespace {

// Fills the buffer whole; an early end of file counts as a failure.
bool read_exactly(int fd, unsigned char* buffer, std::size_t size) {
    while (size > 0) {
        ssize_t got = ::read(fd, buffer, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        buffer += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

std::optional<std::string> random_hex(std::size_t n) {
    std::string bytes(n, '\0');
    int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    bool complete = read_exactly(fd, reinterpret_cast<unsigned char*>(bytes.data()), n);
    ::close(fd);
    if (!complete) {
        return std::nullopt;
    }
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * n);
    for (char byte : bytes) {
        auto value = static_cast<unsigned char>(byte);
        hex += digits[value >> 4];
        hex += digits[value & 15];
    }
    return hex;
}

bool equal_constant_time(std::string_view a, std::string_view b) {
    const std::size_t longer = a.size() > b.size() ? a.size() : b.size();
    // A length difference already decides the answer, but every byte is still
    // visited so that the time does not tell how much of a guess was right;
    // the volatile accumulator keeps the optimiser from ending the loop early.
    volatile unsigned difference = a.size() == b.size() ? 0u : 1u;
    for (std::size_t i = 0; i < longer; ++i) {
        auto x = static_cast<unsigned char>(i < a.size() ? a[i] : 0);
        auto y = static_cast<unsigned char>(i < b.size() ? b[i] : 0);
        difference = difference | static_cast<unsigned>(x ^ y);
    }
    return difference == 0;
}

}  // namespace bootsmith::util
