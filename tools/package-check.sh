#!/usr/bin/env bash
# Builds the Debian packages (preset package), runs lintian over them, installs
# them and uses them as a user would, from a scratch directory outside the
# tree: the package consumer through find_package and through pkg-config,
# kelvane-trace from PATH, the Python module when it was packaged. Then purges
# them and checks that no file they installed is left. Needs root or sudo; it
# changes the system's packages, so CI runs it on a throwaway machine.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cd "$src"
. tools/deps.sh
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi
say() { echo "package-check: $*"; }
fail() { echo "package-check: FAILED: $*" >&2; exit 1; }

version=$(sed -n 's/^project(Kelvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no project version in CMakeLists.txt"

jobs="build demo package"
if kelvane_has_python .; then jobs="$jobs python qgis"; fi
# shellcheck disable=SC2086  # one word per job
kelvane_install_deps $jobs

rm -f build/package/*.deb  # only this build's packages below
cmake --workflow --preset package
debs=(build/package/*.deb)
[ -e "${debs[0]}" ] || fail "no .deb in build/package"
packages=()
for deb in "${debs[@]}"; do
  packages+=("$(dpkg-deb -f "$deb" Package)")
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$deb is not version $version"
done
say "built ${packages[*]}"

# Warnings fail too: the ones the packages cannot avoid are overridden in
# cmake/debian/<package>/lintian-overrides, each with its reason.
lintian --fail-on error,warning "${debs[@]}"

# Leave the system as it was, also when a check below fails.
installed=0
scratch=$(mktemp -d)
cleanup() {
  if [ "$installed" = 1 ]; then $sudo apt-get purge -y "${packages[@]}" >/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q installed; then
    fail "$p is installed already; purge it first"
  fi
done
# The directories the packages bring that do not exist yet: they must go again.
new_dirs=()
for deb in "${debs[@]}"; do
  while read -r path; do
    path=${path#.}
    path=${path%/}
    if [ -n "$path" ] && [ ! -e "$path" ]; then new_dirs+=("$path"); fi
  done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t)
done
installed=1
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y "${debs[@]/#/./}"
files=$(dpkg -L "${packages[@]}")

say "consumer through find_package(Kelvane)"
cp -r tests/package/consumer "$scratch/consumer"
cmake -S "$scratch/consumer" -B "$scratch/consumer/build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$scratch/consumer/build" -j 2 > /dev/null
for exe in consumer_current consumer_gen1 consumer_tools; do
  "$scratch/consumer/build/$exe"
done

say "consumer through pkg-config"
for pc in kelvane kelvane_gen1; do
  [ "$(pkg-config --modversion "$pc")" = "$version" ] || fail "$pc.pc is not version $version"
  # shellcheck disable=SC2046  # pkg-config's flags are separate words
  g++ -std=c++17 "$scratch/consumer/main.cpp" -o "$scratch/$pc" $(pkg-config --cflags --libs "$pc")
  "$scratch/$pc"
done
for pc in kelvane-tools kelvane-tools-gen1; do
  [ "$(pkg-config --modversion "$pc")" = "$version" ] || fail "$pc.pc is not version $version"
  # shellcheck disable=SC2046  # pkg-config's flags are separate words
  g++ -std=c++17 "$scratch/consumer/tools.cpp" -o "$scratch/$pc" $(pkg-config --cflags --libs "$pc")
  "$scratch/$pc"
done

cd "$scratch"  # nothing below may pick up the source tree
say "kelvane-trace from PATH"
[ "$(command -v kelvane-trace)" = /usr/bin/kelvane-trace ] || fail "kelvane-trace is not /usr/bin/kelvane-trace"
shown=$(kelvane-trace --version)  # "kelvane-trace 1.0.0, GDAL 3.6.2"
shown=${shown#kelvane-trace }
[ "${shown%%,*}" = "$version" ] || fail "kelvane-trace --version says '$shown', not $version"
kelvane-trace --svg trace.svg > /dev/null
grep -q '<svg' trace.svg || fail "kelvane-trace wrote no SVG"
summary=$(kelvane-trace-gen1 --components --no-svg)
grep -q '^components: 2;' <<< "$summary" || fail "kelvane-trace-gen1 finds no components"

if printf '%s\n' "${packages[@]}" | grep -qx python3-kelvane; then
  say "Python module"
  shown=$(/usr/bin/python3 -c "import kelvane; print(kelvane.__version__)")
  [ "$shown" = "$version" ] || fail "kelvane.__version__ is '$shown', not $version"
fi

if printf '%s\n' "${packages[@]}" | grep -qx qgis-plugin-kelvane; then
  say "QGIS plugin through qgis_process"
  plugin=/usr/share/qgis/python/plugins/kelvane_processing
  [ -f "$plugin/metadata.txt" ] || fail "no $plugin/metadata.txt"
  # Enabled in a private profile, as a user enables it once in the plugin
  # manager; no bytecode, which the purge would leave behind.
  mkdir -m 700 "$scratch/run"
  mkdir -p "$scratch/config/profiles/default/QGIS"
  printf '[PythonPlugins]\nkelvane_processing=true\n' > "$scratch/config/profiles/default/QGIS/QGIS3.ini"
  listed=$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch/run" QGIS_CUSTOM_CONFIG_PATH="$scratch/config" \
           PYTHONDONTWRITEBYTECODE=1 "$(command -v qgis_process.bin || command -v qgis_process)" list 2>/dev/null |
           grep -c '^\s*kelvane:' || true)
  [ "$listed" = 9 ] || fail "qgis_process lists $listed Kelvane algorithms, not 9"
fi
cd "$src"

say "purge"
installed=0
$sudo apt-get purge -y "${packages[@]}"
left=0
while read -r path; do
  if [ -L "$path" ] || { [ -e "$path" ] && [ ! -d "$path" ]; }; then
    echo "left behind: $path" >&2
    left=1
  fi
done <<< "$files"
for dir in "${new_dirs[@]}"; do
  if [ -e "$dir" ]; then echo "left behind: $dir/" >&2; left=1; fi
done
[ "$left" = 0 ] || fail "files left after purge"
say "ok: ${packages[*]} $version"
