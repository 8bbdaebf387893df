#pragma once

#include <string_view>

#include "foundation/result.hpp"
#include "model/item.hpp"
#include "platform/linux/changing/change_context.hpp"
#include "platform/linux/os/file_paths.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// Switches a systemd unit on or off; `now` also stops one switched off.
[[nodiscard]] Result<platform::ChangeOutcome> toggle_unit(const ChangeContext& context,
                                                          const model::Item& item, bool enable,
                                                          bool now);

/// Switches a user unit by its link alone, for when the user's own systemd
/// cannot be reached: the link in "<WantedBy target>.wants" of the user's unit
/// folder (its text gives the target) is made to point to the unit file, or
/// removed. The error is the failed link operation.
[[nodiscard]] FileResult<void> link_user_unit(const ChangeContext& context,
                                              std::string_view unit_text,
                                              std::string_view unit_file, std::string_view unit,
                                              bool enable);

}  // namespace bootsmith::linux_backend
