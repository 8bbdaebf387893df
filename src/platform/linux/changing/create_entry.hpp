#pragma once

#include "foundation/result.hpp"
#include "model/item.hpp"
#include "platform/linux/changing/change_context.hpp"

namespace bootsmith::linux_backend {

/// Why the request cannot be made here: a systemd service where systemd does
/// not run, an @reboot line without cron, or an entry whose id one of the
/// `present` items has already. Reads only.
[[nodiscard]] std::vector<std::string> creation_problems(const ChangeContext& context,
                                                         const model::CreateRequest& request,
                                                         const std::vector<model::Item>& present);

/// Creates a start-up entry by the request's method ("login", "user-service",
/// "boot", "cron"), tagged as this program's own; returns it as a later scan
/// shows it (the same id).
[[nodiscard]] Result<model::Item> create_entry(const ChangeContext& context,
                                               const model::CreateRequest& request);

}  // namespace bootsmith::linux_backend
