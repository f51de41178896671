#!/usr/bin/env bash
# Static check of a distribution as scripts/package makes it:
#
#   check_dist.sh SOURCE_DIR DIST VERSION [FOLDER...]
#
# Each program and library of ours in DIST/win32 and DIST/win64 is a PE image of its
# kind with ASLR and DEP (DYNAMIC_BASE, NX_COMPAT, and HIGH_ENTROPY_VA for 64-bit), its
# relocations, no debug section and no symbol table, a debug link whose file and
# checksum match DIST/debug/PRESET/FILE.debug, and the version resource of VERSION
# (major.minor.0.patch; Tesvar.ocx its own 1.0.0.0). The 32-bit ones import only system
# DLLs and export their names undecorated, and the resources of Mendora.exe (the
# manifest among them) and of both controls are checked by the build's own resource
# checks. The kept debug information reads a crash address back to our source file,
# named relative to the source folder: neither SOURCE_DIR nor any FOLDER given (the
# build trees) occurs in any file of DIST. Mendora-VERSION-win32.zip holds exactly the
# files of DIST/win32, under one folder, and SHA256SUMS is right for every file.
set -uo pipefail

src=$1 dist=$2 version=$3
shift 3
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
source "$src/scripts/layout.sh"

IFS=. read -r major minor patch <<<"$version"
project_version="$major, $minor, 0, $patch"

# A function of each file, and the source file that defines it.
declare -A entry=(
  [Mendora.exe]="wWinMain src/window/main.cpp"
  [SkinH_VB6.dll]="SkinH_AttachEx src/skin/skinh.cpp"
  [Tesvar.ocx]="DllGetClassObject src/profilectl/ocx/server.cpp"
  [tesvar.exe]="wmain src/profilectl/tool/main_win32.cpp"
)
declare -A exports=(
  [SkinH_VB6.dll]="SkinH_AttachEx"
  [Tesvar.ocx]="DllRegisterServer DllUnregisterServer DllGetClassObject DllCanUnloadNow"
)

