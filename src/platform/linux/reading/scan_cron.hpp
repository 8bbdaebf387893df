#pragma once

#include "platform/linux/reading/scan.hpp"
#include "platform/linux/reading/scan_cron.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// cron @reboot lines of the user's crontab, /etc/crontab and /etc/cron.d.
void scan_cron(const ScanContext& context, platform::ScanResult& result);
/// /etc/rc.local when it is executable and runs at least one command.
void scan_rc_local(const ScanContext& context, platform::ScanResult& result);

}  // namespace bootsmith::linux_backend
