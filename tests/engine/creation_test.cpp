#include "engine/creation.hpp"

#include "change_fixture.hpp"

namespace bootsmith::engine {
namespace {

model::Candidate listed(std::vector<model::StartMode> modes) {
    model::Candidate c;
    c.id = "proc|tool";
    c.name = "Tool";
    c.exe = "/opt/my tools/tool";
    c.command = "\"/opt/my tools/tool\" --quiet";
    c.user = "ann";
    c.description = "A tool.";
    c.modes = std::move(modes);
    return c;
}

model::StartMode mode(std::string id, bool recommended) {
    return model::StartMode(std::move(id), "Label", "Detail.", false, recommended);
}

TEST(CreationRequest, ChoicesAndTheirDefaults) {
    model::Candidate unlisted = listed({});
    unlisted.id.clear();
    struct Case {
        const char* what;
        model::Candidate candidate;
        CreationChoice choice;
        std::string name, command, mode;
    };
    const Case cases[] = {
        {"the recommended mode",
         listed({mode("login", false), mode("cron", true)}),
         {},
         "Tool",
         "\"/opt/my tools/tool\" --quiet",
         "cron"},
        {"else the first mode",
         listed({mode("login", false), mode("boot", false)}),
         {},
         "Tool",
         "\"/opt/my tools/tool\" --quiet",
         "login"},
        {"a listed program without modes",
         listed({}),
         {},
         "Tool",
         "\"/opt/my tools/tool\" --quiet",
         ""},
        {"a program given by its path",
         unlisted,
         {},
         "Tool",
         "\"/opt/my tools/tool\" --quiet",
         "login"},
        {"everything chosen",
         listed({mode("login", true)}),
         {"Mine", "boot", "-x 1", "/srv", true},
         "Mine",
         "\"/opt/my tools/tool\" -x 1",
         "boot"},
    };
    for (const Case& c : cases) {
        ChangeRequest r = creation_request(c.candidate, c.choice);
        EXPECT_EQ(r.action, "create") << c.what;
        EXPECT_EQ(r.id, c.candidate.id) << c.what;
        EXPECT_EQ(r.create.name, c.name) << c.what;
        EXPECT_EQ(r.create.command, c.command) << c.what;
        EXPECT_EQ(r.create.mode, c.mode) << c.what;
        EXPECT_EQ(r.create.workdir, c.choice.workdir) << c.what;
        EXPECT_EQ(r.create.exe, "/opt/my tools/tool") << c.what;
        EXPECT_EQ(r.create.user, "ann") << c.what;
        EXPECT_EQ(r.create.description, "A tool.") << c.what;
        EXPECT_EQ(r.ack, c.choice.accepted) << c.what;
    }
}

class ProgramToAdd : public ChangeTest {};

TEST_F(ProgramToAdd, ListedNamesFirstThenFiles) {
    auto exact = program_to_add(*engine, "keepass");
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->id, "proc|keepass");
    auto part = program_to_add(*engine, "FIREFO");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->name, "Mozilla Firefox");

    auto file = dir.write("my tool", "#!/bin/sh\n");
    auto from_path = program_to_add(*engine, file.string());
    ASSERT_TRUE(from_path);
    EXPECT_EQ(from_path->id, "");
    EXPECT_EQ(from_path->name, "my tool");
    EXPECT_EQ(from_path->exe, file.string());
    EXPECT_EQ(from_path->command, "\"" + file.string() + "\"");
    EXPECT_FALSE(program_to_add(*engine, (dir.path() / "nothing here").string()));
}

}  // namespace
}  // namespace bootsmith::engine
