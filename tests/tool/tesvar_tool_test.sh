#!/usr/bin/env bash
# Drives the tesvar command as scripts do: tesvar_tool_test.sh PATH-TO-TESVAR
# A Windows build (tesvar.exe) is started with wine, inside the Wine test environment.
set -uo pipefail

tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The files are named with full paths: on Windows a bare file name given to the profile
# functions means a file in the Windows folder.
case "$tool" in
  *.exe) run=(wine "$tool"); folder="$(winepath -w "$work")\\"; native= ;;
  *) run=("$tool"); folder="$work/"; native=1 ;;
esac
ini=${folder}t.ini
missing=${folder}missing.ini

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# expect STATUS STDOUT STDERR-PART -- ARGS...: runs the tool and compares.
expect() {
  local status=$1 out=$2 err=$3
  shift 4
  local got_out got_err got_status
  got_out=$("${run[@]}" "$@" 2>stderr.txt </dev/null)
  got_status=$?
  got_err=$(cat stderr.txt)
  [ "$got_status" = "$status" ] || fail "tesvar $* exited $got_status, expected $status ($got_err)"
  [ "$got_out" = "$out" ] || fail "tesvar $* printed '$got_out', expected '$out'"
  case "$got_err" in *"$err"*) ;; *) fail "tesvar $* wrote '$got_err' to stderr, expected '$err'" ;; esac
}

gbk() { printf '%b' "$1" | iconv -f UTF-8 -t CP936; }

expect 0 "" "" -- "$ini" new
[ -f t.ini ] && [ ! -s t.ini ] || fail "new did not create an empty file"

expect 0 "" "" -- "$ini" save 扇区 键值 数据
expect 0 "" "" -- "$ini" save 扇区 名 abcdef
if ! cmp -s t.ini <(gbk '[扇区]\r\n键值=数据\r\n名=abcdef\r\n'); then
  fail "file after save: $(od -c t.ini | head -5)"
fi
expect 0 "数据" "" -- "$ini" load 扇区 键值
expect 0 "ab" "" -- --buffer 3 "$ini" load 扇区 名
expect 0 "" "" -- "$ini" has-section 扇区
expect 1 "" "" -- "$ini" has-section 其他
expect 0 "" "" -- "$ini" has-key 扇区 键值
expect 1 "" "" -- "$ini" has-key 扇区 键

expect 0 "" "" -- "$ini" clear-value 扇区 键值
expect 0 "" "" -- "$ini" load 扇区 键值
expect 0 "" "" -- "$ini" has-key 扇区 键值
expect 0 "" "" -- "$ini" delete-key 扇区 键值
expect 1 "" "" -- "$ini" has-key 扇区 键值
expect 0 "abcdef" "" -- "$ini" load 扇区 名
expect 0 "" "" -- "$ini" delete-section 扇区
expect 1 "" "" -- "$ini" has-section 扇区

# The lists, as the profile functions give them: file order, names trimmed, duplicates
# kept, comments left out.
gbk '[ 扇区 ]\r\n;c=1\r\n 名 = 值 \r\n名=2\r\nname3\r\n[其他]\r\n' > l.ini
expect 0 "$(printf '扇区\n其他')" "" -- "${folder}l.ini" sections
expect 0 "$(printf '名\n名')" "" -- "${folder}l.ini" keys 扇区
expect 0 "$(printf '名=值\n名=2\nname3')" "" -- "${folder}l.ini" section 扇区
expect 0 "" "" -- "${folder}l.ini" keys 其他
expect 1 "" "" -- "${folder}l.ini" keys 无
expect 1 "" "" -- "$missing" sections
# A buffer too small: the last entry is cut, never inside a character.
expect 0 "$(printf '扇区\n其')" "" -- --buffer 9 "${folder}l.ini" sections
expect 2 "" "error 5: " -- --buffer 0 "${folder}l.ini" sections
# Lists far longer than what the tool holds before writing come out whole and in order.
{ seq -f '[section%g]' 1 30000; echo '[big]'; seq -f 'key%g=value' 1 30000; } | sed 's/$/\r/' > big.ini
expect 0 "$(seq -f 'section%g' 1 30000; echo big)" "" -- "${folder}big.ini" sections
expect 0 "$(seq -f 'key%g' 1 30000)" "" -- "${folder}big.ini" keys big
expect 0 "$(seq -f 'key%g=value' 1 30000)" "" -- "${folder}big.ini" section BIG
# The lines above the first header are in no section and [] is the section "" (D19).
# Wine 8 lists those lines as the section "" and does not take [] for it: Windows'
# answers are checked natively only.
if [ -n "$native" ]; then
  printf 'x=0\r\n[]\r\nk=1\r\n[s]\r\n' > e.ini
  expect 0 "$(printf '\ns')" "" -- "${folder}e.ini" sections
  expect 0 "k" "" -- "${folder}e.ini" keys ""
fi

# Messages with --check, errors and usage mistakes.
expect 0 "" "错误: 指定的文件 [ $missing ] 不存在！" -- --check "$missing" load s k
expect 1 "" "错误警告: 指定的文件 [ $missing ] 不存在！" -- --check "$missing" save s k v
expect 2 "" "error 53: 文件未找到" -- "$missing" save s k v
[ ! -e missing.ini ] || fail "save created the missing file"
expect 2 "" "error 5: " -- --buffer 0 "$ini" load s k
# A name that code page 936 cannot hold would reach the profile functions as "??.ini".
printf 'x=1\r\n' > 한글.ini
expect 2 "" "error 52: " -- "${folder}한글.ini" save Main k v
expect 2 "" "error 52: " -- "${folder}한글.ini" has-section Main
cmp -s 한글.ini <(printf 'x=1\r\n') || fail "save changed 한글.ini: $(od -c 한글.ini | head -3)"
[ ! -e '??.ini' ] || fail "save wrote ??.ini"
expect 64 "" "usage:" --
expect 64 "" "unknown command" -- "$ini" frobnicate
expect 64 "" "takes 2 argument(s)" -- "$ini" load s
expect 64 "" "--buffer needs a number" -- --buffer 40000 "$ini" load s k

[ "$failures" -eq 0 ] && echo "tesvar tool: all cases passed"
exit $((failures > 0))
