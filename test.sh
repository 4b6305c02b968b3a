#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
. ./scripts_common.sh
tavmor_install_packages

if command -v clang-format >/dev/null; then
    files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || true)
    if [ -n "$files" ]; then
        echo "== clang-format check"
        # shellcheck disable=SC2086
        clang-format --dry-run --Werror $files
    fi
fi

BUILD=build-test
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Debug -DTAVMOR_SANITIZE=ON -DTAVMOR_BUILD_TESTS=ON
cmake --build "$BUILD" -j "$(tavmor_jobs)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
cd "$BUILD"
ctest --output-on-failure -j "$(tavmor_jobs)"
cd ..

# Fuzz regression: each target briefly over its corpus (seeds, kept inputs, past findings).
echo "== fuzz regression"
TAVMOR_FUZZ_BUILD=build-fuzz-test fuzz/run.sh 5
