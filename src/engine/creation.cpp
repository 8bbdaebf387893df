#include "engine/creation.hpp"

#include <filesystem>

#include "engine/lookup.hpp"
#include "foundation/text.hpp"

namespace bootsmith::engine {

std::optional<model::Candidate> chosen_candidate(Engine& engine, const std::string& wanted) {
    std::vector<model::Candidate> all = running_programs(engine).candidates;
    for (auto& app : installed_apps(engine).candidates) {
        all.push_back(std::move(app));
    }
    for (const auto& c : all) {
        if (c.id == wanted || util::equals_ignore_ascii_case(c.name, wanted)) {
            return c;
        }
    }
    std::string part = util::to_lower(wanted);
    for (const auto& c : all) {
        if (util::to_lower(c.name).find(part) != std::string::npos) {
            return c;
        }
    }
    return std::nullopt;
}

std::optional<model::Candidate> candidate_from_path(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        return std::nullopt;
    }
    // An entry starts elsewhere than here: "./tool" must become a full path.
    std::filesystem::path full = std::filesystem::absolute(path, ec).lexically_normal();
    model::Candidate c;
    c.exe = ec ? path : full.string();
    c.name = util::file_name_text(path);
    c.command = quoted_if_spaced(c.exe);
    return c;
}

std::optional<model::Candidate> program_to_add(Engine& engine, const std::string& wanted) {
    if (auto candidate = chosen_candidate(engine, wanted)) {
        return candidate;
    }
    return candidate_from_path(wanted);
}

std::string default_mode(const model::Candidate& candidate) {
    for (const auto& mode : candidate.modes) {
        if (mode.recommended) {
            return mode.id;
        }
    }
    if (!candidate.modes.empty()) {
        return candidate.modes.front().id;
    }
    return candidate.id.empty() ? "login" : "";
}

std::string quoted_if_spaced(const std::string& path) {
    return path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
}

ChangeRequest creation_request(const model::Candidate& candidate, const CreationChoice& choice) {
    ChangeRequest request;
    request.action = "create";
    request.id = candidate.id;
    model::CreateRequest& create = request.create;
    create.name = choice.name.empty() ? candidate.name : choice.name;
    create.command = choice.args.empty() ? candidate.command
                                         : quoted_if_spaced(candidate.exe) + " " + choice.args;
    create.exe = candidate.exe;
    create.workdir = choice.workdir;
    create.mode = choice.mode.empty() ? default_mode(candidate) : choice.mode;
    create.user = candidate.user;
    create.description = candidate.description;
    request.ack = choice.accepted;
    return request;
}

}  // namespace bootsmith::engine
