#!/usr/bin/env bash
# Static check of the resources of a Tesvar.ocx that cannot run here (the 32-bit one):
#   check_ocx_resources.sh WINDRES Tesvar.ocx win32|win64
# The type library (TYPELIB 1) is there and written for the build's system kind, and
# so are the version block, the icon and the toolbox bitmap 30000.
set -uo pipefail

windres=$1 file=$2 syskind=$3
failures=0
fail() { echo "FAIL: $(basename "$file"): $*" >&2; failures=$((failures + 1)); }

rc=$("$windres" -i "$file" -O rc) || { echo "FAIL: cannot read the resources of $file" >&2; exit 1; }

# The library's header: magic "MSFT", then version, GUID offset, LCIDs and the flags
# whose low nibble is the system kind (1 SYS_WIN32, 3 SYS_WIN64).
header=$(grep -A1 '^1 "TYPELIB"' <<<"$rc" | tail -1)
[ -n "$header" ] || fail "no TYPELIB 1 resource"
read -r -a words <<<"$(tr -d ',L' <<<"$(sed -n '/^1 "TYPELIB"/,/^END/p' <<<"$rc" | sed -n 3p)")"
[ "${words[0]:-}" = 0x5446534d ] || fail "TYPELIB 1 is not a type library"
want=$([ "$syskind" = win64 ] && echo 3 || echo 1)
[ $((${words[5]:-0} & 0xF)) -eq "$want" ] || fail "the type library is not written for $syskind"

grep -q '^30000 2 /\* RT_BITMAP \*/' <<<"$rc" || fail "no toolbox bitmap 30000"
grep -q '^1 14 /\* RT_GROUP_ICON \*/' <<<"$rc" || fail "no icon 1"
grep -q '^1 VERSIONINFO' <<<"$rc" || fail "no version block"
grep -q 'BLOCK "080404b0"' <<<"$rc" || fail "the version strings are not Chinese (PRC), Unicode"
grep -q 'VALUE "OLESelfRegister", ""' <<<"$rc" || fail "not marked self-registering"
grep -q 'VALUE "OriginalFilename", "Tesvar.ocx"' <<<"$rc" || fail "file name is not Tesvar.ocx"

[ "$failures" -eq 0 ] && echo "$(basename "$file"): type library ($syskind), version block, icon, toolbox bitmap"
exit $((failures > 0))
