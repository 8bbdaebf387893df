// Switching desktop autostart entries: the user's own in place, computer-wide
// ones only through a personal override in the user's autostart folder.
#include "platform/linux/changing/switch_autostart.hpp"
#include "platform/linux/text/desktop_text.hpp"

namespace bootsmith::linux_backend {

namespace {

constexpr std::string_view personal = " (a personal setting; the program's own file is untouched).";
constexpr std::string_view our_override_key = "X-Bootsmith-Override";

std::string with_state(std::string_view text, bool on) {
    std::string changed = set_desktop_key(text, "Hidden", on ? "false" : "true");
    return set_desktop_key(changed, "X-GNOME-Autostart-enabled", on ? "true" : "false");
}

std::string tagged(std::string_view text) {
    return set_desktop_key(text, our_override_key, "true");
}

bool made_by_us(std::string_view text) {
    return text.find("X-Bootsmith-Override=true") != std::string_view::npos;
}

// An entry whose own file already keeps it from starting needs an override to start.
bool off_by_itself(std::string_view text) {
    auto entry = parse_desktop_entry(text, "");
    return entry && (entry->hidden || entry->autostart_enabled == Tristate::no);
}

struct Paths {
    std::string file;      ///< the entry's own file
    std::string override;  ///< the personal override in the user's folder
};

Status switch_own(const ChangeContext& context, const Paths& paths, bool enable) {
    auto current = context.files.read_for_rewrite(paths.file);
    if (!current) {
        return fail(current.error());
    }
    return context.files.write(paths.file, with_state(current->text, enable));
}

Status switch_off_for_user(const ChangeContext& context, const Paths& paths) {
    const bool has_override = context.files.exists(paths.override);
    auto base = context.files.read_for_rewrite(has_override ? paths.override : paths.file);
    if (!base) {
        return fail(base.error());
    }
    std::string text = with_state(base->text, false);
    return context.files.write(paths.override, has_override ? text : tagged(text));
}

// Our own override goes away, unless the computer's file alone keeps the entry off.
Status drop_our_override(const ChangeContext& context, const Paths& paths,
                         const std::string& override_text) {
    if (context.files.exists(paths.file)) {
        auto computer = context.files.read_for_rewrite(paths.file);
        if (!computer) {
            return fail(computer.error());
        }
        if (off_by_itself(computer->text)) {
            return context.files.write(paths.override, with_state(override_text, true));
        }
    }
    auto removed = context.files.remove(paths.override, "remove the override");
    if (!removed) {
        return fail(describe(removed.error()));
    }
    return {};
}

Status switch_on_for_user(const ChangeContext& context, const Paths& paths) {
    if (context.files.exists(paths.override)) {
        auto current = context.files.read_for_rewrite(paths.override);
        if (!current) {
            return fail(current.error());
        }
        if (made_by_us(current->text)) {
            return drop_our_override(context, paths, current->text);
        }
        return context.files.write(paths.override, with_state(current->text, true));
    }
    auto computer = context.files.read_for_rewrite(paths.file);
    if (!computer) {
        return fail(computer.error());
    }
    if (!off_by_itself(computer->text)) {
        return {};
    }
    return context.files.write(paths.override, tagged(with_state(computer->text, true)));
}

}  // namespace

Result<platform::ChangeOutcome> toggle_autostart(const ChangeContext& context,
                                                 const model::Item& item, bool enable) {
    const std::string user_dir = item.extra.get("user_dir");
    const std::string fname = item.extra.get("fname");
    Paths paths{item.extra.get("file"), user_dir + "/" + fname};
    if (paths.file.empty() || user_dir.empty() || fname.empty()) {
        return fail("The autostart entry's file is not known; scan again.");
    }
    Status done;
    if (item.scope == "user") {
        done = switch_own(context, paths, enable);
    } else {
        done = enable ? switch_on_for_user(context, paths) : switch_off_for_user(context, paths);
    }
    if (!done) {
        return fail(done.error());
    }
    return platform::ChangeOutcome{
        item.name +
            (enable ? " will start when you sign in" : " will no longer start when you sign in") +
            std::string(personal),
        {}};
}

}  // namespace bootsmith::linux_backend
