#!/usr/bin/env bash
# Builds and runs every test: the normal build, the same tests with
# AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests with
# ThreadSanitizer, a 60-second fuzz run of the JSON reader, and (as root) the
# end-to-end suite on a real systemd in an isolated test host.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${JOBS:-$(nproc)}
fuzz_seconds=${FUZZ_SECONDS:-60}
started=$SECONDS

phase() { printf '\n=== %s (at %ds)\n' "$*" "$((SECONDS - started))"; }

phase "normal build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure

phase "AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DBOOTSMITH_SANITIZE=ON \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j"$jobs" --output-on-failure

phase "ThreadSanitizer on the threaded code"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DBOOTSMITH_TSAN=ON \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-tsan -j"$jobs" --target foundation_tests knowledge_tests engine_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan -j"$jobs" --output-on-failure \
  -R 'RunProgram|Thread|Concurren|Racing|CurrentStore|Seq\.'

phase "fuzzing the JSON reader for ${fuzz_seconds} seconds"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBOOTSMITH_FUZZ=ON -DBOOTSMITH_TESTS=OFF
cmake --build build-fuzz -j"$jobs" --target json_fuzz
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
printf '{"a":[1,2.5,"x\\u00e9",true,null]}' >"$corpus/seed.json"
(cd build-fuzz && ./fuzz/json_fuzz -max_total_time="$fuzz_seconds" -max_len=4096 \
  -print_final_stats=1 "$corpus")

phase "end to end on a real systemd"
bash tests/realhost/run.sh "$root/build"

phase "all tests passed in $((SECONDS - started)) seconds"
