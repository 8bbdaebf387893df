#include <string_view>

#include "knowledge/pack.hpp"

namespace bootsmith::resources {
/// Generated at build time from data/knowledge.json.
extern const std::string_view builtin_knowledge;
}  // namespace bootsmith::resources

namespace bootsmith::knowledge {

std::string_view builtin_pack_text() {
    return resources::builtin_knowledge;
}

}  // namespace bootsmith::knowledge
