#!/usr/bin/env bash
# Runs the type library generator under Wine at build time, without a display, in the
# Wine environment of tests/wine/wine-env with a prefix of the build tree's own
# (ROOT/prefix, created on the first run):
#
#   run_tlbgen.sh WINE_ENV ROOT GENERATOR.exe OUTPUT.tlb win32|win64
set -euo pipefail

wine_env=$1 root=$2 generator=$3 output=$4 syskind=$5
export WINE_TEST_ROOT=$root
unset DISPLAY WAYLAND_DISPLAY

# One build at a time per prefix; the lock also covers the prefix's creation.
mkdir -p "$root"
exec 9>"$root/lock"
flock 9

# The generator sees Unix paths through drive Z:.
rm -f "$output"
"$wine_env" exec wine "$generator" "Z:$(tr / '\\' <<<"$output")" "$syskind"
"$wine_env" exec wineserver -w
[ -s "$output" ] || { echo "run_tlbgen: no type library written" >&2; exit 1; }