third_party_file() {
  local name=${1##*/} t
  for t in "${third_party[@]}"; do [ "${name,,}" = "${t,,}" ] && return 0; done
  return 1
}

# check_debug_link FILE DEBUG NAME: the .gnu_debuglink of FILE names DEBUG's file name
# and carries its CRC-32.
check_debug_link() {
  local file=$1 debug=$2 name=$3 link
  link=$(mktemp)
  if ! "$triple-objcopy" --dump-section .gnu_debuglink="$link" "$file" "$link.copy" 2>/dev/null || [ ! -s "$link" ]; then
    fail "$name: no debug link (.gnu_debuglink)"
  elif [ ! -f "$debug" ]; then
    fail "$name: its debug information $debug is missing"
  else
    python3 - "$link" "$debug" <<'EOF' || fail "$name: the debug link does not match ${debug#"$dist/"}"
import os, struct, sys, zlib
link = open(sys.argv[1], "rb").read()
name, _, rest = link.partition(b"\0")
crc = struct.unpack("<I", link[(len(name) + 4) // 4 * 4:][:4])[0]
want = zlib.crc32(open(sys.argv[2], "rb").read())
sys.exit(name.decode() != os.path.basename(sys.argv[2]) or crc != want)
EOF
  fi
  rm -f "$link" "$link.copy"
}

# check_crash_address DEBUG NAME: a function's address, given as scripts/crash-address
# takes it (from the image base), comes back as that function in its source file.
check_crash_address() {
  local debug=$1 name=$2 function file address base answer
  read -r function file <<<"${entry[${name##*/}]:-}"
  [ -n "$function" ] || return 0
  address=$("$triple-nm" "$debug" | awk -v f="$function" '$3 ~ "^_?" f "(@[0-9]+)?$" { print $1; exit }')
  base=$("$triple-objdump" -p "$debug" | awk '$1 == "ImageBase" { print $2 }')
  [ -n "$address" ] || { fail "$name: $function is not in its debug information"; return; }
  answer=$("$src/scripts/crash-address" "$debug" "$(printf '0x%x' $((0x$address - 0x$base)))")
  head -1 <<<"$answer" | grep -Eq "^0x[0-9a-f]+: $function(@[0-9]+)? at (\./)?$file:[0-9]+$" \
    || fail "$name: its crash address of $function reads as '$answer', not $file"
}

check_pe_file() {
  local preset=$1 rel=$2 file=$dist/$1/$2 name=$1/$2 format dump sections want
  case $preset in
    win32) triple=i686-w64-mingw32 format=pei-i386 ;;
    win64) triple=x86_64-w64-mingw32 format=pei-x86-64 ;;
  esac
  dump=$("$triple-objdump" -p -h "$file" 2>/dev/null) || { fail "$name: cannot be read"; return; }
  grep -q "file format $format\$" <<<"$dump" || fail "$name: not a $format image"
  local characteristics flags
  characteristics=$(sed -n '/^Characteristics/,/^$/p' <<<"$dump")
  flags=$(sed -n '/^DllCharacteristics/,/^[A-Z]/p' <<<"$dump")
  want="DYNAMIC_BASE NX_COMPAT"
  [ "$preset" = win64 ] && want+=" HIGH_ENTROPY_VA"
  for flag in $want; do grep -qw "$flag" <<<"$flags" || fail "$name: no $flag"; done
  grep -q 'relocations stripped' <<<"$characteristics" && fail "$name: relocations stripped"
  # Section lines: index, name, size, VMA, LMA, file offset, alignment; then their flags.
  sections=$(awk '$1 ~ /^[0-9]+$/ && $2 ~ /^\./ { name = $2; size = $3; getline; print name, size, $0 }' <<<"$dump")
  awk '$1 == ".reloc" && $2 !~ /^0+$/ { found = 1 } END { exit !found }' <<<"$sections" \
    || fail "$name: no relocation section"
  local debugging
  debugging=$(awk '$1 != ".gnu_debuglink" && ($1 ~ /^\.(debug|zdebug)/ || /DEBUGGING/) { print $1 }' <<<"$sections")
  [ -z "$debugging" ] || fail "$name: carries debug sections: $(echo $debugging)"
  "$triple-objdump" -t "$file" 2>/dev/null | grep -q '^no symbols$' || fail "$name: carries a symbol table"

  local debug=$dist/debug/$preset/$rel.debug
  check_debug_link "$file" "$debug" "$name"
  if [ -f "$debug" ]; then
    local kept
    kept=$("$triple-objdump" -h "$debug" 2>/dev/null | awk '{ print $2 }')
    for section in .debug_info .debug_line; do
      grep -qx -- "$section" <<<"$kept" || fail "${debug#"$dist/"}: no $section"
    done
    check_crash_address "$debug" "$name"
  fi

  want=$project_version
  [ "${rel##*/}" = Tesvar.ocx ] && want="1, 0, 0, 0"
  "$triple-windres" -i "$file" -O rc 2>/dev/null | grep -q "^ *FILEVERSION $want\$" \
    || fail "$name: its version resource is not $(tr -d ' ' <<<"$want" | tr , .)"

  # shellcheck disable=SC2086 # the export names are words
  "$src/tests/static/check_pe.sh" "$triple-objdump" "$format" "$file" ${exports[${rel##*/}]:-} >/dev/null \
    || fail "$name: check_pe.sh"
  case $rel in
    Mendora.exe) "$src/tests/static/check_mendora_resources.sh" "$triple-windres" "$file" >/dev/null \
                   || fail "$name: its resources (check_mendora_resources.sh)" ;;
    *Tesvar.ocx) "$src/tests/static/check_ocx_resources.sh" "$triple-windres" "$file" "$preset" >/dev/null \
                   || fail "$name: its resources (check_ocx_resources.sh)" ;;
  esac
  checked+=("$name")
}

checked=()
for preset in win32 win64; do
  [ -d "$dist/$preset" ] || { fail "$dist/$preset is missing"; continue; }
  while IFS= read -r -d '' file; do
    [ "$(head -c 2 "$file")" = MZ ] || continue
    third_party_file "$file" && continue
    check_pe_file "$preset" "${file#"$dist/$preset/"}"
  done < <(find "$dist/$preset" -type f -print0 | sort -z)
done
for name in win32/Mendora.exe win32/SkinH_VB6.dll win32/ocx/Tesvar.ocx win32/ocx/SkinH_VB6.dll \
            win64/Tesvar.ocx win64/tesvar.exe; do
  [[ " ${checked[*]} " == *" $name "* ]] || fail "$name is missing"
done
# Every debug file belongs to a shipped file.
while IFS= read -r debug; do
  [ -f "$dist/${debug%.debug}" ] || fail "$debug belongs to no shipped file"
done < <(cd "$dist/debug" 2>/dev/null && find . -type f | sed 's|^\./||')

for folder in "$src" "$@"; do
  found=$(grep -rlaF -- "$folder" "$dist")
  [ -z "$found" ] || fail "the build folder $folder occurs in: $(echo $found)"
done

archive=$dist/Mendora-$version-win32.zip
if [ ! -f "$archive" ]; then
  fail "${archive#"$dist/"} is missing"
else
  python3 - "$archive" "$dist/win32" <<'EOF' || failures=$((failures + 1))
import os, sys, zipfile
archive, folder = sys.argv[1], sys.argv[2]
top = os.path.basename(archive)[: -len(".zip")] + "/"
files = {os.path.relpath(os.path.join(d, f), folder) for d, _, fs in os.walk(folder) for f in fs}
with zipfile.ZipFile(archive) as z:
    names = z.namelist()
    problems = [f"{n} is outside {top}" for n in names if not n.startswith(top)]
    if len(set(names)) != len(names):
        problems.append("it holds a name twice")
    members = {n[len(top):]: n for n in names if n.startswith(top)}
    problems += [f"{f} is missing" for f in sorted(files - members.keys())]
    problems += [f"{m} is not in the folder" for m in sorted(members.keys() - files)]
    problems += [f"{f} differs from the folder's" for f in sorted(files & members.keys())
                 if z.read(members[f]) != open(os.path.join(folder, f), "rb").read()]
for p in problems:
    print(f"FAIL: {os.path.basename(archive)}: {p}", file=sys.stderr)
sys.exit(bool(problems))
EOF
fi

if [ ! -f "$dist/SHA256SUMS" ]; then
  fail "SHA256SUMS is missing"
else
  (cd "$dist" && sha256sum --quiet --strict -c SHA256SUMS) || fail "SHA256SUMS does not match"
  listed=$(sed 's/^[0-9a-f]*  //' "$dist/SHA256SUMS" | LC_ALL=C sort)
  present=$(cd "$dist" && find . -type f ! -path ./SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort)
  [ "$listed" = "$present" ] || fail "SHA256SUMS does not list exactly the files of $dist: $(diff <(echo "$listed") <(echo "$present") | grep '^[<>]' | tr '\n' ' ')"
fi

[ "$failures" -eq 0 ] && echo "$dist: ${checked[*]} hardened, stripped, debug information kept aside; archive and checksums right"
exit $((failures > 0))
