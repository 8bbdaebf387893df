// Rule and hint matching over the layers of the store.

#include <string>

#include "knowledge/store.hpp"

namespace bootsmith::knowledge {

namespace {

bool pattern_matches(std::string_view pattern, std::string_view name) {
    bool leading = pattern.starts_with('*');
    bool trailing = pattern.size() > 1 && pattern.ends_with('*');
    std::string_view core = pattern;
    while (core.starts_with('*')) {
        core.remove_prefix(1);
    }
    while (core.ends_with('*')) {
        core.remove_suffix(1);
    }
    if (leading && trailing) {
        return name.find(core) != std::string_view::npos;
    }
    if (leading) {
        return name.ends_with(core);
    }
    if (trailing) {
        return name.starts_with(core);
    }
    return name == core;
}

}  // namespace

const std::vector<Rule>& rules_for(const KnowledgeStore& store, LayerId layer,
                                   std::string_view os) {
    static const std::vector<Rule> none;
    const RuleLists& lists =
        layer == LayerId::builtin ? store.builtin.rules : store.installed.rules;
    if (os == "windows") {
        return lists.windows;
    }
    if (os == "linux") {
        return lists.linux_rules;
    }
    if (os == "macos") {
        return lists.macos;
    }
    return none;
}

const Rule* find_rule(const std::vector<Rule>& rules, const std::vector<std::string>& names) {
    for (const Rule& rule : rules) {
        for (const std::string& name : names) {
            if (!name.empty() && pattern_matches(rule.pattern, name)) {
                return &rule;
            }
        }
    }
    return nullptr;
}

const Hint* find_hint(const std::vector<Hint>& hints, std::string_view text) {
    for (const Hint& hint : hints) {
        if (text.find(hint.word) != std::string_view::npos) {
            return &hint;
        }
    }
    return nullptr;
}

}  // namespace bootsmith::knowledge
