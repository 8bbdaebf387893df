// Downloads through the system's curl or wget; the program has no HTTP client.

#include <string>
#include <vector>

#include "foundation/process.hpp"
#include "foundation/text.hpp"
#include "knowledge/updates.hpp"

namespace bootsmith::knowledge {

namespace {

constexpr std::size_t error_text_limit = 160;
// curl is asked not to fetch more, but it cannot always tell before the
// transfer, and wget has no such option: the runner stops either at this size.
constexpr std::size_t size_limit = 3'000'000;

const char* const not_found =
    "The address answered \"not found\". No knowledge update has been published there yet.";

util::RunResult run_wget(const std::string& address, int limit_seconds) {
    return util::run_program("wget", {"-q", "--https-only", "-T", "30", "-O", "-", address},
                             {{"WGETRC", "/dev/null"}}, std::nullopt, limit_seconds, size_limit);
}

bool missing(const util::RunResult& result) {
    return result.exit_code == -1 && !result.timed_out && !result.too_long &&
           result.err.find("No such file") != std::string::npos;
}

// wget's exit statuses, as its manual gives them.
std::string wget_meaning(int code) {
    switch (code) {
        case 4:
            return "The network could not be reached. ";
        case 5:
            return "The server's certificate could not be verified. ";
        case 7:
            return "The server did not answer as expected. ";
        default:
            return "";
    }
}

std::string too_large() {
    return "The download was larger than " + std::to_string(size_limit) +
           " bytes, so it was stopped.";
}

Result<std::string> download_with_wget(const std::string& address, int limit_seconds) {
    util::RunResult wget = run_wget(address, limit_seconds);
    if (wget.ok()) {
        return std::move(wget.out);
    }
    if (missing(wget)) {
        return fail("Neither curl nor wget is available to download with.");
    }
    if (wget.too_long) {
        return fail(too_large());
    }
    if (wget.exit_code == 8) {
        return fail(not_found);
    }
    // curl is not installed, so its absence is not the problem: wget ran and failed.
    const std::string message = "The download with wget failed (" + std::to_string(wget.exit_code) +
                                "). " + wget_meaning(wget.exit_code) +
                                util::shorten(util::trim(wget.err), error_text_limit);
    return fail(std::string(util::trim(message)));
}

}  // namespace

Result<std::string> download_text(const std::string& address, int limit_seconds) {
    // --globoff: braces and brackets in an address are taken as they are, not
    // as a pattern of several addresses.
    util::RunResult curl = util::run_program(
        "curl",
        {"-q", "-fsSL", "--proto", "=https", "--proto-redir", "=https", "--max-time", "30",
         "--max-filesize", "3000000", "-A", "Bootsmith/1.0.0", "--globoff", address},
        {}, std::nullopt, limit_seconds, size_limit);
    if (curl.ok()) {
        return std::move(curl.out);
    }
    if (missing(curl)) {
        return download_with_wget(address, limit_seconds);
    }
    if (curl.too_long) {
        return fail(too_large());
    }
    if (curl.exit_code == 22) {
        return fail(not_found);
    }
    return fail("The download failed (" + std::to_string(curl.exit_code) + "). " +
                util::shorten(util::trim(curl.err), error_text_limit));
}

}  // namespace bootsmith::knowledge
