#!/usr/bin/env bash
# Builds the library and runs every test: the normal build, then the
# AddressSanitizer/UndefinedBehaviorSanitizer build. Installs what is missing.
# Exits non-zero on any failure.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
JOBS="$(nproc 2>/dev/null || echo 2)"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

apt_updated=0
need_deb() {
    # need_deb <test-command> <package>...
    local check="$1"; shift
    if ! eval "$check" >/dev/null 2>&1; then
        if [ "$apt_updated" -eq 0 ]; then
            as_root apt-get update -qq
            apt_updated=1
        fi
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@"
    fi
}

need_deb "test -f /usr/include/gtest/gtest.h" libgtest-dev
need_deb "test -f /usr/include/benchmark/benchmark.h" libbenchmark-dev
need_deb "command -v cmake" cmake
need_deb "command -v g++" g++
# ccache only speeds up repeated builds; carry on without it.
need_deb "command -v ccache" ccache || true

run_build() {
    local dir="$1"; shift
    cmake -S "$ROOT" -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
    ctest --test-dir "$dir" --output-on-failure -j "$JOBS"
}

echo "== normal build =="
# The benchmarks are built here so that they keep compiling; they are run by hand.
run_build "$ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQARNO_BUILD_BENCHMARKS=ON

echo "== sanitizer build =="
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_build "$ROOT/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DQARNO_SANITIZE=ON

echo "all tests passed"
