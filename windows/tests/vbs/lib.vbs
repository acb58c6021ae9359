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
    Show = TypeName(v) & " """ & ShowControls(CStr(v)) & """"
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
    If TypeName(actual) = "String" Then
      ' Wine's script host compares texts only up to a character 0.
      same = Len(actual) = Len(expected) And ShowControls(actual) = ShowControls(expected)
    Else
      same = (actual = expected)
    End If
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
         ShowControls(Err.Description) & """, expected " & number & " from """ & source & _
         """: """ & ShowControls(description) & """"
  End If
  Err.Clear
End Sub

' No error since the last Err.Clear.
Sub CheckNoError(what)
  If Err.Number = 0 Then
    Pass
  Else
    Fail what, "error " & Err.Number & " from """ & Err.Source & """: " & ShowControls(Err.Description)
  End If
  Err.Clear
End Sub

' Error numbers and sources the server uses.
Const kServer = "Valdrix OLE Server"
Const kRuntime = "QROLE75"
Const kWebOnly = -2147171489
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

' Companies: the folders and files the company tests use.

' The program directory, beside the server's executable: the runner defines
' kProgramDir in a file of its own after this one, as it installed the server.

' 0x8004C351..0x8004C356: the company refusals, as HRESULTs.
Const kNoSuchCompany = -2147171503
Const kBadCompanyNumber = -2147171502
Const kBadDate = -2147171501
Const kBadPassword = -2147171500

' A setting of the product (HKCU\SOFTWARE\QRN\Valdrix\Settings), or "" when
' it is not there.
Function ProductSetting(name)
  Dim sh
  Set sh = CreateObject("WScript.Shell")
  On Error Resume Next
  ProductSetting = sh.RegRead("HKCU\SOFTWARE\QRN\Valdrix\Settings\" & name)
  If Err.Number <> 0 Then ProductSetting = ""
  Err.Clear
End Function

Sub SetProductSetting(name, value)
  CreateObject("WScript.Shell").RegWrite "HKCU\SOFTWARE\QRN\Valdrix\Settings\" & name, value, "REG_SZ"
End Sub

' Empties a setting as the server does: a single space reads as no value.
' (Wine's script host cannot delete registry values.)
Sub ClearProductSetting(name)
  SetProductSetting name, " "
End Sub

' The data folder of the settings (DATOS_DIR), ending in "\".
Function DataDir()
  DataDir = ProductSetting("DATOS_DIR")
  If Right(DataDir, 1) <> "\" Then DataDir = DataDir & "\"
End Function

'' A path as the server gives it back: spelled as Windows spells paths, with
' "\" (the server accepts "/" as well).
Function ServerPath(path)
  ServerPath = Replace(path, "/", "\")
End Function

' A new empty folder under C:\qrole-test (emptied when it was there), ending
' in "\".
Function NewFolder(name)
  Dim fso, path
  Set fso = CreateObject("Scripting.FileSystemObject")
  path = "C:\qrole-test\" & name
  If fso.FolderExists(path) Then fso.DeleteFolder path, True
  fso.CreateFolder path
  NewFolder = path & "\"
End Function

' The size of a file in bytes, or -1 when it is not there.
Function FileSize(path)
  Dim fso
  Set fso = CreateObject("Scripting.FileSystemObject")
  FileSize = CLng(-1)
  If fso.FileExists(path) Then FileSize = CLng(fso.GetFile(path).Size)
End Function

' The bytes of a file as text of the ANSI code page (Windows-1252: one
' character a byte), or "" when it cannot be read.
Function ReadAnsiFile(path)
  Dim fso, f
  ReadAnsiFile = ""
  Set fso = CreateObject("Scripting.FileSystemObject")
  If Not fso.FileExists(path) Then Exit Function
  Set f = fso.OpenTextFile(path, 1, False, 0)
  If Not f.AtEndOfStream Then ReadAnsiFile = f.ReadAll
  f.Close
End Function

' Writes `text` as the bytes of the ANSI code page.
Sub WriteAnsiFile(path, text)
  Dim f
  Set f = CreateObject("Scripting.FileSystemObject").CreateTextFile(path, True, False)
  f.Write text
  f.Close
End Sub

' A text with its line ends and control characters shown.
Function ShowControls(s)
  ShowControls = Replace(Replace(Replace(Replace(s, vbCr, "<CR>"), vbLf, "<LF>"), Chr(26), "<EOF>"), _
                         Chr(0), "<NUL>")
End Function
