#!/usr/bin/env bash
# Runs the type library generator under Wine at build time, in a Wine prefix of its
# own (created on the first run) and without a display:
#
#   run_tlbgen.sh PREFIX GENERATOR.exe OUTPUT.tlb win32|win64
set -euo pipefail

prefix=$1 generator=$2 output=$3 syskind=$4

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8
unset DISPLAY WAYLAND_DISPLAY

command -v wine >/dev/null || { echo "run_tlbgen: wine is missing: run scripts/setup first" >&2; exit 1; }

# One build at a time per prefix; the lock also covers the prefix's creation.
mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9

if [ ! -f "$prefix/system.reg" ]; then
  wineboot -i >"$prefix.wineboot.log" 2>&1 || { echo "run_tlbgen: wineboot failed (see $prefix.wineboot.log)" >&2; exit 1; }
fi

# The generator sees Unix paths through drive Z:.
rm -f "$output"
wine "$generator" "Z:$(tr / '\\' <<<"$output")" "$syskind"
wineserver -w
[ -s "$output" ] || { echo "run_tlbgen: no type library written" >&2; exit 1; }
