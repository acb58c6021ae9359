' StrBuilder: appending, prepending, searching and clearing.

Sub Builder()
  Section "StrBuilder"
  On Error Resume Next
  Dim s, i, t
  Set s = CreateObject("QROLE75.StrBuilder")
  CheckNoError "CreateObject(""QROLE75.StrBuilder"")"
  CheckEq "a new builder is empty", s.ToString(), ""
  s.Append "abc"
  s.PrePend "x"
  s.Append "ñá"
  CheckEq "ToString", s.ToString(), "xabcñá"
  CheckEq "Found(""ab"")", s.Found("ab"), True
  CheckEq "Found(""zz"")", s.Found("zz"), False
  CheckEq "Found("""")", s.Found(""), True
  s.Clear
  CheckEq "ToString after Clear", s.ToString(), ""
  ' Past the first buffer (1024 characters) and several doublings, at both ends.
  For i = 1 To 60
    s.Append String(99, "a") & "b"
  Next
  For i = 1 To 50
    s.PrePend "z" & String(19, "y")
  Next
  t = s.ToString()
  CheckEq "length after 60 appends and 50 prepends", Len(t), CLng(7000)
  CheckEq "it starts with the last prepended text", Left(t, 21), "z" & String(19, "y") & "z"
  CheckEq "it ends with the last appended text", Right(t, 3), "aab"
  CheckEq "the two ends meet", Mid(t, 999, 3), "yya"
  CheckEq "Found across the joint", s.Found("yyyaaa"), True
  s.Append Null
  CheckError "Append Null", 94, kRuntime, "Invalid use of Null"
  s.Append 12
  CheckEq "Append a number", Right(s.ToString(), 4), "ab12"
End Sub

Builder
