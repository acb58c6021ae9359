' Paths as Windows programs split, compare and show them: every path the
' server hands back or stores is spelled with "\", and "/" is still accepted
' on input. Runs after the other sections, so that the settings the server
' writes while posting are there.

Sub WindowsPaths()
  Section "Windows paths"
  On Error Resume Next
  Dim e, dir, p, x, slashes
  Set e = CreateObject("QROLE75.Enlace")
  dir = DataDir()
  e.AbrirEmpresa Replace(dir & "Gamma.QRT", "\", "/")
  CheckNoError "a path with ""/"" opens the company"
  CheckEq "Empresa spells it with ""\""", e.Empresa(), dir & "Gamma.QRT"
  e.AbrirEmpresa "Gamma"
  CheckEq "a bare name gives the path in the data folder", e.Empresa(), dir & "Gamma.QRT"
  slashes = 0
  For Each x In e.Empresas
    If InStr(x, "/") > 0 Or Left(x, Len(dir)) <> dir Then slashes = slashes + 1
  Next
  Check "the catalogue holds some companies", e.Empresas.Count > 0
  CheckEq "catalogue entries in the data folder, with ""\""", slashes, 0
  e.PUT_TOTAL "Empresa Anterior", "G2012.QRT"
  CheckEq "EmpresaAñoAnterior", e.EmpresaAñoAnterior(), dir & "G2012.QRT"
  e.PUT_TOTAL "Empresa Anterior", ""
  ' The shared folder the server chose and stored while entries were posted.
  p = ProductSetting("Con_Dir")
  Check "the stored shared folder (" & p & ")", Len(p) > 3 And InStr(p, "/") = 0 And _
        Mid(p, 2, 2) = ":\"
  CheckNoError "Windows paths"
End Sub

WindowsPaths
