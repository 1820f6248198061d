#!/usr/bin/env bash
# Runs the tests of the Windows build under Wine: its unit tests, and the
# end-to-end suite (built for Linux) against cleanlogs.exe, including the
# comparison with the Linux build.
#
#   scripts/wine-tests.sh [WINDOWS_BUILD_DIR [E2E_TESTS]]
#
# Defaults: build/windows (cmake --workflow --preset windows) and
# build/ci/tests/e2e_tests (cmake --workflow --preset ci). Further gtest
# options can be passed in GTEST_FILTER and the like.
set -euo pipefail
cd "$(dirname "$0")/.."

windows_build=$(realpath "${1:-build/windows}")
e2e_tests=$(realpath "${2:-build/ci/tests/e2e_tests}")
for need in "$windows_build/cleanlogs.exe" "$windows_build/tests/launcher.exe" "$e2e_tests"; do
  [ -e "$need" ] || { echo "wine-tests: $need is missing; build it first (see README)" >&2; exit 2; }
done

# One Wine prefix for this run, made once, and one Wine server kept running
# for all of it, so that each start of a program costs a fraction of a
# second. The server outlives limits that a test sets for the program.
WINEPREFIX=$(mktemp -d /tmp/cleanlogs-wine.XXXXXX)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
start=$SECONDS
wineserver -p </dev/null >/dev/null 2>&1
wineboot -i >/dev/null 2>&1
echo "wine-tests: Wine prefix ready in $((SECONDS - start)) s"

ctest --test-dir "$windows_build" --output-on-failure
CLEANLOGS_PLATFORM=windows CLEANLOGS_BINARY="$windows_build/cleanlogs.exe" \
  CLEANLOGS_LAUNCHER="$windows_build/tests/launcher.exe" "$e2e_tests"
