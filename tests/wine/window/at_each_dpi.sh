#!/usr/bin/env bash
# Runs a Windows test program once at each of 96, 120 and 144 DPI in the test prefix:
#
#   at_each_dpi.sh PROGRAM.exe [ARGS...]
#
# The DPI is the prefix's HKCU\Control Panel\Desktop LogPixels, read by each process as
# it starts; the program learns the DPI it should see from EXPECTED_DPI. The value is
# removed again at the end, whatever happened: every other test runs at 96 DPI, so the
# tests that use this script run alone.
set -uo pipefail

key='HKCU\Control Panel\Desktop'
restore() { wine reg delete "$key" /v LogPixels /f >/dev/null 2>&1 || true; }
trap restore EXIT

status=0
for dpi in 96 120 144; do
  echo "== at $dpi DPI"
  wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 || { echo "cannot set LogPixels"; exit 1; }
  EXPECTED_DPI=$dpi wine "$@" || status=1
done
exit $status
