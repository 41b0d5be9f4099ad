# The Debian packages each job needs, in one place; sourced by
# examples/run-demo.sh, tools/run-tests.sh, tools/package-check.sh and .ci/run.
#   kelvane_deps JOB...          prints the packages of the jobs
#   kelvane_install_deps JOB...  installs those missing: with sudo unless root,
#                                apt-get update first only when one is missing
#   kelvane_has_python SRC       whether the tree at SRC has the Python module
# Jobs: build (any build of the libraries), tests (the default test workflow),
# demo (the trace demo), python (the Python module and its tests), package (the
# Debian packages and their checks), ci-extra (what else CI runs: sanitizers,
# valgrind, static checks, fuzzers, benchmarks, the demo's picture check, the
# Python example's picture), qgis (the QGIS plugin's tests in a headless QGIS;
# qgis/screenshot.sh also wants xvfb, which CI does not run).
# POSIX sh, for run-demo.sh; no `local` there, so the functions' own variables
# start with _kd_ to leave the caller's alone.

kelvane_deps() {
  for _kd_job in "$@"; do
    case $_kd_job in
      build)    echo cmake make g++ pkg-config ;;
      tests)    echo libgtest-dev libgmock-dev libboost-graph-dev ;;
      demo)     echo libgdal-dev ;;
      python)   echo python3-dev pybind11-dev python3-numpy python3-pytest python3-networkx \
                     python3-pandas python3-geopandas python3-shapely python3-dask python3-distributed \
                     python3-venv python3-pip python3-setuptools mypy ;;
      package)  echo dpkg-dev file binutils lintian ;;
      qgis)     echo qgis python3-qgis qgis-providers python3-gdal python3-pytest ;;
      ci-extra) echo libbenchmark-dev liblemon-dev clang clang-tidy cppcheck valgrind \
                     libclang-rt-14-dev librsvg2-bin python3-gdal python3-matplotlib ;;
      *) echo "deps.sh: no job '$_kd_job'" >&2; return 1 ;;
    esac
  done
}

kelvane_install_deps() {
  _kd_wanted=$(kelvane_deps "$@") || return 1
  if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
    # shellcheck disable=SC2086  # the list on one line
    echo "deps.sh: not a Debian system; install by hand the equivalents of:" $_kd_wanted >&2
    return 0
  fi
  _kd_missing=""
  for _kd_pkg in $_kd_wanted; do
    case " $_kd_missing " in *" $_kd_pkg "*) continue ;; esac
    if ! dpkg-query -W -f='${Status}' "$_kd_pkg" 2>/dev/null | grep -q "install ok installed"; then
      _kd_missing="$_kd_missing $_kd_pkg"
    fi
  done
  [ -n "$_kd_missing" ] || return 0
  echo "deps.sh: installing$_kd_missing" >&2
  _kd_sudo=""
  if [ "$(id -u)" -ne 0 ]; then _kd_sudo=sudo; fi
  $_kd_sudo apt-get update
  # shellcheck disable=SC2086  # one word per package
  $_kd_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $_kd_missing
}

kelvane_has_python() {
  [ -f "$1/python/CMakeLists.txt" ]
}
