#!/usr/bin/env bash
# The VBScript client under Wine's cscript, as a user's script host runs it:
#   tesvar_script_test.sh Tesvar.ocx answer_windows.exe WORK_FOLDER [SYSTEM_FOLDER]
# Registers the control, runs tesvar_client.vbs with a helper answering its two
# message boxes and its modal about form, and unregisters the control again.
# SYSTEM_FOLDER (system32, or syswow64 for a 32-bit control) is where the regsvr32 and
# cscript of the control's kind live.
set -uo pipefail

ocx=$1 answerer=$2 work=$3 system=${4:-system32}
regsvr32="C:\\windows\\$system\\regsvr32.exe"
cscript="C:\\windows\\$system\\cscript.exe"
here=$(cd "$(dirname "$0")" && pwd)
windows() { printf 'Z:%s' "$1" | tr / '\\'; }
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
wine "$regsvr32" /s "$(windows "$ocx")" 2>/dev/null || fail "regsvr32 could not register the control"
trap 'wine "$regsvr32" /u /s "$(windows "$ocx")" 2>/dev/null' EXIT

wine "$answerer" cscript.exe 3 "$(windows "$work/answers.txt")" 120 2>"$work/answerer.log" &
answerer_pid=$!
# cscript must not print Chinese text; the script writes its results to a file.
wine "$cscript" //nologo "$(windows "$here/tesvar_client.vbs")" "$(windows "$work")" "$(windows "$work/results.txt")" \
  </dev/null >"$work/cscript.log" 2>&1
script_rc=$?
wait "$answerer_pid" || fail "the message boxes and the about form were not all shown: $(cat "$work/answerer.log")"

[ -f "$work/results.txt" ] || fail "the script wrote no results (exit $script_rc): $(cat "$work/cscript.log")"
results=$(iconv -f UTF-16 -t UTF-8 "$work/results.txt" | tr -d '\r')
echo "$results"
grep -q '^FAIL' <<<"$results" && fail "some checks of the script failed"
grep -q '^DONE [0-9]* 0$' <<<"$results" || fail "the script did not run to its end (exit $script_rc)"

file_box=$(printf '错误\t指定的文件 [ %s ] 不存在！' "$(windows "$work")\\缺少.ini")
expected=$(printf '%s\n%s\n%s' "$file_box" "${file_box/错误/错误警告}" $'关于..\t&OK')
answers=$(cat "$work/answers.txt")
[ "$answers" = "$expected" ] || fail "windows shown:"$'\n'"$answers"$'\n'"expected:"$'\n'"$expected"
echo "message boxes and about form as expected"
