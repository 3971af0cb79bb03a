#!/usr/bin/env bash
# Builds the program and runs every test three times: in a Debug build, in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, and in the
# Release build that users and packagers make. Warnings are errors here, and
# only here: a user's build never fails on a newer compiler's warning.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh" --test

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_suite() {
    local dir=$1
    shift
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j2
    ctest --test-dir "$dir" --output-on-failure -j2
}

# Every source follows .clang-format.
git -C "$root" ls-files -z '*.cpp' '*.h' | (cd "$root" && xargs -0 clang-format --dry-run -Werror)

run_suite "$root/build/debug" -DCMAKE_BUILD_TYPE=Debug
run_suite "$root/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DCALDRIN_SANITIZE=ON
run_suite "$root/build/release" -DCMAKE_BUILD_TYPE=Release

# The Debian package made from that Release build, checked as installed.
"$root/scripts/check-package.sh" "$root/build/release"
