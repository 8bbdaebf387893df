#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "cli/args.hpp"
#include "cli/command.hpp"
#include "foundation/json.hpp"

namespace bootsmith::cli {

/// For the `knowledge` command: an unknown subcommand or `import` without FILE
/// is reported on `err` and gives the exit status 2; nothing otherwise. Reads
/// nothing, so the dispatcher can call it before the context is built.
[[nodiscard]] std::optional<int> knowledge_usage_error(const ParsedArgs& args, std::ostream& err);

/// `knowledge status|update [--url U]|import FILE|rollback|export`.
[[nodiscard]] int run_knowledge(Invocation& inv);

/// The knowledge status block (each line ending in a line feed), from the
/// status record of the knowledge store.
[[nodiscard]] std::string knowledge_status_text(const json::JsonValue& record);

}  // namespace bootsmith::cli
