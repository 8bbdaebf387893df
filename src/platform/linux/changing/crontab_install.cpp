// Installing a new crontab text from a complete file, never from a pipe: fed
// through a pipe, crontab takes an input cut off by our death for the whole
// table and installs it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "foundation/descriptor.hpp"
#include "foundation/files.hpp"
#include "foundation/process.hpp"
#include "platform/linux/changing/crontab.hpp"
#include "platform/linux/text/command_text.hpp"

namespace bootsmith::linux_backend {

namespace {

constexpr std::string_view temporary_prefix = ".bootsmith-crontab-";
constexpr std::time_t stale_seconds = 3600;

// The temporary files of runs killed while crontab had them: ours by name and
// owner, plain files, and old enough that no living run still uses them.
// Nothing is followed: entries are looked at and removed by name within the
// open folder.
void remove_stale(const std::filesystem::path& folder) {
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    const int fd = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        if (!std::string_view(entry->d_name).starts_with(temporary_prefix)) {
            continue;
        }
        struct stat info {};
        if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            now - info.st_mtime > stale_seconds) {
            ::unlinkat(fd, entry->d_name, 0);
        }
    }
    ::closedir(listing);
}

// A new file of our own (mode 0600, created exclusively, so no planted file
// or link is ever used) holding the whole text; its path.
Result<std::string> write_temporary(const std::filesystem::path& folder, const std::string& text) {
    std::string path = (folder / (std::string(temporary_prefix) + "XXXXXX")).string();
    util::Descriptor file(::mkostemp(path.data(), O_CLOEXEC));
    if (!file.valid() || !util::write_all(file.get(), text)) {
        const int error = errno;
        if (file.valid()) {
            ::unlink(path.c_str());
        }
        return fail("The new crontab could not be written to " + folder.string() +
                    ", so it was left alone: " + util::system_error_text(error));
    }
    return path;
}

}  // namespace

Status write_user_crontab(const ChangeContext& context, const std::string& text) {
    // The system's own temporary folder, not TMPDIR: root acting for a user
    // must not write where that user could swap the file under crontab.
    const std::filesystem::path folder = context.options.roots.at("/tmp");
    remove_stale(folder);
    const std::string file = BOOTSMITH_TRY(write_temporary(folder, text));
    std::vector<std::string> args;
    if (context.user.via_root) {
        args = {"-u", context.user.user};
    }
    args.push_back(file);
    auto run = util::run_program("crontab", args, {}, std::nullopt, context.options.limits.crontab);
    ::unlink(file.c_str());
    if (!run.ok()) {
        return fail("crontab refused the change: " + util::shorten(call_output(run), 160));
    }
    return {};
}

}  // namespace bootsmith::linux_backend
