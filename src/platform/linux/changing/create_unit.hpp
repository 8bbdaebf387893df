#pragma once

#include <string>
#include <vector>

#include "foundation/result.hpp"
#include "model/item.hpp"
#include "platform/linux/changing/change_context.hpp"

namespace bootsmith::linux_backend {

/// Creates a systemd unit ("user-service" or "boot") that runs the words.
[[nodiscard]] Result<model::Item> create_unit(const ChangeContext& context,
                                              const model::CreateRequest& request,
                                              std::vector<std::string> words);

}  // namespace bootsmith::linux_backend
