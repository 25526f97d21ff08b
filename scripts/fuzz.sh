#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, ASan and UBSan (every library
# instrumented) and runs each for SECONDS (default 60) on a copy of its corpus.
# Stops at the first crash and prints the reproducer's path. New inputs that
# reach new code stay in the copy (build-fuzz/work/<target>); merge them into
# fuzz/corpus/ by hand when they are worth keeping.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/install-deps.sh

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKM_LIBFUZZER=ON -DKM_BUILD_BENCH=OFF >/dev/null
targets=$(sed -n 's/^km_add_fuzz_target(\([a-z0-9_]*\) .*/\1/p' fuzz/CMakeLists.txt)
# shellcheck disable=SC2086
cmake --build build-fuzz -j "$(nproc)" --target $targets

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export seconds
# One target: its own copy of the corpus, its own log; exit 255 on a crash so
# that xargs starts no further target.
run_one() {
    local t="$1" work="build-fuzz/work/$1"
    rm -rf "$work" && mkdir -p "$work/corpus" "$work/crashes"
    if [ -d "fuzz/corpus/$t" ]; then
        cp -r "fuzz/corpus/$t/." "$work/corpus/"
    fi
    if ! "build-fuzz/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$work/crashes/" "$work/corpus" \
        >"$work/log" 2>&1; then
        echo "CRASH in $t; reproducer: $(ls -1 "$work"/crashes/* 2>/dev/null | head -1)"
        tail -40 "$work/log"
        return 255
    fi
    echo "== $t (${seconds}s) $(grep -E "^stat::number_of_executed_units|^stat::average_exec_per_sec|cov: " \
        "$work/log" | tail -3 | tr '\n' ' ')"
}
export -f run_one
# As many targets at once as there are cores.
# shellcheck disable=SC2086
printf '%s\n' $targets | xargs -P "$(nproc)" -I{} bash -c 'run_one "$@"' _ {}
