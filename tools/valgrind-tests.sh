#!/usr/bin/env bash
# Runs every test executable of a build directory (kelvane_*_tests_*) under
# valgrind memcheck. Exits non-zero on any memory error, any leak (definite,
# indirect or possible) or any failing test.
#
# Usage: tools/valgrind-tests.sh <build-dir>
#   Build without sanitizers, e.g.:
#   cmake -S . -B /tmp/vg -DCMAKE_BUILD_TYPE=RelWithDebInfo && cmake --build /tmp/vg -j2
set -uo pipefail
build=${1:?usage: tools/valgrind-tests.sh <build-dir>}

mapfile -t exes < <(find "$build" -type f -perm -u+x -name 'kelvane_*_tests_*' ! -name '*.so*' | sort)
if [ "${#exes[@]}" -eq 0 ]; then
  echo "no test executables (kelvane_*_tests_*) under $build" >&2
  exit 2
fi

failed=0
for exe in "${exes[@]}"; do
  name=$(basename "$exe")
  log="$build/valgrind-$name.log"
  # 99: memory error or leak; anything else non-zero: a failing test.
  # nouserintercepts: a test that replaces operator new (the toolkit's
  # allocation-fault sweep, over malloc and free) keeps its own, so valgrind
  # sees malloc and free pair up instead of its new against our free.
  valgrind --tool=memcheck --soname-synonyms=somalloc=nouserintercepts --leak-check=full --show-leak-kinds=definite,indirect,possible \
           --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=99 \
           "$exe" --gtest_brief=1 > "$log" 2>&1
  rc=$?
  summary=$(grep -E 'ERROR SUMMARY' "$log" | tail -n 1 | sed 's/^==[0-9]*== //')
  tests=$(grep -E '^\[  PASSED  \]|^\[  FAILED  \]' "$log" | head -n 1)
  echo "$name: rc=$rc; $tests; $summary"
  if [ "$rc" -ne 0 ]; then
    failed=1
    grep -E 'definitely|indirectly|possibly|Invalid|uninitialised|FAILED' "$log" | head -n 20
  fi
done
[ "$failed" -eq 0 ] && echo "valgrind: ${#exes[@]} executables, no errors, no leaks"
exit "$failed"
