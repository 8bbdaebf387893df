// Reading and writing a document shaped like a knowledge pack (about 84 KB).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/json.hpp"

namespace {

using bootsmith::json::JsonValue;

constexpr const char* levels[] = {"safe", "low", "caution", "high", "critical"};

JsonValue rule(int index) {
    const std::string name = "vendor-helper-" + std::to_string(index) + "*";
    const std::string effect = "Switching this off stops helper " + std::to_string(index) +
                               " from starting; the program still works but \"checks\" later.";
    return JsonValue::object()
        .with_str("match", name)
        .with_str("level", levels[index % 5])
        .with_str("effect", effect);
}

JsonValue rule_list(int first, int count) {
    auto rules = JsonValue::array();
    for (int i = first; i < first + count; ++i) {
        rules.push_back(rule(i));
    }
    return rules;
}

JsonValue hints() {
    auto list = JsonValue::array();
    for (int i = 0; i < 40; ++i) {
        list.push_back(JsonValue::object()
                           .with_str("word", "updat" + std::to_string(i))
                           .with_str("level", levels[i % 5])
                           .with_str("effect", "Updates are looked for later, by hand."));
    }
    return list;
}

/// About 520 rules across the three systems plus hints and locations.
std::string pack_text() {
    const JsonValue pack =
        JsonValue::object()
            .with_str("format", "bootsmith-knowledge")
            .with_num("schema", 1)
            .with_str("version", "2026.10.13.1")
            .with_str("published", "2026-10-13")
            .with_str("description",
                      "Built-in knowledge: caf\xC3\xA9, \xE2\x82\xAC, tab\tand more.")
            .with_str("min_program", "1.0.0")
            .with("rules", JsonValue::object()
                               .with("windows", rule_list(0, 200))
                               .with("linux", rule_list(200, 200))
                               .with("macos", rule_list(400, 120)))
            .with("hints", hints())
            .with("locations",
                  JsonValue::object().with(
                      "linux", JsonValue::object()
                                   .with_str_list("autostart_dirs",
                                                  {"/etc/xdg/autostart", "~/.config/autostart"})
                                   .with_str_list("unit_types", {"service", "timer"})));
    return bootsmith::json::to_text(pack);
}

void read_pack(benchmark::State& state) {
    const std::string text = pack_text();
    for (auto _ : state) {
        auto value = bootsmith::json::parse(text);
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.counters["document_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(read_pack);

void write_pack(benchmark::State& state) {
    const std::string text = pack_text();
    const auto value = bootsmith::json::parse(text);
    if (!value) {
        state.SkipWithError(value.error().c_str());
        return;
    }
    for (auto _ : state) {
        auto written = bootsmith::json::to_text(*value);
        benchmark::DoNotOptimize(written);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(write_pack);

}  // namespace
