#include <gtest/gtest.h>

#include "platform/linux/text/boot_text.hpp"

namespace bootsmith::linux_backend {
namespace {

TEST(UnitTiming, FromLeavingInactiveToActiveOrToAGoodEnd) {
    struct Case {
        const char* label;
        ShowRecord record;
        std::optional<std::uint64_t> ms;
        std::uint64_t done_us;
    } cases[] = {
        {"active",
         {{"InactiveExitTimestampMonotonic", "1000000"},
          {"ActiveEnterTimestampMonotonic", "3049000"},
          {"Result", "success"}},
         2049,
         3049000},
        {"rounded to the nearest millisecond",
         {{"InactiveExitTimestampMonotonic", "1000000"},
          {"ActiveEnterTimestampMonotonic", "1000500"}},
         1,
         1000500},
        {"a oneshot that ran and ended well",
         {{"InactiveExitTimestampMonotonic", "2000000"},
          {"ActiveEnterTimestampMonotonic", "0"},
          {"InactiveEnterTimestampMonotonic", "2300000"},
          {"Result", "success"}},
         300,
         2300000},
        {"failed",
         {{"InactiveExitTimestampMonotonic", "1000000"},
          {"ActiveEnterTimestampMonotonic", "2000000"},
          {"Result", "exit-code"}},
         std::nullopt,
         0},
        {"never started",
         {{"InactiveExitTimestampMonotonic", "0"}, {"ActiveEnterTimestampMonotonic", "0"}},
         std::nullopt,
         0},
        {"stamps missing", {{"Result", "success"}}, std::nullopt, 0},
        {"not a number",
         {{"InactiveExitTimestampMonotonic", "soon"}, {"ActiveEnterTimestampMonotonic", "2000000"}},
         std::nullopt,
         0},
        {"negative",
         {{"InactiveExitTimestampMonotonic", "-5"}, {"ActiveEnterTimestampMonotonic", "2000000"}},
         std::nullopt,
         0},
        {"still starting: both ends older than the start",
         {{"InactiveExitTimestampMonotonic", "5000000"},
          {"ActiveEnterTimestampMonotonic", "3000000"},
          {"InactiveEnterTimestampMonotonic", "4000000"}},
         std::nullopt,
         0},
    };
    for (const auto& c : cases) {
        UnitTiming timing = unit_timing(c.record);
        EXPECT_EQ(timing.ms, c.ms) << c.label;
        EXPECT_EQ(timing.done_us, c.done_us) << c.label;
    }
}

TEST(UnitTiming, OnlyTargetsReachedAtBootCountAsWaitingForIt) {
    std::pair<const char*, bool> cases[] = {
        {"multi-user.target shutdown.target", true},
        {"network-pre.target", true},
        {"shutdown.target final.target sleep.target", false},
        {"other.service sockets.socket", false},
        {"", false},
    };
    for (const auto& [before, waited] : cases) {
        EXPECT_EQ(unit_timing({{"Before", before}}).target_after, waited) << before;
    }
}

TEST(BootPhases, LikeSystemdAnalyzeTime) {
    ShowRecord machine = {{"FirmwareTimestampMonotonic", "5000000"},
                          {"LoaderTimestampMonotonic", "900000"},
                          {"KernelTimestampMonotonic", "0"},
                          {"InitRDTimestampMonotonic", "1500000"},
                          {"UserspaceTimestampMonotonic", "3000000"},
                          {"FinishTimestampMonotonic", "10000000"},
                          {"SecurityStartTimestampMonotonic", "3100000"}};
    platform::BootPhases phases = boot_phases_of(machine);
    EXPECT_EQ(phases.firmware_ms, 4100u);
    EXPECT_EQ(phases.loader_ms, 900u);
    EXPECT_EQ(phases.kernel_ms, 1500u);
    EXPECT_EQ(phases.initrd_ms, 1500u);
    EXPECT_EQ(phases.userspace_ms, 7000u);
    EXPECT_EQ(phases.total_ms, 15000u);
    EXPECT_EQ(phases.finished_us, 10000000u);

    // A virtual machine without firmware stamps or initrd.
    ShowRecord vm = {{"UserspaceTimestampMonotonic", "2000000"},
                     {"FinishTimestampMonotonic", "6000000"},
                     {"SecurityStartTimestampMonotonic", "2100000"}};
    phases = boot_phases_of(vm);
    EXPECT_EQ(phases.firmware_ms, std::nullopt);
    EXPECT_EQ(phases.loader_ms, std::nullopt);
    EXPECT_EQ(phases.kernel_ms, 2000u);
    EXPECT_EQ(phases.initrd_ms, std::nullopt);
    EXPECT_EQ(phases.total_ms, 6000u);

    // A container: its userspace is all of its start-up.
    ShowRecord container = {{"UserspaceTimestampMonotonic", "900000000"},
                            {"FinishTimestampMonotonic", "902500000"},
                            {"SecurityStartTimestampMonotonic", "0"}};
    phases = boot_phases_of(container);
    EXPECT_EQ(phases.kernel_ms, std::nullopt);
    EXPECT_EQ(phases.userspace_ms, 2500u);
    EXPECT_EQ(phases.total_ms, 2500u);
}

TEST(BootPhases, NothingWhileStartingOrFromBadStamps) {
    ShowRecord records[] = {
        {{"UserspaceTimestampMonotonic", "2000000"}, {"FinishTimestampMonotonic", "0"}},
        {{"UserspaceTimestampMonotonic", "2000000"}, {"FinishTimestampMonotonic", "1000000"}},
        {{"UserspaceTimestampMonotonic", "2000000"}, {"FinishTimestampMonotonic", "x"}},
        {},
    };
    for (const auto& record : records) {
        platform::BootPhases phases = boot_phases_of(record);
        EXPECT_EQ(phases.total_ms, std::nullopt);
        EXPECT_EQ(phases.userspace_ms, std::nullopt);
        EXPECT_EQ(phases.finished_us, 0u);
    }
}

}  // namespace
}  // namespace bootsmith::linux_backend
