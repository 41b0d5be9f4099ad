#!/bin/sh
# Builds the trace demo and draws the default town into ./trace.svg.
# On Debian or Ubuntu it first installs the packages the demo needs, only
# those missing (with sudo unless run as root). Extra arguments go to
# kelvane-trace, e.g.  examples/run-demo.sh --direction upstream
set -eu

src=$(cd "$(dirname "$0")/.." && pwd)
out=$(pwd)
build=${KELVANE_DEMO_BUILD:-$src/build/run-demo}

if command -v dpkg-query >/dev/null 2>&1 && command -v apt-get >/dev/null 2>&1; then
  missing=""
  for pkg in cmake make g++ libgdal-dev; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing="$missing $pkg"
    fi
  done
  if [ -n "$missing" ]; then
    echo "run-demo: installing$missing" >&2
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
  fi
else
  echo "run-demo: not a Debian system; needs CMake 3.20+, a C++17 compiler and GDAL's development files" >&2
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKELVANE_BUILD_EXAMPLES=ON -DKELVANE_BUILD_TESTS=OFF
cmake --build "$build" --target kelvane-trace -j "$jobs"
"$build/examples/kelvane-trace" --svg "$out/trace.svg" "$@"
