#!/usr/bin/env bash
# The plugin as a shell user meets it: qgis_process, with QGIS_PLUGINPATH at
# qgis/ and the plugin enabled in a private profile, lists the Kelvane
# algorithms and routes across a generated city at the native route's cost.
#   tests/qgis/qgis-process.sh [build/python/python]
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
module=${1:-$src/build/python/python}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/run QGIS_CUSTOM_CONFIG_PATH=$work/config
export QGIS_PLUGINPATH=$src/qgis PYTHONPATH=$module PYTHONDONTWRITEBYTECODE=1
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Debian's /usr/bin/qgis_process wrapper passes the desktop's --noversioncheck
# (from /etc/default/qgis), which qgis_process 3.22 refuses: run the binary.
qgis_process=$(command -v qgis_process.bin || command -v qgis_process)
/usr/bin/python3 - "$work" "$src" <<'PY'
import sys
sys.path.insert(0, sys.argv[2] + "/tests/qgis")
from conftest import make_city
from qgis.core import QgsApplication, QgsProject
make_city(sys.argv[1], 14)
app = QgsApplication([], False)
app.initQgis()
QgsProject().write(sys.argv[1] + "/empty.qgz")  # the native algorithms want a project
PY
# Written after the QGIS above, which would otherwise write its own settings over it.
mkdir -p "$QGIS_CUSTOM_CONFIG_PATH/profiles/default/QGIS"
printf '[PythonPlugins]\nkelvane_processing=true\n' > "$QGIS_CUSTOM_CONFIG_PATH/profiles/default/QGIS/QGIS3.ini"

count=$($qgis_process list 2>/dev/null | grep -c '^\s*kelvane:' || true)
[ "$count" = 9 ] || { echo "qgis_process lists $count Kelvane algorithms, not 9" >&2; exit 1; }
route=(INPUT="$work/city.gpkg" "START_POINT=-500.3,-472.4" "END_POINT=165.9,26.0" DIRECTION_FIELD=oneway
       VALUE_FORWARD=1 VALUE_BACKWARD=-1 VALUE_BOTH=0)
cost() { $qgis_process run "$1" --json --PROJECT_PATH="$work/empty.qgz" -- "${route[@]}" OUTPUT="$work/$2.gpkg" 2>/dev/null |
         /usr/bin/python3 -c "import json, sys; print(json.load(sys.stdin)['results']['TRAVEL_COST'])"; }
ours=$(cost kelvane:shortestpathpointtopoint ours)
native=$(cost native:shortestpathpointtopoint native)
/usr/bin/python3 -c "import sys; a, b = map(float, sys.argv[1:]); sys.exit(abs(a - b) > 0.01)" "$ours" "$native" ||
  { echo "qgis_process: kelvane route costs $ours, native $native" >&2; exit 1; }
echo "qgis_process: 9 Kelvane algorithms; route cost $ours (native $native)"
