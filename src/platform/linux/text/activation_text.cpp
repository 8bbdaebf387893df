// Unit [Install] sections and D-Bus service files.
#include "platform/linux/text/activation_text.hpp"

#include "foundation/text.hpp"
#include "platform/linux/text/lines.hpp"
#include "platform/linux/text/listing_text.hpp"

namespace bootsmith::linux_backend {

namespace {

// Calls `visit(key, value)` for every assignment inside the named group.
template <typename Visit>
void for_each_in_group(std::string_view text, std::string_view group, Visit visit) {
    bool inside = false;
    for_each_line(text, [&](std::string_view raw) {
        std::string_view line = util::trim(raw);
        if (line.empty() || line.starts_with('#') || line.starts_with(';')) {
            return;
        }
        if (line.starts_with('[') && line.ends_with(']')) {
            inside = line.substr(1, line.size() - 2) == group;
            return;
        }
        std::size_t equals = line.find('=');
        if (inside && equals != std::string_view::npos) {
            visit(util::trim(line.substr(0, equals)), util::trim(line.substr(equals + 1)));
        }
    });
}

void add_values(std::vector<std::string>& list, std::string_view value) {
    if (value.empty()) {
        list.clear();
        return;
    }
    for (auto& word : white_space_fields(value)) {
        list.push_back(std::move(word));
    }
}

}  // namespace

InstallSection parse_install_section(std::string_view text) {
    InstallSection section;
    for_each_in_group(text, "Install", [&](std::string_view key, std::string_view value) {
        if (key == "Also") {
            add_values(section.also, value);
        } else if (key == "Alias") {
            add_values(section.alias, value);
        }
    });
    return section;
}

std::optional<BusService> parse_bus_service(std::string_view bytes) {
    if (!util::is_valid_utf8(bytes)) {
        return std::nullopt;
    }
    BusService service;
    for_each_in_group(bytes, "D-BUS Service", [&](std::string_view key, std::string_view value) {
        // A repeated key does not replace the first one.
        std::string* field = key == "Name"             ? &service.name
                             : key == "SystemdService" ? &service.systemd_service
                             : key == "Exec"           ? &service.exec
                                                       : nullptr;
        if (field != nullptr && field->empty()) {
            *field = std::string(value);
        }
    });
    if (service.name.empty()) {
        return std::nullopt;
    }
    return service;
}

}  // namespace bootsmith::linux_backend
