// SHA-256 speed, alone and next to the system's sha256sum on the same 64 MB.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "foundation/files.hpp"
#include "foundation/process.hpp"
#include "foundation/sha256.hpp"

namespace {

constexpr std::size_t megabytes_64 = 64u * 1024 * 1024;

const std::string& sample() {
    static const std::string data = [] {
        std::string bytes(megabytes_64, '\0');
        std::mt19937_64 generator(20240601);
        for (char& byte : bytes) {
            byte = static_cast<char>(generator());
        }
        return bytes;
    }();
    return data;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_Sha256(benchmark::State& state) {
    const std::string& data = sample();
    for (auto _ : state) {
        benchmark::DoNotOptimize(bootsmith::util::sha256_hex(data));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Sha256)->Unit(benchmark::kMillisecond);

// One timed run of each, as a user would compare them; the file is written
// before either clock starts, so sha256sum reads it from the page cache.
void BM_Sha256VersusSha256sum(benchmark::State& state) {
    const std::string& data = sample();
    const char* tmp = std::getenv("TMPDIR");
    std::string path =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/bootsmith-bench-XXXXXX";
    int fd = ::mkstemp(path.data());
    if (fd < 0) {
        state.SkipWithError("cannot create a temporary file");
        return;
    }
    ::close(fd);
    if (!bootsmith::util::replace_file(path, data, 0600)) {
        ::unlink(path.c_str());
        state.SkipWithError("cannot write the temporary file");
        return;
    }
    double ours = 0;
    double theirs = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        std::string digest = bootsmith::util::sha256_hex(data);
        ours = seconds_since(start);
        start = std::chrono::steady_clock::now();
        bootsmith::util::RunResult result = bootsmith::util::run_program("sha256sum", {path});
        theirs = seconds_since(start);
        if (!result.ok() || result.out.substr(0, 64) != digest) {
            state.SkipWithError("sha256sum failed or disagrees");
        }
    }
    ::unlink(path.c_str());
    state.counters["ours_s"] = ours;
    state.counters["sha256sum_s"] = theirs;
    state.counters["ratio"] = theirs > 0 ? ours / theirs : 0;
    std::printf("64 MB: ours %.3f s, sha256sum %.3f s, ratio (ours / sha256sum) %.2f\n", ours,
                theirs, theirs > 0 ? ours / theirs : 0.0);
}
BENCHMARK(BM_Sha256VersusSha256sum)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
