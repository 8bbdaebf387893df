// The names of our temporary files, and clearing those a killed run left behind.
#include "foundation/temporaries.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <string>
#include <vector>

namespace bootsmith::util {

namespace {

constexpr std::string_view temp_prefix = ".bootsmith-";
constexpr std::string_view temp_suffix = ".tmp";

// The names in an open folder; a folder that cannot be listed has none.
std::vector<std::string> names_in(const Descriptor& folder) {
    std::vector<std::string> names;
    int listing = ::openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return names;
    }
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        ::close(listing);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

}  // namespace

std::string temporary_file_name() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return std::string(temp_prefix) + std::to_string(::getpid()) + "-" +
           std::to_string(now.tv_nsec) + std::string(temp_suffix);
}

bool is_temporary_file_name(std::string_view name) {
    return name.size() > temp_prefix.size() + temp_suffix.size() && name.starts_with(temp_prefix) &&
           name.ends_with(temp_suffix);
}

void remove_stale_temporaries(const Descriptor& folder) {
    const std::time_t now = std::time(nullptr);
    for (const std::string& name : names_in(folder)) {
        struct stat info {};
        if (!is_temporary_file_name(name) ||
            ::fstatat(folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        if (S_ISREG(info.st_mode) && info.st_mtime < now - stale_after_seconds) {
            (void)::unlinkat(folder.get(), name.c_str(), 0);
        }
    }
}

void remove_stale_temporaries(const std::filesystem::path& folder) {
    Descriptor opened(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (opened.valid()) {
        remove_stale_temporaries(opened);
    }
}

}  // namespace bootsmith::util
