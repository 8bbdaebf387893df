#include <gtest/gtest.h>

#include <sstream>

#include "cli/output.hpp"
#include "foundation/text.hpp"

namespace bootsmith::cli {
namespace {

// The character offset of the TYPE column in a row of the item table.
std::size_t type_column(const std::string& row) {
    std::string_view rest = row;
    // ON(4) IF OFF(9) NAME(30) with one space after each.
    std::size_t chars = 0;
    std::size_t bytes = 0;
    while (chars < 4 + 1 + 9 + 1 + 30 + 1 && bytes < rest.size()) {
        bytes += util::read_utf8_char(rest, bytes).length;
        ++chars;
    }
    return row.substr(bytes).starts_with("Windows service") ? chars : 0;
}

TEST(ItemTable, LongAndUnusualNamesKeepTheColumnsAligned) {
    std::vector<model::Item> items;
    for (std::string name : {std::string(200, 'x'), std::string("a|b|c"),
                             std::string("Ünïcödé ñame with more than thirty chars"),
                             std::string(30, 'y'), std::string(31, 'z')}) {
        items.emplace_back("service", "Windows service", "machine", "Services", name);
    }
    std::ostringstream out;
    print_item_table(out, items);
    std::istringstream lines(out.str());
    std::string row;
    std::getline(lines, row);  // header
    std::vector<std::string> rows;
    while (std::getline(lines, row) && !row.empty()) {
        rows.push_back(row);
        EXPECT_EQ(type_column(row), 46u) << row;
    }
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_NE(rows[3].find(std::string(30, 'y') + " "), std::string::npos)
        << "a 30-character name is kept whole";
    EXPECT_NE(rows[4].find(std::string(29, 'z') + "… "), std::string::npos)
        << "a 31-character name is cut to 29 and an ellipsis";
}

TEST(ItemTable, CommandIsCutToSeventyCharacters) {
    model::Item item("run", "Registry (Run, this user)", "user", "HKCU", "x");
    item.command = std::string(71, 'c');
    std::ostringstream out;
    print_item_table(out, {item});
    EXPECT_NE(out.str().find(std::string(69, 'c') + "…\n"), std::string::npos);
}

TEST(Assessment, LevelIsPrintedInCapitals) {
    model::Assessment risk = model::Assessment::make(model::Level::caution, "Effect.", "medium");
    risk.add_reason("One.");
    std::ostringstream out;
    print_assessment(out, risk);
    EXPECT_EQ(out.str(), "  If switched off: CAUTION (medium confidence)\n  Effect.\n    - One.\n");
}

}  // namespace
}  // namespace bootsmith::cli
