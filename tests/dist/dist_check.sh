#!/usr/bin/env bash
# Makes a distribution of the build trees in BUILD_DIR (win32 and win64) with
# scripts/package into DIST and checks it with check_dist.sh (label "static"):
#
#   dist_check.sh SOURCE_DIR BUILD_DIR DIST VERSION
#
# Skipped (exit 77) when the win64 tree has not been built.
set -uo pipefail
src=$1 build=$2 dist=$3 version=$4
output=$(MENDORA_DIST=$dist MENDORA_BUILD=$build "$src/scripts/package" 2>&1)
status=$?
echo "$output"
if [ $status -ne 0 ]; then
  grep -q 'run make win64 first' <<<"$output" && exit 77
  echo "FAIL: scripts/package failed" >&2
  exit 1
fi
grep -qx 'unsigned: .*' <<<"$output" || { echo "FAIL: scripts/package did not say the files are unsigned" >&2; exit 1; }
exec "$(dirname "$0")/check_dist.sh" "$src" "$dist" "$version" "$build"
