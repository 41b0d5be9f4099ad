#!/usr/bin/env bash
# QGIS desktop under Xvfb with the plugin enabled: a route and a service area
# on a generated city, the Processing toolbox at the Kelvane group, saved to
# docs/qgis-plugin.png (or $1). Needs qgis, xvfb and the built Python module.
#   qgis/screenshot.sh [out.png] [build/python/python]
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$src/docs/qgis-plugin.png}")
work=${KELVANE_SHOT_WORK:-$(mktemp -d)}
[ -n "${KELVANE_SHOT_WORK:-}" ] || trap 'rm -rf "$work"' EXIT
export PYTHONPATH=${2:-$src/build/python/python} QGIS_PLUGINPATH=$src/qgis PYTHONDONTWRITEBYTECODE=1
export XDG_RUNTIME_DIR=$work/run KELVANE_SHOT=$out KELVANE_CITY=$work/city.gpkg
mkdir -m 700 "$XDG_RUNTIME_DIR"
/usr/bin/python3 -c "import sys; sys.path.insert(0, '$src/tests/qgis'); from conftest import make_city; make_city('$work', 40)"
mkdir -p "$work/profiles/default/QGIS"
printf '[PythonPlugins]\nkelvane_processing=true\n[qgis]\nshowTips=false\ncheckVersion=false\n' \
  > "$work/profiles/default/QGIS/QGIS3.ini"
rm -f "$out"
xvfb-run -a -s "-screen 0 1600x1000x24" qgis.bin --nologo --noversioncheck --profiles-path "$work" \
  --code "$src/qgis/screenshot.py" > "$work/qgis.log" 2>&1 || true
[ -s "$out" ] || { cat "$work/qgis.log" >&2; echo "screenshot.sh: no $out" >&2; exit 1; }
echo "screenshot.sh: $out"
