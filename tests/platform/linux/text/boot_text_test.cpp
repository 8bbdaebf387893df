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
    using Ms = std::optional<std::uint64_t>;
    const Ms none;
    struct Case {
        const char* what;
        ShowRecord record;
        Ms firmware, loader, kernel, initrd, userspace, total;
        std::uint64_t finished_us;
    };
    const Case cases[] = {
        {"a machine with firmware stamps and an initrd",
         {{"FirmwareTimestampMonotonic", "5000000"},
          {"LoaderTimestampMonotonic", "900000"},
          {"KernelTimestampMonotonic", "0"},
          {"InitRDTimestampMonotonic", "1500000"},
          {"UserspaceTimestampMonotonic", "3000000"},
          {"FinishTimestampMonotonic", "10000000"},
          {"SecurityStartTimestampMonotonic", "3100000"}},
         4100,
         900,
         1500,
         1500,
         7000,
         15000,
         10000000},
        {"a virtual machine without firmware stamps or initrd",
         {{"UserspaceTimestampMonotonic", "2000000"},
          {"FinishTimestampMonotonic", "6000000"},
          {"SecurityStartTimestampMonotonic", "2100000"}},
         none,
         none,
         2000,
         none,
         4000,
         6000,
         6000000},
        // A container: its userspace is all of its start-up.
        {"a container",
         {{"UserspaceTimestampMonotonic", "900000000"},
          {"FinishTimestampMonotonic", "902500000"},
          {"SecurityStartTimestampMonotonic", "0"}},
         none,
         none,
         none,
         none,
         2500,
         2500,
         902500000},
    };
    for (const Case& c : cases) {
        platform::BootPhases phases = boot_phases_of(c.record);
        EXPECT_EQ(phases.firmware_ms, c.firmware) << c.what;
        EXPECT_EQ(phases.loader_ms, c.loader) << c.what;
        EXPECT_EQ(phases.kernel_ms, c.kernel) << c.what;
        EXPECT_EQ(phases.initrd_ms, c.initrd) << c.what;
        EXPECT_EQ(phases.userspace_ms, c.userspace) << c.what;
        EXPECT_EQ(phases.total_ms, c.total) << c.what;
        EXPECT_EQ(phases.finished_us, c.finished_us) << c.what;
    }
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
