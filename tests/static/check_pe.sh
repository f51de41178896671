#!/usr/bin/env bash
# Static checks of a Windows binary that ships:
#   check_pe.sh OBJDUMP FORMAT FILE [EXPORT...]
# The file must be a PE image of FORMAT (objdump's pei-i386 or pei-x86-64), import at
# load time only known DLLs, and export each EXPORT under its undecorated name.
#
# Known DLLs are those that Windows always maps from the system folder, whatever folder
# the program was started from or loaded from: the KnownDLLs list of the session manager
# that Windows 7 and Windows 10 have in common, and ntdll. Any other imported library
# would be looked for beside the program first, where whoever could write that folder
# could put one of their own (version.dll, uxtheme.dll, comctl32.dll without a manifest).
# Libraries outside this list are loaded at run time from the system folder by their full
# path (win32/system_folder.h).
set -uo pipefail

objdump=$1 format=$2 file=$3
shift 3

known_dlls='^(advapi32|clbcatq|comdlg32|gdi32|imagehlp|imm32|kernel32|msctf|msvcrt|normaliz|nsi|ntdll|ole32|oleaut32|psapi|rpcrt4|sechost|setupapi|shell32|shlwapi|user32|wldap32|ws2_32)\.dll$'
failures=0
fail() { echo "FAIL: $(basename "$file"): $*" >&2; failures=$((failures + 1)); }

dump=$("$objdump" -p "$file") || { echo "FAIL: cannot read $file" >&2; exit 1; }

grep -q "file format $format\$" <<<"$dump" || fail "not a PE image of the format $format"

imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || fail "no imports found"
for dll in $imports; do
  [[ $dll =~ $known_dlls ]] || fail "imports $dll, which is not a known DLL: Windows would look for it beside the program first"
done
# Delay-loaded libraries are searched for as a bare name as well.
delayed=$(sed -n '/^The Delay Import Tables/,/^$/p' <<<"$dump" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -z "$delayed" ] || fail "delay-loads $(echo $delayed)"

exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p')
for name in "$@"; do
  grep -qx "$name" <<<"$exports" || fail "does not export $name undecorated (exports: $(echo $exports))"
done

[ "$failures" -eq 0 ] && echo "$(basename "$file"): imports $(echo $imports)"
exit $((failures > 0))
