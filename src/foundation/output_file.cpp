// Writing the file a user named on the command line, whatever it turns out to be.
#include "foundation/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "foundation/descriptor.hpp"
#include "foundation/files.hpp"
#include "foundation/paths.hpp"

namespace bootsmith::util {

namespace {

WalkRules rules_for(const std::filesystem::path& path,
                    const std::optional<ActingAccount>& account) {
    WalkRules rules;
    if (!account) {
        return rules;
    }
    rules.owner = account->owner;
    const std::size_t home_depth = path_components(account->home).size();
    if (home_depth > 0 && is_inside(path.string(), account->home)) {
        rules.no_follow_from = home_depth;
        rules.hand_from = home_depth - 1;
    }
    return rules;
}

Status failed(int error_number) {
    return fail(system_error_text(error_number));
}

Status write_output(const std::filesystem::path& path, std::string_view data, unsigned mode,
                    const std::optional<ActingAccount>& account, int links_left);

// A regular file a followed link led to: replaced whole at its real place.
Status replace_target(int fd, std::string_view data, unsigned mode,
                      const std::optional<ActingAccount>& account, int links_left) {
    std::error_code ec;
    auto target = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
    if (ec) {
        return failed(ec.value());
    }
    return write_output(target, data, mode, account, links_left - 1);
}

// A terminal, pipe or device: written into. Opened without blocking, so that
// a pipe nobody reads fails instead of waiting for ever; written blocking.
Status write_into(const Descriptor& file, std::string_view data) {
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        !write_all(file.get(), data)) {
        return failed(errno);
    }
    return {};
}

Status write_output(const std::filesystem::path& path, std::string_view data, unsigned mode,
                    const std::optional<ActingAccount>& account, int links_left) {
    std::error_code ec;
    const std::filesystem::path whole = std::filesystem::absolute(path, ec).lexically_normal();
    if (ec) {
        return failed(ec.value());
    }
    if (!whole.has_filename()) {
        return failed(EISDIR);
    }
    auto folder = open_folder("/", whole.parent_path().string(), rules_for(whole, account));
    if (!folder) {
        return fail(opening_error_text(whole.parent_path(), folder.error()));
    }
    const std::string name = whole.filename().string();
    WriteOptions options;
    options.mode = mode;
    if (account && folder->handing) {
        options.owner = account->owner;
    }
    struct stat named {};
    bool absent = false;
    if (::fstatat(folder->fd.get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) {
            return failed(errno);
        }
        absent = true;
    }
    if (absent || S_ISREG(named.st_mode)) {
        auto written =
            write_in_folder(folder->fd, whole.parent_path().string(), name, data, options);
        return written ? Status{} : failed(written.error().error_number);
    }
    if (S_ISDIR(named.st_mode)) {
        return failed(EISDIR);
    }
    const bool link = S_ISLNK(named.st_mode);
    if (link && (folder->guarded || links_left == 0)) {
        return fail(refused_link_text());
    }
    Descriptor file(
        ::openat(folder->fd.get(), name.c_str(),
                 O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | (link ? 0 : O_NOFOLLOW)));
    struct stat opened {};
    if (!file.valid() || ::fstat(file.get(), &opened) != 0) {
        return failed(errno);
    }
    if (S_ISREG(opened.st_mode)) {
        return replace_target(file.get(), data, mode, account, links_left);
    }
    return write_into(file, data);
}

}  // namespace

Status write_output_file(const std::filesystem::path& path, std::string_view data, unsigned mode,
                         const std::optional<ActingAccount>& account) {
    return write_output(path, data, mode, account, 1);
}

}  // namespace bootsmith::util
