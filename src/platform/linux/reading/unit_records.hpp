#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "foundation/process.hpp"
#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/listing_text.hpp"

namespace bootsmith::linux_backend {

/// Runs systemctl with the given arguments for one scope.
using SystemctlRunner = std::function<util::RunResult(std::vector<std::string>)>;

/// The `systemctl show` records of the units, by unit name: regular units in
/// calls of at most 60 names (a unit that got no block is asked again alone),
/// templates through `systemctl cat`. A unit systemd cannot describe has no record.
[[nodiscard]] std::map<std::string, ShowRecord> describe_units(
    const SystemctlRunner& systemctl, const std::vector<std::string>& units);

}  // namespace bootsmith::linux_backend
