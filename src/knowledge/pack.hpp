#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "foundation/result.hpp"
#include "foundation/version.hpp"
#include "model/assessment.hpp"

namespace bootsmith::knowledge {

using model::Level;

/// The program's own version, against which `min_program` is checked.
using ::bootsmith::program_version;

struct Rule {
    std::string pattern;  ///< lower-cased in full, asterisks and spaces kept
    std::string effect;   ///< exactly as given
    Level level = Level::unknown;
};

struct Hint {
    std::string word;  ///< lower-cased, not trimmed
    std::string effect;
    Level level = Level::unknown;
};

struct RunKey {
    std::string hive, path, view, approved, label, scope, locked;
};

struct StartupFolder {
    std::string env, sub, scope, hive, label;
};

struct LaunchdDir {
    std::string path, scope, domain;
    bool system = false;
};

struct KnowledgeLocations {
    std::vector<RunKey> run_keys;
    std::vector<StartupFolder> startup_folders;
    std::vector<std::string> task_roots;
    std::vector<std::string> linux_autostart_dirs;
    std::vector<std::string> linux_app_dirs;
    std::vector<std::string> linux_unit_types;
    std::vector<LaunchdDir> launchd_dirs;
    std::vector<std::string> macos_app_dirs;
};

/// The rule lists of the three operating systems.
struct RuleLists {
    std::vector<Rule> windows;
    std::vector<Rule> linux_rules;
    std::vector<Rule> macos;
};

/// A validated pack.
struct KnowledgePack {
    std::string version;
    std::string published;
    std::string description;
    std::string min_program;
    RuleLists rules;
    std::vector<Hint> hints;
    KnowledgeLocations locations;
};

/// Validates a pack text; the error is the first fault, context first
/// ("linux rule 7: the pattern is empty").
[[nodiscard]] Result<KnowledgePack> parse_pack(std::string_view text);

enum class Order { less, equal, greater };
/// Dotted versions compared piece by piece; a piece that is not a number counts as 0.
[[nodiscard]] Order compare_versions(std::string_view a, std::string_view b);

/// The built-in pack's text, compiled into the program.
[[nodiscard]] std::string_view builtin_pack_text();

}  // namespace bootsmith::knowledge
