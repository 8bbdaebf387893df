#include "foundation/descriptor.hpp"

#include <cerrno>

namespace bootsmith::util {

bool write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t done = ::write(fd, data.data(), data.size());
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            if (done == 0) {
                errno = EIO;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(done));
    }
    return true;
}

std::expected<std::string, int> read_all(int fd, std::size_t limit) {
    std::string bytes;
    char buffer[65536];
    while (true) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::unexpected(errno);
        }
        if (got == 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > limit) {
            return std::unexpected(EFBIG);
        }
    }
}

}  // namespace bootsmith::util
