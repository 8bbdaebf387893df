#pragma once

#include <unistd.h>

#include <cstddef>
#include <expected>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace bootsmith::util {

/// Owns one open file descriptor and closes it when it goes away.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }

    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }
    /// Gives up ownership without closing.
    [[nodiscard]] int release() { return std::exchange(m_fd, -1); }
    void reset() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

  private:
    int m_fd = -1;
};

/// Writes all of `data`, resuming after interruptions and partial writes;
/// false with errno set on failure.
[[nodiscard]] bool write_all(int fd, std::string_view data);

/// Reads to the end of the descriptor; the error is the errno value (EFBIG
/// once more than `limit` bytes came).
[[nodiscard]] std::expected<std::string, int> read_all(
    int fd, std::size_t limit = std::numeric_limits<std::size_t>::max());

}  // namespace bootsmith::util
