#!/usr/bin/env bash
# Checks the resources of Mendora.exe:  check_mendora_resources.sh WINDRES FILE
# the version resource (file version 2.0.0.0), the manifest (the same version,
# administrator rights, DPI awareness), the six-image icon and the hand pointer.
set -uo pipefail
windres=$1 file=$2
failures=0
fail() { echo "FAIL: $(basename "$file"): $*" >&2; failures=$((failures + 1)); }

rc=$("$windres" -i "$file" -O rc 2>&1) || { echo "FAIL: cannot read the resources of $file" >&2; exit 1; }
grep -q 'FILEVERSION 2, 0, 0, 0' <<<"$rc" || fail "file version is not 2.0.0.0"
grep -q '^1 24 /\* RT_MANIFEST' <<<"$rc" || fail "no manifest"
# The manifest is stored as its UTF-8 text.
grep -aq '<assemblyIdentity [^>]*version="2.0.0.0"' "$file" || fail "the manifest's version is not 2.0.0.0"
grep -aq 'level="requireAdministrator"' "$file" || fail "the manifest does not require administrator rights"
grep -aq '<dpiAware[^>]*>true</dpiAware>' "$file" || fail "the manifest does not declare DPI awareness"
grep -q 'Has 6 elements' <<<"$rc" || fail "the icon does not have six images"
grep -q '^101 12 /\* RT_GROUP_CURSOR' <<<"$rc" || fail "no hand pointer (cursor 101)"

[ "$failures" -eq 0 ] && echo "$(basename "$file"): version, manifest, icon and cursor present"
exit $((failures > 0))
