// Fetching a newer pack from the update address, and importing one from a file.

#include <algorithm>

#include "foundation/clock.hpp"
#include "foundation/sha256.hpp"
#include "foundation/text.hpp"
#include "knowledge/store.hpp"
#include "knowledge/updates.hpp"

namespace bootsmith::knowledge {

namespace {

constexpr std::size_t digest_length = 64;

bool has_space(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t length = 0;
        if (util::starts_with_space(text.substr(i), length)) {
            return true;
        }
    }
    return false;
}

bool valid_address(std::string_view address) {
    return !has_space(address) && address.find_first_of("\"'`") == std::string_view::npos;
}

/// The published digest in lower case, or "" when the text does not hold one.
std::string published_digest(std::string_view checksum_text) {
    std::string digest = util::ascii_lower(util::trim(checksum_text).substr(0, digest_length));
    bool hex = std::all_of(digest.begin(), digest.end(),
                           [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
    return digest.size() == digest_length && hex ? digest : std::string();
}

/// The checksum note, or the failure when the published digest does not match.
Result<std::string> check_digest(const std::string& address, const std::string& text) {
    auto checksum = download_text(address + ".sha256");
    std::string digest = checksum ? published_digest(*checksum) : std::string();
    if (digest.empty()) {
        return "No checksum was published beside it, so it was checked for form only.";
    }
    if (util::sha256_hex(text) != digest && util::sha256_hex("\xEF\xBB\xBF" + text) != digest) {
        return fail(
            "The downloaded file does not match its published checksum, so it was not used.");
    }
    return "Its checksum matched.";
}

/// The version of the installed pack in use, or of the built-in pack.
std::string version_in_use() {
    auto store = current_store();
    return store->pack ? store->pack->version : store->builtin_version;
}

Result<std::string> fetch_and_install(const std::string& address, const KnowledgeFolders& folders) {
    if (!address.starts_with("https://")) {
        return fail("Updates are only fetched over https.");
    }
    if (!valid_address(address)) {
        return fail("That address is not valid.");
    }
    std::string text = BOOTSMITH_TRY(download_text(address));
    std::string note = BOOTSMITH_TRY(check_digest(address, text));
    KnowledgePack pack = BOOTSMITH_TRY(parse_pack(text));
    std::string current = version_in_use();
    if (compare_versions(pack.version, current) != Order::greater) {
        return "Already up to date (knowledge " + current + "; the published one is " +
               pack.version + ").";
    }
    if (auto installed = install_pack(text, folders); !installed) {
        return fail(installed.error());
    }
    return "Updated the knowledge from " + current + " to " + pack.version + " (" + pack.published +
           "). " + note;
}

void record_attempt(const KnowledgeFolders& folders, const UpdateOutcome& outcome) {
    if (folders.empty()) {
        return;
    }
    KnowledgeSettings settings = read_settings(folders);
    settings.last_check = util::now_text();
    settings.last_result = outcome.failed ? "Failed: " + outcome.message : outcome.message;
    // A settings file that cannot be written must not turn the update itself into a failure.
    (void)write_settings(folders.front(), settings);
}

}  // namespace

UpdateOutcome update_knowledge(const std::string& address, const KnowledgeFolders& folders) {
    auto result = fetch_and_install(address, folders);
    UpdateOutcome outcome{!result.has_value(), result ? *result : result.error()};
    record_attempt(folders, outcome);
    return outcome;
}

UpdateOutcome import_pack(std::string_view text, const KnowledgeFolders& folders) {
    auto pack = install_pack(text, folders);
    if (!pack) {
        return {true, pack.error()};
    }
    std::string message =
        "Installed knowledge " + pack->version + " (published " + pack->published + ").";
    std::string builtin = current_store()->builtin_version;
    if (compare_versions(pack->version, builtin) != Order::greater) {
        message += " It is not newer than the built-in knowledge " + builtin +
                   ", so it is kept but not used.";
    }
    return {false, message};
}

void run_automatic_check(const KnowledgeFolders& folders, bool demo) {
    if (demo) {
        return;
    }
    KnowledgeSettings settings = read_settings(folders);
    if (settings.auto_check) {
        (void)update_knowledge(settings.url, folders);
    }
}

}  // namespace bootsmith::knowledge
