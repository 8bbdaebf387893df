#pragma once

#include <unistd.h>

#include <cstddef>
#include <expected>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "foundation/files.hpp"
#include "platform/linux/roots.hpp"

namespace bootsmith::linux_backend {

/// An open file descriptor, closed when the object goes away.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { reset(); }
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

inline constexpr std::size_t no_component = std::numeric_limits<std::size_t>::max();

/// How a folder is opened level by level.
struct WalkRules {
    bool create = false;  ///< make missing levels (0755 before the umask)
    /// Components from this index on are opened without following links.
    std::size_t no_follow_from = no_component;
    /// Levels created from this index on are handed to `owner`.
    std::size_t hand_from = no_component;
    std::optional<util::FileOwner> owner;
};

/// Opens a folder, given as the system knows it, one component at a time from
/// the roots' top (an O_PATH descriptor, usable with the *at calls). A ".."
/// component is refused. The error is the errno value.
[[nodiscard]] std::expected<Descriptor, int> open_folder(const Roots& roots,
                                                         std::string_view folder,
                                                         const WalkRules& rules);

}  // namespace bootsmith::linux_backend
