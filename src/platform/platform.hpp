#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/result.hpp"
#include "model/item.hpp"

namespace bootsmith::platform {

/// What the platform says about the computer, filled once at start.
struct SystemInfo {
    std::string os;          ///< "linux", or "windows" in the demonstration
    std::string os_version;  ///< human version text
    std::string host;
    std::string user;  ///< the account the program acts for
    std::string home;
    bool admin = false;  ///< runs with administrator rights
    bool demo = false;   ///< the items are invented; skip real file-system checks
};

struct ScanResult {
    std::vector<model::Item> items;
    std::vector<std::string> notes;
};

struct CandidateList {
    std::vector<model::Candidate> candidates;
    std::vector<std::string> notes;
};

/// The success answer of switching and removing.
struct ChangeOutcome {
    std::string message;
    std::vector<std::string> notes;
};

/// One line of the doctor report; status is "ok", "warn" or "fail".
struct Probe {
    std::string name;
    std::string detail;
    std::string status;
};

/// How long this boot took, phase by phase, in milliseconds; a phase this
/// computer does not report (no firmware or loader times in a virtual
/// machine, no kernel in a container) is nothing.
struct BootPhases {
    std::optional<std::uint64_t> firmware_ms;
    std::optional<std::uint64_t> loader_ms;
    std::optional<std::uint64_t> kernel_ms;
    std::optional<std::uint64_t> initrd_ms;
    std::optional<std::uint64_t> userspace_ms;
    std::optional<std::uint64_t> total_ms;
    /// The moment the system finished starting, on the clock of
    /// `Item::boot_done_us`; 0 while it is still starting.
    std::uint64_t finished_us = 0;
};

/// The one seam between the operating system and the rest of the program.
/// Failures are sentences for the user; one that administrator rights would cure
/// begins with "ADMIN: ".
class Platform {
  public:
    virtual ~Platform() = default;

    /// Cheap and side-effect free.
    [[nodiscard]] virtual SystemInfo system_info() const = 0;
    /// Reads every start-up source anew; never fails.
    [[nodiscard]] virtual ScanResult scan() = 0;
    /// Programs running now that do not start with the computer; never fails.
    [[nodiscard]] virtual CandidateList running_programs(const std::vector<model::Item>& items) = 0;
    /// Installed applications that do not start with the computer; never fails.
    [[nodiscard]] virtual CandidateList installed_apps(const std::vector<model::Item>& items) = 0;
    /// Switches an item, exactly as the last scan returned it, on or off.
    [[nodiscard]] virtual Result<ChangeOutcome> toggle(const model::Item& item, bool enable,
                                                       bool now) = 0;
    /// Why this computer cannot make such an entry (the way of starting is
    /// missing here, or the entry would get the id of one of the `present`
    /// items), each a sentence; empty when nothing stands in the way. Reads
    /// only; a back end without such limits keeps the default.
    [[nodiscard]] virtual std::vector<std::string> creation_problems(
        const model::CreateRequest& request, const std::vector<model::Item>& present) const {
        (void)request;
        (void)present;
        return {};
    }
    /// Creates a start-up entry; returns it as a later scan will show it.
    [[nodiscard]] virtual Result<model::Item> create(const model::CreateRequest& request) = 0;
    /// Deletes an entry this program created; refuses every other.
    [[nodiscard]] virtual Result<ChangeOutcome> remove(const model::Item& item) = 0;
    /// Starts a second copy with administrator rights and returns at once.
    [[nodiscard]] virtual Status elevate(const std::vector<std::string>& args) = 0;
    /// Opens the local window's address in the user's browser; failures are silent.
    virtual void open_browser(const std::string& address) = 0;
    /// Read-only checks of every source.
    [[nodiscard]] virtual std::vector<Probe> doctor() = 0;
    /// How long this boot took; asks the system once. Fails with a sentence
    /// when the computer does not say (a back end without such figures keeps
    /// the default).
    [[nodiscard]] virtual Result<BootPhases> boot_phases() {
        return std::unexpected("This computer does not say how long it took to start.");
    }
};

}  // namespace bootsmith::platform
