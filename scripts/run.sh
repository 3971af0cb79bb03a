#!/usr/bin/env bash
# Builds a Release build of the calculator and starts it, passing on its own
# arguments (so "scripts/run.sh /TEST" starts it with direct score entry).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCALDRIN_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build/release" --target caldrin caldrin-help -j2

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
    echo "The calculator needs a graphical display: run this command from a desktop session, or start one with 'apt-get install xvfb' and 'xvfb-run scripts/run.sh'." >&2
    exit 1
fi
exec "$root/build/release/bin/caldrin" "$@"
