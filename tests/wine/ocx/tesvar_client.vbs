' A script host's view of Tesvar: creates the control by its ProgID and calls every
' member late-bound by its name. Saved in code page 936 so that cscript reads the
' Chinese names. Results go to a Unicode file, one line per check:
'   cscript //nologo tesvar_client.vbs WORK_FOLDER RESULTS_FILE
Option Explicit

Dim fso, out, t, work, ini, missing, failures, checks
Set fso = CreateObject("Scripting.FileSystemObject")
work = WScript.Arguments(0)
Set out = fso.CreateTextFile(WScript.Arguments(1), True, True)
failures = 0
checks = 0

Sub Check(name, ok)
  checks = checks + 1
  If ok Then
    out.WriteLine "PASS " & name
  Else
    out.WriteLine "FAIL " & name
    failures = failures + 1
  End If
End Sub

Sub CheckError(name, expected)
  checks = checks + 1
  If Err.Number = expected Then
    out.WriteLine "PASS " & name
  Else
    out.WriteLine "FAIL " & name & ": error " & Err.Number & " (" & Err.Source & ")"
    failures = failures + 1
  End If
  Err.Clear
End Sub

Set t = CreateObject("TesvarLib.Tesvar")
Check "FileName starts empty", t.FileName = ""

ini = work & "\设置.ini"
missing = work & "\缺少.ini"
If fso.FileExists(ini) Then fso.DeleteFile ini
If fso.FileExists(missing) Then fso.DeleteFile missing

Check "NewFile creates the file", t.NewFile(ini) = True
Check "NewFile leaves FileName alone", t.FileName = ""
t.FileName = ini
Check "FileName reads back", t.FileName = ini

' Variables reach the by-reference parameters as VT_BYREF | VT_VARIANT.
Dim s, k, n, b, v
s = "常规"
k = "用户名"
n = 256
b = False
Check "Sav_Key with variables", t.Sav_Key(s, k, "张三", b) = True
Check "Load_Key with variables", t.Load_Key(s, k, n, b) = "张三"
Check "Load_Key with literals", t.Load_Key("常规", "用户名", 256, False) = "张三"
Check "Load_Key with a Long for the Integer", t.Load_Key(s, k, CLng(256), b) = "张三"
Check "Load_Key with a numeric string", t.Load_Key(s, k, "256", b) = "张三"
Check "Load_Key cuts to 数据缓冲 - 1 bytes", t.Load_Key(s, k, 3, b) = "张"
Check "Load_Key never returns half a character", t.Load_Key(s, k, 4, b) = "张"
Check "Load_Key of a missing key without checks", t.Load_Key(s, "没有", 16, False) = ""
Check "Sav_Key with empty data", t.Sav_Key(s, "空", "", b) = True
Check "the empty value reads back empty", t.Load_Key(s, "空", 16, b) = ""
Check "Dir扇区 finds the section", t.Dir扇区(s) = True
Check "Dir扇区 misses another section", t.Dir扇区("其他") = False
Check "Dir键值 finds the key", t.Dir键值(s, k) = True
Check "Dir键值 misses another key", t.Dir键值(s, "密码") = False

Check "Sav_Key of a second key", t.Sav_Key(s, "密码", "123", b) = True
t.Del数据 s, "密码"
Check "Del数据 keeps the key", t.Dir键值(s, "密码") = True
Check "Del数据 empties the value", t.Load_Key(s, "密码", 16, False) = ""
t.Del键值 s, "密码"
Check "Del键值 removes the key", t.Dir键值(s, "密码") = False
Check "Del键值 keeps the other key", t.Dir键值(s, k) = True
t.Del扇区 s
Check "Del扇区 removes the section", t.Dir扇区(s) = False

' Wrong or missing arguments are script errors that change nothing; empty names name
' nothing. A check that calls the control stays outside On Error Resume Next, which
' would skip it.
Check "Sav_Key before the argument checks", t.Sav_Key(s, k, "张三", b) = True
On Error Resume Next
v = t.Load_Key(s, , 16, False)
CheckError "Load_Key with 键值 left out: argument not optional (449)", 449
v = t.Sav_Key(s, k, , False)
CheckError "Sav_Key with 数据 left out: argument not optional (449)", 449
v = t.Sav_Key(Array(1, 2), k, "x", False)
CheckError "Sav_Key with an array for 扇区 is a type mismatch (13)", 13
v = t.Sav_Key(s, fso, "x", False)
CheckError "Sav_Key with an object for 键值 is a type mismatch (13)", 13
v = t.Dir扇区(Null)
CheckError "Dir扇区 with Null is a type mismatch (13)", 13
v = t.Dir扇区()
CheckError "Dir扇区 without its argument (450)", 450
t.FileName = Array(1)
CheckError "FileName set to an array is a type mismatch (13)", 13
v = t.Load_Key(Empty, Empty, 16, False)
CheckError "Load_Key of Empty names", 0
Check "Load_Key of Empty names reads nothing", v = ""
t.Del扇区 ""
CheckError "Del扇区 of an empty section", 0
t.Del键值 s, Empty
CheckError "Del键值 of an Empty key", 0
v = t.NewFile("")
CheckError "NewFile of an empty name fails with 52", 52
On Error GoTo 0
Check "FileName keeps its value", t.FileName = ini
Check "the value is as it was", t.Load_Key(s, k, 16, False) = "张三"

' Errors reach the script as the control's error numbers.
On Error Resume Next
v = t.Load_Key(s, k, 0, False)
CheckError "Load_Key with 数据缓冲 0 fails with 5", 5
v = t.Load_Key(s, k, -1, b)
CheckError "Load_Key with a negative 数据缓冲 fails with 5", 5
v = t.Load_Key(s, k, 100000, False)
CheckError "Load_Key with 数据缓冲 beyond an Integer overflows (6)", 6
v = t.Load_Key(s, k, "abc", False)
CheckError "Load_Key with a wrong type is a type mismatch (13)", 13
v = t.Load_Key(s, k)
CheckError "Load_Key without its last arguments (450)", 450
t.FileName = missing
v = t.Sav_Key(s, k, "x", False)
Check "Sav_Key on a missing file reports the control as source", Err.Source = "TesvarLib.Tesvar"
Check "Sav_Key on a missing file describes the error", Err.Description = "文件未找到"
CheckError "Sav_Key on a missing file fails with 53", 53
Check "Sav_Key creates no file", Not fso.FileExists(missing)
v = t.NewFile(work & "\没有的文件夹\新.ini")
CheckError "NewFile in a missing folder fails with 76", 76
v = t.Dir扇区(s)
CheckError "Dir扇区 on a missing file fails with 53", 53
On Error GoTo 0

' With checks the control shows its message boxes; the test answers them.
v = t.Load_Key(s, k, 16, True)
Check "Load_Key with checks on a missing file returns empty", v = ""
v = t.Sav_Key(s, k, "x", True)
Check "Sav_Key with checks on a missing file returns False", v = False
Check "Sav_Key with checks creates no file", Not fso.FileExists(missing)
' The about form, modal: returns when the test has pressed its button.
t.Readme True

Set t = Nothing
out.WriteLine "DONE " & checks & " " & failures
out.Close
