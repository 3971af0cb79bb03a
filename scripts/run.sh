#!/usr/bin/env bash
# Installs what building and running need, builds a Release build in build/
# and starts the calculator, passing on its own arguments (so
# "scripts/run.sh /TEST" starts it with direct score entry).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCALDRIN_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build" -j2
exec "$root/build/bin/caldrin" "$@"
