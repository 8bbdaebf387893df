#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "model/item.hpp"
#include "platform/platform.hpp"

namespace bootsmith::cli {

/// A column: the text cut to `width` characters (with "…") and padded to it.
[[nodiscard]] std::string column(std::string_view text, std::size_t width);

/// "{computer} - {version} - {user}{ (administrator)}".
void print_system_line(std::ostream& err, const platform::SystemInfo& system);
/// "1 item", "2 items": the number with the word that fits it.
[[nodiscard]] std::string counted(std::size_t count, std::string_view one, std::string_view many);

/// How wide the item table's columns may be.
struct TableLayout {
    std::size_t command_width = 70;  ///< the last column; piped output keeps 70
    bool full = false;               ///< shorten no column at all
};

/// The layout for a terminal this many columns wide: the command takes what
/// the other columns leave, but never less than the header's 7.
[[nodiscard]] TableLayout layout_for_terminal(std::size_t columns);

/// The item table with its count line.
void print_item_table(std::ostream& out, const std::vector<model::Item>& items,
                      TableLayout layout = {});
/// Each note as "note: {note}".
void print_notes(std::ostream& err, const std::vector<std::string>& notes);
/// The program table with its count line (rows sorted by lower-cased name).
void print_program_table(std::ostream& out, const std::vector<model::Candidate>& candidates);
/// The level, effect and reasons of an assessment.
void print_assessment(std::ostream& out, const model::Assessment& risk);
/// The description of one item followed by its assessment.
void print_item_description(std::ostream& out, const model::Item& item);
/// One JSON array of values, followed by a line break.
void print_json_array(std::ostream& out, std::vector<json::JsonValue> values);

}  // namespace bootsmith::cli
