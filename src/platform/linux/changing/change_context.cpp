#include "platform/linux/changing/change_context.hpp"
#include "platform/linux/text/lines.hpp"
#include "platform/linux/text/listing_text.hpp"

namespace bootsmith::linux_backend {

UnitKind unit_kind_of(const model::Item& item) {
    return item.kind == "systemd-user" ? UnitKind::user : UnitKind::system;
}

util::RunResult run_systemctl(const ChangeContext& context, UnitKind kind,
                              std::vector<std::string> args) {
    if (kind == UnitKind::user) {
        args.insert(args.begin(), "--user");
        return run_user_systemctl(context.user, args, context.options.limits.systemctl_user);
    }
    return util::run_program("systemctl", args, {}, std::nullopt,
                             context.options.limits.systemctl_change);
}

std::string call_output(const util::RunResult& run) {
    std::string out(util::trim(run.out));
    std::string_view err = util::trim(run.err);
    if (!out.empty() && !err.empty()) {
        out += ' ';
    }
    return out + std::string(err);
}

std::string user_unit_folder(const UserContext& user) {
    return expand_home("~/.config/systemd/user", user.home).path;
}

std::string wanted_by_target(std::string_view unit_text) {
    std::string target;
    for_each_line(unit_text, [&target](std::string_view line) {
        std::string_view trimmed = util::trim(line);
        if (target.empty() && trimmed.starts_with("WantedBy=")) {
            auto fields = white_space_fields(trimmed.substr(9));
            target = fields.empty() ? std::string("default.target") : fields.front();
        }
    });
    return target.empty() ? std::string("default.target") : target;
}

std::string wants_link(const UserContext& user, std::string_view target, std::string_view unit) {
    return user_unit_folder(user) + "/" + std::string(target) + ".wants/" + std::string(unit);
}

}  // namespace bootsmith::linux_backend
