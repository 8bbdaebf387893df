#include <gtest/gtest.h>

#include "engine/lookup.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::engine {
namespace {

using testing::FailsWith;

model::Item item(std::string kind, std::string name, std::string short_name = "") {
    model::Item i(kind, kind + " label", "user", "loc", std::move(name));
    if (!short_name.empty()) {
        i.extra.set("short", short_name);
    }
    return i;
}

TEST(FindByText, ExactIdWinsOverNames) {
    std::vector<model::Item> items = {item("run", "run|user|loc|b"), item("run", "b")};
    auto found = find_by_text(items, "run|user|loc|b");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "b");
}

TEST(FindByText, NameOrShortIgnoringAsciiCase) {
    std::vector<model::Item> items = {item("cron", "@reboot /opt/x.sh", "x.sh"),
                                      item("run", "Spotify")};
    EXPECT_EQ(find_by_text(items, "X.SH")->name, "@reboot /opt/x.sh");
    EXPECT_EQ(find_by_text(items, "spotify")->name, "Spotify");
}

TEST(FindByText, SeveralWithTheSameNameListTheirIds) {
    std::vector<model::Item> items = {item("run", "Acme"), item("task", "acme")};
    EXPECT_THAT(find_by_text(items, "ACME"),
                FailsWith("2 items are called \"ACME\"; use the full id:\n  run|user|loc|Acme\n"
                          "  task|user|loc|acme"));
}

TEST(FindByText, ContainedNamesAndNothing) {
    std::vector<model::Item> items;
    for (int i = 0; i < 14; ++i) {
        items.push_back(item("run", "Acme tool " + std::to_string(i)));
    }
    items.push_back(item("run", "Ünïcode Tool"));
    auto many = find_by_text(items, "acme");
    ASSERT_FALSE(many);
    EXPECT_TRUE(
        many.error().starts_with("14 items match \"acme\"; be more exact or use the id:\n"
                                 "  Acme tool 0  (run label)\n"));
    EXPECT_EQ(std::count(many.error().begin(), many.error().end(), '\n'), 12);
    EXPECT_EQ(find_by_text(items, "ÜNÏ")->name, "Ünïcode Tool");
    EXPECT_THAT(find_by_text(items, "nothing-here"), FailsWith("nothing matches \"nothing-here\""));
}

}  // namespace
}  // namespace bootsmith::engine
