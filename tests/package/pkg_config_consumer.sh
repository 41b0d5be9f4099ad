#!/bin/sh
# Builds and runs the consumer against the installed .pc files of both builds,
# and the toolkit's host (tools.cpp beside it) against the toolkit's.
set -eu
prefix=$1 src=$2 out=$3 cxx=$4
mkdir -p "$out"
libdir=$(ls -d "$prefix"/lib*/pkgconfig | head -n 1)
export PKG_CONFIG_PATH="$libdir"
for pc in kelvane kelvane_gen1; do
  # Sanitizer builds install instrumented libraries; link the host the same way.
  "$cxx" ${CXXFLAGS:-} "$src" -o "$out/$pc" $(pkg-config --cflags --libs "$pc") ${LDFLAGS:-} \
    -Wl,-rpath,"$(pkg-config --variable=libdir "$pc")"
  "$out/$pc"
done
for pc in kelvane-tools kelvane-tools-gen1; do
  "$cxx" ${CXXFLAGS:-} "$(dirname "$src")/tools.cpp" -o "$out/$pc" $(pkg-config --cflags --libs "$pc") ${LDFLAGS:-} \
    -Wl,-rpath,"$(pkg-config --variable=libdir "$pc")"
  "$out/$pc"
done
