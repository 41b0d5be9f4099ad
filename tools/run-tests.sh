#!/bin/sh
# Runs every test: the default workflow (Release, both builds of the library,
# the toolkit, the package consumer), then the Python module's workflow when
# CMakePresets.json has one. On Debian or Ubuntu it first installs what the
# tests need, only what is missing (with sudo unless run as root; the lists are
# in tools/deps.sh). Run it from anywhere; the builds go to build/<preset>.
set -eu

src=$(cd "$(dirname "$0")/.." && pwd)
cd "$src"
. tools/deps.sh

# A workflow preset is listed as   "name"   by cmake --workflow --list-presets.
has_workflow() {
  cmake --workflow --list-presets 2>/dev/null | grep -q "^ *\"$1\""
}

jobs="build tests"
if kelvane_has_python .; then jobs="$jobs python"; fi
# shellcheck disable=SC2086  # one word per job
kelvane_install_deps $jobs

cmake --workflow --preset default
if has_workflow python; then
  cmake --workflow --preset python
fi
