// Comparing and splitting paths by their components, without asking the file system.
#include "foundation/paths.hpp"

namespace bootsmith::util {

std::vector<std::string_view> path_components(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        std::size_t slash = path.find('/');
        std::string_view part = path.substr(0, slash);
        if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return parts;
}

bool is_inside(std::string_view path, std::string_view folder) {
    auto inner = path_components(path);
    auto outer = path_components(folder);
    if (inner.size() < outer.size()) {
        return false;
    }
    for (std::size_t i = 0; i < outer.size(); ++i) {
        if (inner[i] != outer[i]) {
            return false;
        }
    }
    return true;
}

std::string parent_of(std::string_view path) {
    auto parts = path_components(path);
    if (parts.empty() || !path.starts_with('/')) {
        return {};
    }
    std::string folder;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        folder += '/';
        folder += parts[i];
    }
    return folder.empty() ? std::string("/") : folder;
}

}  // namespace bootsmith::util
