#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time, printing executions and findings.
# Usage: fuzz/run.sh [SECONDS_EACH]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
command -v clang++ >/dev/null || { sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo; $sudo apt-get install -y -q clang libclang-rt-14-dev; }
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_FUZZ=ON >/dev/null
cmake --build build-fuzz --target fuzz_class_code fuzz_batch
export QT_QPA_PLATFORM=offscreen
status=0
for target in fuzz_class_code fuzz_batch; do
    mkdir -p "build-fuzz/corpus/$target" "build-fuzz/findings/$target"
    echo "== $target, $seconds s"
    if ! "build-fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="build-fuzz/findings/$target/" "build-fuzz/corpus/$target" 2>"build-fuzz/$target.log"; then
        status=1
    fi
    grep -E '^Done|stat::number_of_executed_units|ERROR|SUMMARY' "build-fuzz/$target.log" || true
    echo "findings: $(ls "build-fuzz/findings/$target" | wc -l)"
done
exit $status
