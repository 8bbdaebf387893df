// Downloads through the system's curl or wget; the program has no HTTP client.

#include <string>
#include <vector>

#include "foundation/process.hpp"
#include "foundation/text.hpp"
#include "foundation/version.hpp"
#include "knowledge/updates.hpp"

namespace bootsmith::knowledge {

namespace {

constexpr std::size_t error_text_limit = 160;

util::RunResult run_wget(const std::string& address, int limit_seconds) {
    return util::run_program("wget", {"-q", "--https-only", "-T", "30", "-O", "-", address},
                             {{"WGETRC", "/dev/null"}}, std::nullopt, limit_seconds);
}

bool curl_missing(const util::RunResult& result) {
    return result.exit_code == -1 && !result.timed_out &&
           result.err.find("No such file") != std::string::npos;
}

}  // namespace

Result<std::string> download_text(const std::string& address, int limit_seconds) {
    util::RunResult curl = util::run_program(
        "curl",
        {"-q", "-fsSL", "--proto", "=https", "--proto-redir", "=https", "--max-time", "30",
         "--max-filesize", "3000000", "-A", "Bootsmith/" + std::string(program_version), address},
        {}, std::nullopt, limit_seconds);
    if (curl.ok()) {
        return std::move(curl.out);
    }
    if (curl_missing(curl)) {
        util::RunResult wget = run_wget(address, limit_seconds);
        if (wget.ok()) {
            return std::move(wget.out);
        }
        return fail("Neither curl nor wget is available to download with.");
    }
    if (curl.exit_code == 22) {
        return fail(
            "The address answered \"not found\". No knowledge update has been published there "
            "yet.");
    }
    return fail("The download failed (" + std::to_string(curl.exit_code) + "). " +
                util::shorten(util::trim(curl.err), error_text_limit));
}

}  // namespace bootsmith::knowledge
