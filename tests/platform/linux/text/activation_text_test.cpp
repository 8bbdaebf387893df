#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/linux/text/activation_text.hpp"

namespace bootsmith::linux_backend {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(InstallSection, ValuesAddUpAndAnEmptyOneClears) {
    InstallSection install = parse_install_section(
        "[Unit]\nAlso=not-install.service\n"
        "[Install]\n# Also=commented.socket\nAlso=a.socket  b.path\nAlias=x.service\n"
        "Also=\nAlso=c.socket\n  Also = d.socket \nAlias=y.service\n"
        "[Service]\nAlso=later.service\n");
    EXPECT_THAT(install.also, ElementsAre("c.socket", "d.socket"));
    EXPECT_THAT(install.alias, ElementsAre("x.service", "y.service"));
    EXPECT_THAT(parse_install_section("\xff\xfe[Install]\nAlso").also, IsEmpty());
}

struct BusCase {
    const char* what;
    const char* text;
    bool read;
    const char* name;
    const char* unit;
};

TEST(BusService, ReadsTheGroupOrNothing) {
    const BusCase cases[] = {
        {"unit and name",
         "[D-BUS Service]\nName=org.a\nExec=/bin/false\nSystemdService=a.service\n", true, "org.a",
         "a.service"},
        {"first of a repeated key", "[D-BUS Service]\nName=org.a\nName=org.b\n", true, "org.a", ""},
        {"other groups ignored", "[Other]\nSystemdService=x.service\n[D-BUS Service]\nName=org.a\n",
         true, "org.a", ""},
        {"not UTF-8", "[D-BUS Service]\nName=org.\xe9\nSystemdService=a.service\n", false, "", ""},
    };
    for (const auto& c : cases) {
        auto service = parse_bus_service(c.text);
        ASSERT_EQ(service.has_value(), c.read) << c.what;
        if (service) {
            EXPECT_EQ(service->name, c.name) << c.what;
            EXPECT_EQ(service->systemd_service, c.unit) << c.what;
        }
    }
}

}  // namespace
}  // namespace bootsmith::linux_backend
