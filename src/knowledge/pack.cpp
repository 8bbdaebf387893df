#include "knowledge/pack.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "foundation/json.hpp"
#include "foundation/text.hpp"
#include "knowledge/pack_checks.hpp"

namespace bootsmith::knowledge {

namespace {

using json::JsonArray;
using json::JsonValue;

constexpr std::size_t max_pack_bytes = 3 * 1024 * 1024;
constexpr std::size_t max_rules = 5000;
constexpr double understood_schema = 1;

std::string whole_number_text(double whole) {
    char buffer[400];
    auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, whole, std::chars_format::fixed, 0);
    return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

Status check_schema(const JsonValue& root) {
    double schema = 0;
    if (const JsonValue* value = root.get("schema")) {
        schema = value->as_number().value_or(0);
    }
    double whole = std::trunc(schema);
    if (whole > understood_schema) {
        return fail(
            "This pack uses format " + whole_number_text(whole) +
            " but this Bootsmith understands up to 1. Install a newer Bootsmith to use it.");
    }
    if (!(whole >= understood_schema)) {
        return fail("The pack has no format number.");
    }
    return {};
}

bool is_dotted_number(std::string_view version) {
    if (version.empty()) {
        return false;
    }
    for (char c : version) {
        if (c != '.' && (c < '0' || c > '9')) {
            return false;
        }
    }
    return true;
}

Status parse_header(const JsonValue& root, KnowledgePack& pack) {
    pack.version = BOOTSMITH_TRY(checks::text_member(root, "version", 40, "pack"));
    pack.published = BOOTSMITH_TRY(checks::text_member(root, "published", 40, "pack"));
    pack.description = BOOTSMITH_TRY(checks::text_member(root, "description", 300, "pack"));
    pack.min_program = BOOTSMITH_TRY(checks::text_member(root, "min_program", 20, "pack"));
    if (!is_dotted_number(pack.version)) {
        return fail("The pack's version must be numbers separated by dots, like 2026.11.02.");
    }
    if (!pack.min_program.empty() &&
        compare_versions(pack.min_program, program_version) == Order::greater) {
        return fail("This pack needs Bootsmith " + pack.min_program + " or newer; this is " +
                    std::string(program_version) + ".");
    }
    return {};
}

std::string_view strip_stars(std::string_view pattern) {
    while (!pattern.empty() && pattern.front() == '*') {
        pattern.remove_prefix(1);
    }
    while (!pattern.empty() && pattern.back() == '*') {
        pattern.remove_suffix(1);
    }
    return pattern;
}

Result<Rule> parse_rule(const JsonValue& entry, const std::string& context) {
    Rule rule;
    rule.pattern = util::to_lower(BOOTSMITH_TRY(checks::text_member(entry, "match", 120, context)));
    if (strip_stars(rule.pattern).empty()) {
        return fail(context + ": the pattern is empty");
    }
    auto level = model::level_from_text(entry.get_str("level"));
    if (!level) {
        return fail(context + ": level must be safe, low, caution, high or critical");
    }
    rule.level = *level;
    rule.effect = BOOTSMITH_TRY(checks::text_member(entry, "effect", 500, context));
    if (util::trim(rule.effect).empty()) {
        return fail(context + ": the effect text is empty");
    }
    return rule;
}

Result<std::vector<Rule>> parse_rule_list(const JsonValue& rules, std::string_view os) {
    std::vector<Rule> parsed;
    const JsonArray* list = checks::array_member(rules, os);
    if (list == nullptr) {
        return parsed;
    }
    if (list->size() > max_rules) {
        return fail(std::string(os) + ": more than 5000 rules");
    }
    parsed.reserve(list->size());
    for (std::size_t i = 0; i < list->size(); ++i) {
        std::string context = std::string(os) + " rule " + std::to_string(i + 1);
        parsed.push_back(BOOTSMITH_TRY(parse_rule((*list)[i], context)));
    }
    return parsed;
}

Status parse_rules(const JsonValue& root, RuleLists& rules) {
    static const JsonValue no_rules = JsonValue::object();
    const JsonValue* member = root.get("rules");
    const JsonValue& lists = member != nullptr ? *member : no_rules;
    rules.windows = BOOTSMITH_TRY(parse_rule_list(lists, "windows"));
    rules.linux_rules = BOOTSMITH_TRY(parse_rule_list(lists, "linux"));
    rules.macos = BOOTSMITH_TRY(parse_rule_list(lists, "macos"));
    return {};
}

Result<Hint> parse_hint(const JsonValue& entry, const std::string& context) {
    Hint hint;
    hint.word = util::to_lower(BOOTSMITH_TRY(checks::text_member(entry, "word", 60, context)));
    if (util::char_count(hint.word) < 3) {
        return fail(context +
                    ": the word must be at least 3 characters (a shorter one would match almost "
                    "every name)");
    }
    auto level = model::level_from_text(entry.get_str("level"));
    if (!level) {
        return fail(context + ": bad level");
    }
    hint.level = *level;
    hint.effect = BOOTSMITH_TRY(checks::text_member(entry, "effect", 500, context));
    return hint;
}

Status parse_hints(const JsonValue& root, std::vector<Hint>& hints) {
    const JsonArray* list = checks::array_member(root, "hints");
    if (list == nullptr) {
        return {};
    }
    hints.reserve(list->size());
    for (std::size_t i = 0; i < list->size(); ++i) {
        hints.push_back(BOOTSMITH_TRY(parse_hint((*list)[i], "hint " + std::to_string(i + 1))));
    }
    return {};
}

std::uint64_t version_piece(std::string_view piece) {
    std::uint64_t number = 0;
    auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), number);
    if (piece.empty() || error != std::errc() || end != piece.data() + piece.size()) {
        return 0;
    }
    return number;
}

/// The next dot-separated piece of `rest` (consumed); "" once `rest` is used up.
std::string_view next_piece(std::string_view& rest, bool& more) {
    std::size_t dot = rest.find('.');
    std::string_view piece = rest.substr(0, dot);
    more = dot != std::string_view::npos;
    rest = more ? rest.substr(dot + 1) : std::string_view();
    return piece;
}

}  // namespace

Result<KnowledgePack> parse_pack(std::string_view text) {
    if (text.size() > max_pack_bytes) {
        return fail("The file is larger than 3 MB, which a knowledge pack never is.");
    }
    auto root = json::parse(text);
    if (!root) {
        return fail("That is not a knowledge pack: " + root.error());
    }
    if (root->get_str("format") != "bootsmith-knowledge") {
        return fail("That is not a Bootsmith knowledge pack.");
    }
    BOOTSMITH_CHECK(check_schema(*root));
    KnowledgePack pack;
    BOOTSMITH_CHECK(parse_header(*root, pack));
    BOOTSMITH_CHECK(parse_rules(*root, pack.rules));
    BOOTSMITH_CHECK(parse_hints(*root, pack.hints));
    static const JsonValue no_locations = JsonValue::object();
    const JsonValue* locations = root->get("locations");
    pack.locations =
        BOOTSMITH_TRY(checks::parse_locations(locations != nullptr ? *locations : no_locations));
    return pack;
}

Order compare_versions(std::string_view a, std::string_view b) {
    bool more_a = !a.empty();
    bool more_b = !b.empty();
    while (more_a || more_b) {
        std::uint64_t x = more_a ? version_piece(next_piece(a, more_a)) : 0;
        std::uint64_t y = more_b ? version_piece(next_piece(b, more_b)) : 0;
        if (x != y) {
            return x < y ? Order::less : Order::greater;
        }
    }
    return Order::equal;
}

}  // namespace bootsmith::knowledge
