// Names of created files, and recognising them again.
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/linux/changing/slug.hpp"

namespace bootsmith::linux_backend {

namespace {

constexpr std::size_t max_slug_bytes = 48;
constexpr int max_numbered = 99;
constexpr std::string_view own_prefix = "bootsmith-";

bool is_ascii_alnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool lexically_own(std::string_view path, std::string_view folder) {
    auto parts = path_components(path);
    auto folder_parts = path_components(folder);
    if (parts.size() != folder_parts.size() + 1 || !parts.back().starts_with(own_prefix)) {
        return false;
    }
    for (std::size_t i = 0; i < folder_parts.size(); ++i) {
        if (parts[i] != folder_parts[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string slug_of(std::string_view name) {
    std::string slug;
    bool gap = false;
    for (char c : name) {
        if (!is_ascii_alnum(c)) {
            gap = true;
            continue;
        }
        if (gap && !slug.empty()) {
            slug += '-';
        }
        gap = false;
        slug += ascii_lower(c);
    }
    if (slug.size() > max_slug_bytes) {
        slug.resize(max_slug_bytes);
        // A cut right after a "-" would leave a name ending in one.
        while (slug.ends_with('-')) {
            slug.pop_back();
        }
    }
    return slug.empty() ? std::string("item") : slug;
}

std::string free_file_name(const SafeFiles& files, std::string_view folder, std::string_view slug,
                           std::string_view extension) {
    const std::string base = std::string(own_prefix) + std::string(slug);
    const std::string ext(extension);
    for (int number = 1; number <= max_numbered; ++number) {
        std::string name = base + (number == 1 ? "" : "-" + std::to_string(number)) + ext;
        if (!files.exists(std::string(folder) + "/" + name)) {
            return name;
        }
    }
    return base + "-" + std::to_string(static_cast<long long>(std::time(nullptr))) + ext;
}

bool in_own_place(const Roots& roots, std::string_view path, std::string_view folder) {
    if (!lexically_own(path, folder)) {
        return false;
    }
    struct stat info {};
    if (::lstat(roots.at(path).c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        return true;
    }
    // A link counts only when what it points to is one of ours in the same folder.
    std::error_code error;
    auto target = std::filesystem::canonical(roots.at(path), error);
    if (error) {
        return false;
    }
    auto real_folder = std::filesystem::canonical(roots.at(folder), error);
    return !error && lexically_own(target.string(), real_folder.string());
}

}  // namespace bootsmith::linux_backend
