#!/usr/bin/env bash
# Load on the local window with wrk (Debian package wrk), against the
# demonstration: latency of /api/state and /api/scan with 32 connections for
# 10 seconds each, the server's resident memory idle, after 1,000 and after
# 100,000 requests, and its thread count before and after the load.
#
#   bash bench/window_load.sh [path/to/bootsmith]     (default: build/bootsmith)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=${1:-$root/build/bootsmith}
lua=$root/bench/window.lua
command -v wrk >/dev/null || { echo "wrk is not installed (apt-get install wrk)."; exit 2; }
command -v curl >/dev/null || { echo "curl is not installed."; exit 2; }

tmp=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT

TMPDIR=$tmp BOOTSMITH_NO_BROWSER=1 "$bin" --demo serve >"$tmp/out" 2>"$tmp/err" &
pid=$!
for _ in $(seq 1 100); do
    grep -q 'to stop it' "$tmp/out" 2>/dev/null && break
    sleep 0.1
done
port=$(sed -n 's|.*http://127\.0\.0\.1:\([0-9]*\)/#k=.*|\1|p' "$tmp/out")
key=$(sed -n 's|.*/#k=\([0-9a-f]*\)$|\1|p' "$tmp/out")
base=http://127.0.0.1:$port
token=$(curl -s -X POST --data "{\"k\":\"$key\"}" "$base/api/bootstrap" |
    sed -n 's/.*"token":"\([0-9a-f]*\)".*/\1/p')
[ -n "$token" ] || { echo "Could not claim the window token."; exit 1; }
export BOOTSMITH_TOKEN=$token

rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$pid/status"; }
threads() { ls "/proc/$pid/task" | wc -l; }
alive() { kill -0 "$pid" 2>/dev/null || { echo "The window ended during the load:"; cat "$tmp/err"; exit 1; }; }
# A ping opens the window, so the stop rules give it ten minutes.
curl -s -X POST -H "X-Bootsmith-Token: $token" --data '{}' "$base/api/ping" >/dev/null
sleep 1
idle_rss=$(rss_kb)
idle_threads=$(threads)

load() {  # NAME METHOD PATH
    echo "== $1: $2 $3, 32 connections, 10 s"
    BENCH_METHOD=$2 wrk -t2 -c32 -d10s --latency -s "$lua" "$base$3" |
        grep -E 'Latency|50%|90%|99%|requests in|Requests/sec|Non-2xx|Socket errors'
}
load state GET /api/state
load scan POST /api/scan
alive

# Memory over a number of requests: about 1,000 first, then at least
# 100,000 in all, counted from wrk's own totals.
served=0
more() {  # SECONDS CONNECTIONS
    local line
    line=$(BENCH_METHOD=GET wrk -t2 -c"$2" -d"$1"s -s "$lua" "$base/api/state" | grep 'requests in')
    served=$((served + $(awk '{print $1}' <<<"$line")))
}
while [ "$served" -lt 1000 ]; do more 1 2; done
alive
sleep 1
rss_1k=$(rss_kb)
at_1k=$served
while [ "$served" -lt 100000 ]; do more 10 16; alive; done
sleep 5
rss_100k=$(rss_kb)
echo "== memory and threads"
echo "resident idle:                 $idle_rss kB"
echo "resident after $at_1k requests:      $rss_1k kB"
echo "resident after $served requests:   $rss_100k kB (growth $((rss_100k - rss_1k)) kB)"
echo "threads idle / after the load: $idle_threads / $(threads)"
echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), load $(cut -d' ' -f1-3 /proc/loadavg)"
