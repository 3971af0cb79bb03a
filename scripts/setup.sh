#!/usr/bin/env bash
# Installs what this machine lacks. Debian 12, run as root; asks nothing.
#   scripts/setup.sh          what building and running the calculator needs
#   scripts/setup.sh --test   that, and what the tests, the package checks and
#                             the benchmarks need
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-charts-dev qt6-svg-dev libqt6opengl6-dev # audit window plots, SVG export; Charts' CMake needs OpenGL's
    libeigen3-dev nlohmann-json3-dev # model updates: fits and covariances, the update's JSON document
)
test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
    poppler-utils valgrind time clang-format locales
    python3-scipy python3-statsmodels python3-pandas python3-sklearn  # audit analysis: reference in tests, benchmark
    desktop-file-utils appstream lintian man-db
)

with_tests=false
case "${1:-}" in
"") ;;
--test)
    packages+=("${test_packages[@]}")
    with_tests=true
    ;;
*)
    echo "usage: $0 [--test]" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    if [[ $(id -u) -ne 0 ]]; then
        sudo=sudo
    else
        sudo=
    fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A test formats numbers under a German C locale (comma as decimal separator),
# to show that the program's percentages never take the C library's separator.
if $with_tests && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    if [[ $(id -u) -ne 0 ]]; then
        sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
    else
        localedef -i de_DE -f UTF-8 de_DE.UTF-8
    fi
fi
