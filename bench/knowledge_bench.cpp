// Loading the knowledge store from the built-in pack (target: under 2 ms), and
// the rule lookups the assessment makes for every item.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "knowledge/pack.hpp"
#include "knowledge/store.hpp"

namespace {

using namespace bootsmith::knowledge;

void BM_ParseBuiltinPack(benchmark::State& state) {
    for (auto _ : state) {
        auto pack = parse_pack(builtin_pack_text());
        benchmark::DoNotOptimize(pack);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(builtin_pack_text().size()));
}
BENCHMARK(BM_ParseBuiltinPack)->Unit(benchmark::kMicrosecond);

void BM_LoadStoreBuiltinAlone(benchmark::State& state) {
    for (auto _ : state) {
        load_store({});
        benchmark::DoNotOptimize(current_store());
    }
}
BENCHMARK(BM_LoadStoreBuiltinAlone)->Unit(benchmark::kMicrosecond);

// A name that no Linux rule matches walks the whole list: the worst case of one lookup.
void BM_FindRuleNoMatch(benchmark::State& state) {
    load_store({});
    auto store = current_store();
    const auto& rules = rules_for(*store, LayerId::builtin, "linux");
    std::vector<std::string> names = {"bootsmith-nothing-like-this", "another-unknown-name"};
    for (auto _ : state) {
        benchmark::DoNotOptimize(find_rule(rules, names));
    }
}
BENCHMARK(BM_FindRuleNoMatch);

void BM_FindHintNoMatch(benchmark::State& state) {
    load_store({});
    auto store = current_store();
    for (auto _ : state) {
        benchmark::DoNotOptimize(find_hint(store->builtin.hints, "bootsmith-nothing-like-this"));
    }
}
BENCHMARK(BM_FindHintNoMatch);

void BM_CurrentStore(benchmark::State& state) {
    load_store({});
    for (auto _ : state) {
        benchmark::DoNotOptimize(current_store());
    }
}
BENCHMARK(BM_CurrentStore)->Threads(1)->Threads(2);

}  // namespace
