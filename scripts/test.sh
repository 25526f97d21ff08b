#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
# KM_SANITIZE=1 also builds and runs the suite under ASan + UBSan (build-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest -j "$jobs" --output-on-failure --timeout 120)

if [ "${KM_SANITIZE:-0}" = "1" ]; then
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKM_SANITIZE=ON -DKM_BUILD_BENCH=OFF >/dev/null
    cmake --build build-asan -j "$jobs"
    export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1
    (cd build-asan && ctest -j "$jobs" --output-on-failure --timeout 600)
fi
