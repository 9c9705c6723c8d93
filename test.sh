#!/usr/bin/env bash
# Checks the formatting, then builds the library and runs every test: the
# normal build with the Python module (CTest, then pytest; warnings are
# errors), then the AddressSanitizer/UndefinedBehaviorSanitizer build of the
# C++ side, then a clang build of the C++ side. Installs what is missing.
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
need_deb "command -v clang++" clang
need_deb "command -v clang-format" clang-format
# localedef and the locale sources, for the test that builds a single-byte locale.
need_deb "command -v localedef && test -d /usr/share/i18n/locales" locales
# ccache only speeds up repeated builds; carry on without it.
need_deb "command -v ccache" ccache || true

# The Python module: the interpreter's headers, NumPy to build against, and
# what the Python tests use.
PYTHON="${PYTHON:-python3}"
need_deb "command -v $PYTHON" python3
need_deb "$PYTHON -c 'import os, sysconfig; assert os.path.isfile(os.path.join(sysconfig.get_paths()[\"include\"], \"Python.h\"))'" python3-dev
if ! "$PYTHON" -c "import numpy, scipy, pytest, mypy" >/dev/null 2>&1; then
    "$PYTHON" -m pip install --quiet numpy scipy pytest mypy
fi

run_build() {
    local dir="$1"; shift
    cmake -S "$ROOT" -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
    ctest --test-dir "$dir" --output-on-failure -j "$JOBS"
}

echo "== format =="
# Every C and C++ file follows .clang-format (100 columns); fix with clang-format -i.
(cd "$ROOT" && find src tests app bench fuzz -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.c' -o -name '*.h' \) -print0 |
    xargs -0 clang-format --dry-run --Werror)

echo "== normal build =="
# The benchmarks are built here so that they keep compiling; they are run by hand.
run_build "$ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQARNO_BUILD_BENCHMARKS=ON \
    -DQARNO_WERROR=ON -DQARNO_BUILD_PYTHON=ON "-DPython_EXECUTABLE=$("$PYTHON" -c 'import sys; print(sys.executable)')"

echo "== Python tests =="
# The module of the build above, not an installed one.
export QARNO_PYTHON_MODULE_DIR="$ROOT/build/release/src/Python"
(cd "$ROOT" && "$PYTHON" -m pytest -q -p no:cacheprovider tests/python)
# The README's examples keep running.
for example in "$ROOT"/examples/*.py; do
    PYTHONPATH="$QARNO_PYTHON_MODULE_DIR" "$PYTHON" "$example" >/dev/null
done

echo "== sanitizer build =="
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# C++ only: the module would need the sanitizer runtime preloaded into Python.
run_build "$ROOT/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DQARNO_SANITIZE=ON -DQARNO_BUILD_PYTHON=OFF

echo "== clang build =="
# A second compiler sees other warnings and other undefined behaviour; the
# library and the C++ tests only.
run_build "$ROOT/build/clang" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DQARNO_WERROR=ON \
    -DQARNO_BUILD_PYTHON=OFF

echo "all tests passed"
