' Helpers: text tables (Util_TextoToArray), and by-reference arguments.

Sub TextTables()
  Section "Util_TextoToArray"
  On Error Resume Next
  Dim e, a
  Set e = CreateObject("QROLE75.Enlace")
  a = e.Util_TextoToArray("a" & vbTab & "b" & vbCrLf & "c")
  CheckNoError "Util_TextoToArray"
  Check "the result is an array", IsArray(a)
  CheckEq "first bound of rows", LBound(a, 1), CLng(0)
  CheckEq "last row", UBound(a, 1), CLng(1)
  CheckEq "first bound of columns", LBound(a, 2), CLng(0)
  CheckEq "last column", UBound(a, 2), CLng(1)
  CheckEq "cell (0, 0)", a(0, 0), "a"
  CheckEq "cell (0, 1)", a(0, 1), "b"
  CheckEq "cell (1, 0)", a(1, 0), "c"
  CheckEq "cell (1, 1) past the end of its line", a(1, 1), Empty
  a = e.Util_TextoToArray("")
  CheckEq "an empty text: one row", UBound(a, 1), CLng(0)
  CheckEq "an empty text: one column", UBound(a, 2), CLng(0)
  CheckEq "an empty text: the cell", a(0, 0), Empty
  a = e.Util_TextoToArray("x" & vbCr & "y" & vbCrLf)
  CheckEq "a final line end counts a line", UBound(a, 1), CLng(2)
  CheckEq "lines end at CR too", a(1, 0), "y"
  a = e.Util_TextoToArray("año" & vbTab & "€")
  CheckEq "accented cells", a(0, 0) & a(0, 1), "año€"
End Sub

Sub ByReference()
  Section "by-reference arguments"
  On Error Resume Next
  Dim e, n, t, a
  Set e = CreateObject("QROLE75.Enlace")
  ' Txt is a by-reference String: the variable passed holds the converted
  ' value after the call, as the server's dispatcher leaves it.
  n = 5
  a = e.Util_TextoToArray(n)
  CheckEq "the variable holds the argument as the member saw it", n, "5"
  t = "p" & vbTab & "q"
  a = e.Util_TextoToArray(t)
  CheckEq "a text variable keeps its value", t, "p" & vbTab & "q"
  ' Literals and expressions travel by value: nothing to write back.
  a = e.Util_TextoToArray(7)
  CheckEq "a literal argument", a(0, 0), "7"
  a = e.Util_TextoToArray((n))
  CheckNoError "an expression argument"
  ' An optional by-reference argument left out.
  a = e.MASTER(2, t, "XX0000")
  CheckNoError "an optional by-reference argument left out"
  CheckEq "the passed variable is unchanged", t, "p" & vbTab & "q"
End Sub

TextTables
ByReference
