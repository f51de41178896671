#!/usr/bin/env bash
# Static checks of a 32-bit Windows binary of the shipping build:
#   check_pe.sh OBJDUMP FILE [EXPORT...]
# The file must be a 32-bit PE image, import only DLLs that every Windows system has,
# and export each EXPORT under its undecorated name.
set -uo pipefail

objdump=$1 file=$2
shift 2

system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|version|msvcrt|shlwapi|uxtheme|ws2_32)\.dll$'
failures=0
fail() { echo "FAIL: $(basename "$file"): $*" >&2; failures=$((failures + 1)); }

dump=$("$objdump" -p "$file") || { echo "FAIL: cannot read $file" >&2; exit 1; }

grep -q 'file format pei-i386' <<<"$dump" || fail "not a 32-bit PE image"

imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || fail "no imports found"
for dll in $imports; do
  [[ $dll =~ $system_dlls ]] || fail "imports $dll, which is not a system DLL"
done

exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p')
for name in "$@"; do
  grep -qx "$name" <<<"$exports" || fail "does not export $name undecorated (exports: $(echo $exports))"
done

[ "$failures" -eq 0 ] && echo "$(basename "$file"): imports $(echo $imports)"
exit $((failures > 0))
