#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
# KM_SANITIZE adds sanitizer runs, as a list: "1" or "address" builds and runs
# the suite under ASan + UBSan (build-fuzz/, with clang); "thread" builds the tests that
# run threads (directory watchers and readers, the editor's background loader) under
# ThreadSanitizer (build-tsan/). KM_FUZZ_SECONDS runs scripts/fuzz.sh after.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# ctest in build tree $1 with the timeout $2. ctest counts a skipped test as
# passed, so its report then goes through the list of allowed skips: any other
# skip fails the run. The output of passing (and skipped) tests is kept whole
# enough to hold the skip's message.
run_ctest() {
    local tree=$1 timeout=$2
    local report="$PWD/$tree/Testing/skips-report.xml"
    rm -f "$report"
    (cd "$tree" && ctest -j "$jobs" --output-on-failure --timeout "$timeout" \
        --output-junit "$report" --test-output-size-passed 65536 --test-output-truncation middle)
    python3 scripts/check-skips.py "$report" tests/allowed-skips.txt
}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
run_ctest build 120

# The Debian package: built, listed, its desktop entry and metainfo checked, its
# dependencies resolved against this system, and the program unpacked from it started.
rm -rf build/package
cpack --config build/CPackConfig.cmake -B build/package >/dev/null
deb=$(ls build/package/kestrum_*.deb)
dpkg-deb -f "$deb"
dpkg-deb -c "$deb"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/org.kestrum.Kestrum.desktop"
appstreamcli validate --no-net --pedantic "$unpacked/usr/share/metainfo/org.kestrum.Kestrum.metainfo.xml"
apt-get install --simulate -q "$PWD/$deb" | grep -E '^Inst kestrum|^kestrum is already'
KM_INSTALLED_PREFIX="$unpacked/usr" build/tests/integration/test_install --gtest_filter='InstalledProgram.*'
rm -rf "$unpacked"

for kind in ${KM_SANITIZE:-}; do
    case "$kind" in
    1 | address)
        # The fuzzing tree (clang, ASan, UBSan, coverage) with the tests in it: one
        # build serves this run and scripts/fuzz.sh.
        CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DKM_LIBFUZZER=ON -DKM_BUILD_BENCH=OFF >/dev/null
        cmake --build build-fuzz -j "$jobs"
        ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-fuzz 600
        ;;
    thread)
        cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKM_SANITIZE=thread \
            -DKM_BUILD_BENCH=OFF >/dev/null
        cmake --build build-tsan -j "$jobs" --target test_platform test_viewers test_listing
        export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp"
        build-tsan/tests/platform/test_platform --gtest_filter='DirectoryWatcher*:DirectoryReader*'
        build-tsan/tests/panels/test_listing --gtest_filter='DirectoryLoad*:ListingTest*'
        build-tsan/tests/viewers/test_viewers --gtest_filter='EditorRoundTrip*:EditorWindowTest*'
        ;;
    *)
        echo "KM_SANITIZE: unknown kind '$kind'" >&2
        exit 2
        ;;
    esac
done

if [ -n "${KM_FUZZ_SECONDS:-}" ]; then
    scripts/fuzz.sh "$KM_FUZZ_SECONDS"
fi
