#!/usr/bin/env bash
# Kills the program with SIGKILL at random moments, 20 times during a 1,000,000-line batch and 20 times
# during a run of quick-key filings, and checks the store after each kill.
# Usage: bench/crash_safety.sh [BUILD_DIR]   (default: build)
set -u
build=${1:-build}
victim="$build/bench/crash_victim"
[ -x "$victim" ] || { echo "build $victim first"; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# Waits until the log says the work has started, then a random time below the given milliseconds.
kill_later() {
    local pid=$1 log=$2 max_ms=$3
    for _ in $(seq 600); do grep -q '^started' "$log" 2>/dev/null && break; sleep 0.05; done
    sleep "$(awk -v r="$RANDOM" -v m="$max_ms" 'BEGIN { printf "%.3f", (r % m) / 1000 }')"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

survived=0
for i in $(seq 20); do
    rm -f "$work"/batch.db*
    "$build/korvel" --init "$work/batch.db"
    "$victim" batch "$work/batch.db" >"$work/batch.log" 2>/dev/null &
    kill_later $! "$work/batch.log" 3000
    if result=$("$victim" verify-batch "$work/batch.db" "$work/batch.log" 2>/dev/null); then
        survived=$((survived + 1))
    fi
    echo "batch kill $i: $result"
done
echo "batch: $survived of 20 kills survived"

filed=0
rm -f "$work"/file.db*
"$victim" prepare "$work/file.db" || exit 1
for i in $(seq 20); do
    "$victim" file "$work/file.db" >"$work/file.log" 2>/dev/null &
    kill_later $! "$work/file.log" 1500
    if result=$("$victim" verify-file "$work/file.db" "$work/file.log" 2>/dev/null); then
        filed=$((filed + 1))
    fi
    echo "filing kill $i: $result"
done
echo "filing: $filed of 20 kills survived"
[ "$survived" -eq 20 ] && [ "$filed" -eq 20 ]
