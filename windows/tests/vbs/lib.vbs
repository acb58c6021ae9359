' Assertions of the VBScript suite. The runner puts this file first, the test
' files after it and end.vbs last, and converts the whole to the ANSI code
' page in which the script host reads scripts.
'
' Every check counts as passed or failed; a failed one prints a line starting
' "FAIL". The last line of the run is "vbs: N passed, M failed"; a script that
' stops early (a script error) never prints it, and the runner counts that as
' a failure.
Option Explicit

Dim g_passed, g_failed, g_section, g_keeper
g_passed = 0
g_failed = 0

' One object held for the whole run keeps one server process serving every
' test (the server leaves when its last object goes; end.vbs lets it go).
Set g_keeper = CreateObject("QROLE75.Enlace")

Sub Section(name)
  g_section = name
  WScript.Echo "-- " & name
End Sub

Sub Pass()
  g_passed = g_passed + 1
End Sub

Sub Fail(what, detail)
  g_failed = g_failed + 1
  WScript.Echo "FAIL " & g_section & ": " & what & " (" & detail & ")"
End Sub

' A printable form of any value, with its type.
Function Show(v)
  If IsObject(v) Then
    If v Is Nothing Then
      Show = "Nothing"
    Else
      Show = "<" & TypeName(v) & ">"
    End If
  ElseIf IsArray(v) Then
    Show = TypeName(v)
  ElseIf IsNull(v) Then
    Show = "Null"
  ElseIf IsEmpty(v) Then
    Show = "Empty"
  Else
    Show = TypeName(v) & " """ & CStr(v) & """"
  End If
End Function

Sub Check(what, condition)
  If condition Then
    Pass
  Else
    Fail what, "not true"
  End If
End Sub

' Same type and same value.
Sub CheckEq(what, actual, expected)
  Dim same
  same = False
  If IsObject(actual) Or IsObject(expected) Then
    If IsObject(actual) And IsObject(expected) Then same = (actual Is expected)
  ElseIf IsArray(actual) Or IsArray(expected) Then
    same = False
  ElseIf IsNull(actual) Or IsNull(expected) Then
    same = IsNull(actual) And IsNull(expected)
  ElseIf TypeName(actual) = TypeName(expected) Then
    same = (actual = expected)
  End If
  If same Then
    Pass
  Else
    Fail what, "got " & Show(actual) & ", expected " & Show(expected)
  End If
End Sub

' The last error was `number` with `source` and `description` (a description
' of "*" is not compared). Clears the error.
Sub CheckError(what, number, source, description)
  If Err.Number = number And Err.Source = source And _
     (description = "*" Or Err.Description = description) Then
    Pass
  Else
    Fail what, "got error " & Err.Number & " from """ & Err.Source & """: """ & _
         Err.Description & """, expected " & number & " from """ & source & """: """ & _
         description & """"
  End If
  Err.Clear
End Sub

' No error since the last Err.Clear.
Sub CheckNoError(what)
  If Err.Number = 0 Then
    Pass
  Else
    Fail what, "error " & Err.Number & " from """ & Err.Source & """: " & Err.Description
  End If
  Err.Clear
End Sub

' Error numbers and sources the server uses.
Const kServer = "Valdrix OLE Server"
Const kRuntime = "QROLE75"
Const kNotImplemented = -2147467263
Const kNoCompany = -2147171498

' The decimal separator of the user's locale, as the script host formats.
Function DecimalSeparator()
  DecimalSeparator = Mid(CStr(1.5), 2, 1)
End Function

' The text of a UTF-16 file, or "" when it cannot be read.
Function ReadUnicodeFile(path)
  Dim fso, f
  ReadUnicodeFile = ""
  Set fso = CreateObject("Scripting.FileSystemObject")
  If Not fso.FileExists(path) Then Exit Function
  Set f = fso.OpenTextFile(path, 1, False, -1)
  If Not f.AtEndOfStream Then ReadUnicodeFile = f.ReadAll
  f.Close
End Function
