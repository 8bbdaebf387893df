#include "platform/linux/os/file_reading.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "foundation/text.hpp"

namespace bootsmith::linux_backend {

namespace fs = std::filesystem;

namespace {

// Closes the descriptor when the read is over, whichever way it ends.
class Descriptor {
  public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    [[nodiscard]] int get() const { return m_fd; }

  private:
    int m_fd;
};

}  // namespace

std::optional<std::string> read_regular_bytes(const fs::path& path, std::size_t max_bytes,
                                              Overflow overflow) {
    // O_NONBLOCK: opening a FIFO planted where a file was expected must not hang.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    while (true) {
        ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > max_bytes) {
            if (overflow == Overflow::refuse) {
                return std::nullopt;
            }
            bytes.resize(max_bytes);
            return bytes;
        }
    }
}

std::optional<std::string> read_config_text(const fs::path& path) {
    auto bytes = read_regular_bytes(path, max_config_bytes);
    if (!bytes) {
        return std::nullopt;
    }
    return util::decode_text(*bytes);
}

std::optional<std::string> read_link_text(const fs::path& path) {
    std::error_code ec;
    fs::path target = fs::read_symlink(path, ec);
    if (ec) {
        return std::nullopt;
    }
    return target.string();
}

std::optional<std::vector<std::string>> list_names(const fs::path& folder) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    const fs::directory_iterator end;
    while (it != end) {
        names.push_back(it->path().filename().string());
        it.increment(ec);
        if (ec) {
            break;  // keep what was listed before the failure
        }
    }
    return names;
}

bool is_folder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool exists_at(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

}  // namespace bootsmith::linux_backend
