#!/usr/bin/env bash
# Builds and runs every test: the normal build, the window page in headless
# Chromium, the same tests with AddressSanitizer and UndefinedBehaviorSanitizer,
# the threaded tests with ThreadSanitizer, a 60-second fuzz run of the JSON
# reader, and (as root, beside the other phases) the end-to-end suite on a
# real systemd in an isolated test host.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${JOBS:-$(nproc)}
fuzz_seconds=${FUZZ_SECONDS:-60}
started=$SECONDS
logs=$(mktemp -d)
suite_pid=
# A phase that fails ends the run; the end-to-end suite in the background
# then stops too (it takes its guest down on TERM).
finish() {
    if [ -n "$suite_pid" ] && kill -0 "$suite_pid" 2>/dev/null; then
        kill -TERM "$suite_pid" 2>/dev/null || true
        wait "$suite_pid" 2>/dev/null || true
    fi
    rm -rf "$logs"
}
trap finish EXIT

phase() { printf '\n=== %s (at %ds)\n' "$*" "$((SECONDS - started))"; }

# Runs the test programs of a build folder directly, two at a time: one
# process per program instead of one per test, which matters under the
# sanitizers, where every process start is slow. Shows the log of a failure.
run_test_programs() {
    local folder=$1 failed=0 name
    shift
    printf '%s\n' "$@" | xargs -P "$jobs" -I{} sh -c \
        '"$1/tests/$2" >"$3/$2.log" 2>&1 && echo "passed: $2" || echo "FAILED: $2"' \
        sh "$folder" {} "$logs" | tee "$logs/summary"
    for name in "$@"; do
        if ! grep -qx "passed: $name" "$logs/summary"; then
            tail -n 60 "$logs/$name.log"
            failed=1
        fi
    done
    return "$failed"
}

all_tests=(foundation_tests model_tests knowledge_tests platform_tests platform_linux_tests
           engine_tests cli_tests server_tests)
threaded_tests=(foundation_tests knowledge_tests engine_tests server_tests)

# The test host's root is downloaded once (a minute or two); that happens in
# the background while the program compiles.
root_pid=
if [ "$(id -u)" -eq 0 ]; then
    bash tests/realhost/host.sh build-root >"$logs/root.log" 2>&1 &
    root_pid=$!
fi

# A plain build (no optimisation, no debug information) compiles quickest.
phase "normal build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=None -DBOOTSMITH_TESTS=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure --no-tests=error

# The end-to-end suite mostly waits for its guest, so it runs beside the
# browser, the sanitizer and the fuzz phases; its report is shown at the end.
if [ -n "$root_pid" ]; then
    if ! wait "$root_pid"; then
        echo "Building the test host's root in the background failed; the suite tries again:"
        tail -n 20 "$logs/root.log"
    fi
    # One of its checks drives Chromium with the browser tests' packages:
    # installing them first (listing the tests installs them) keeps that
    # check from racing the installation.
    bash tests/browser/run.sh build --list >/dev/null 2>&1 || true
    phase "end to end on a real systemd starts in the background"
    bash tests/realhost/run.sh "$root/build" >"$logs/realhost.log" 2>&1 &
    suite_pid=$!
fi

phase "the window in a real browser (Chromium)"
bash tests/browser/run.sh build

phase "AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=None -DBOOTSMITH_SANITIZE=ON -DBOOTSMITH_TESTS=ON \
    -DCMAKE_CXX_FLAGS=-g1 -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_test_programs build-asan "${all_tests[@]}"

phase "ThreadSanitizer on the threaded code"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=None -DBOOTSMITH_TSAN=ON -DBOOTSMITH_TESTS=ON \
    -DCMAKE_CXX_FLAGS=-g1 -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-tsan -j"$jobs" --target bootsmith "${threaded_tests[@]}"
TSAN_OPTIONS=halt_on_error=1 run_test_programs build-tsan "${threaded_tests[@]}"

phase "fuzz build"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBOOTSMITH_FUZZ=ON -DBOOTSMITH_TESTS=OFF
cmake --build build-fuzz -j"$jobs" --target json_fuzz request_fuzz

phase "fuzzing the JSON reader for ${fuzz_seconds} seconds"
corpus=$(mktemp -d -p "$logs")
printf '{"a":[1,2.5,"x\\u00e9",true,null]}' >"$corpus/seed.json"
build-fuzz/fuzz/json_fuzz -max_total_time="$fuzz_seconds" -max_len=4096 -print_final_stats=1 \
    "$corpus" >"$logs/fuzz.log" 2>&1 &
fuzz_pid=$!
# The window's request reading gets a shorter run of its own.
request_corpus=$(mktemp -d -p "$logs")
printf 'POST /api/bye?k=1 HTTP/1.1\r\nHost: localhost:8080\r\nContent-Length: 2\r\n\r\n{}' \
    >"$request_corpus/seed"
build-fuzz/fuzz/request_fuzz -max_total_time="${REQUEST_FUZZ_SECONDS:-20}" -max_len=40000 \
    -print_final_stats=1 "$request_corpus" >"$logs/request_fuzz.log" 2>&1 &
request_fuzz_pid=$!
fuzz_status=0
wait "$fuzz_pid" || fuzz_status=$?
tail -n 15 "$logs/fuzz.log"
if [ "$fuzz_status" -ne 0 ]; then
    echo "The fuzz run of the JSON reader failed (status $fuzz_status)."
fi
request_fuzz_status=0
wait "$request_fuzz_pid" || request_fuzz_status=$?
tail -n 5 "$logs/request_fuzz.log"
if [ "$request_fuzz_status" -ne 0 ]; then
    echo "The fuzz run of the window's request reading failed (status $request_fuzz_status)."
    fuzz_status=$request_fuzz_status
fi
suite_status=0
if [ -n "$suite_pid" ]; then
    phase "end to end on a real systemd: waiting for the suite"
    wait "$suite_pid" || suite_status=$?
    cat "$logs/realhost.log"
else
    bash tests/realhost/run.sh "$root/build" || suite_status=$?
fi
if [ "$suite_status" -ne 0 ] || [ "$fuzz_status" -ne 0 ]; then
    exit 1
fi

phase "all tests passed in $((SECONDS - started)) seconds"
