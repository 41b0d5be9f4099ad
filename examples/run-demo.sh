#!/bin/sh
# Builds the trace demo and draws the default town into ./trace.svg.
# On Debian or Ubuntu it first installs the packages the demo needs, only
# those missing (with sudo unless run as root; the lists are in tools/deps.sh).
# Extra arguments go to kelvane-trace, e.g.  examples/run-demo.sh --direction upstream
set -eu

src=$(cd "$(dirname "$0")/.." && pwd)
out=$(pwd)
build=${KELVANE_DEMO_BUILD:-$src/build/run-demo}

. "$src/tools/deps.sh"
kelvane_install_deps build demo

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKELVANE_BUILD_EXAMPLES=ON -DKELVANE_BUILD_TESTS=OFF
cmake --build "$build" --target kelvane-trace -j "$jobs"
"$build/examples/kelvane-trace" --svg "$out/trace.svg" "$@"
