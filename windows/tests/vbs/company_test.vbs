' Companies: creation with its chart, the catalogue (Empresas, LoadEmpresas),
' opening and its refusals, creation through the opening password, the year
' of a month and the company of the previous year.
'
' The data folder of the settings (DATOS_DIR) is empty when the suite starts
' (the runner makes it); the sections that need no catalogue work in folders
' of their own.

Sub Creation()
  Section "CrearEmpresa"
  On Error Resume Next
  Dim e, dir, p, c, x, seen, lusa
  Set e = CreateObject("QROLE75.Enlace")
  dir = DataDir()
  CheckEq "the data folder starts with no company", e.Empresas.Count, CLng(0)
  ' The three chart templates differ in size: a copy's size tells which it is.
  Check "the chart templates differ", FileSize(kProgramDir & "PLANC00.QRD") > 0 And _
        FileSize(kProgramDir & "PLANC00.QRD") <> FileSize(kProgramDir & "PLANC01.QRD") And _
        FileSize(kProgramDir & "PLANC01.QRD") <> FileSize(kProgramDir & "PLANC02.QRD") And _
        FileSize(kProgramDir & "PLANC00.QRD") <> FileSize(kProgramDir & "PLANC02.QRD")

  p = e.CrearEmpresa("Alfa", "2024")
  CheckNoError "CrearEmpresa(""Alfa"", ""2024"")"
  CheckEq "the new company's path", p, ServerPath(dir & "Alfa.QRT")
  CheckEq "the path as Windows spells it", p, dir & "Alfa.QRT"
  Check "no ""/"" in the path", InStr(p, "/") = 0
  CheckEq "its header", FileSize(dir & "Alfa.QRT"), CLng(1024)
  CheckEq "its number, the first free one", Left(ReadAnsiFile(dir & "Alfa.QRT"), 2), "01"
  CheckEq "its chart, from the template of the default plan", FileSize(dir & "PLANC01.QRD"), _
          FileSize(kProgramDir & "PLANC01.QRD")
  CheckEq "the chart's index file", FileSize(dir & "PLANC01.QRC"), FileSize(kProgramDir & "PLANC01.QRC")
  CheckEq "a new company is not opened", e.NumeroEmpresa(), ""

  p = e.CrearEmpresa("Beta", "2024", "43000", "0010", "1", "07", 0)
  CheckNoError "CrearEmpresa with every argument"
  CheckEq "the second company's path", p, ServerPath(dir & "Beta.QRT")
  CheckEq "the plan PGC_1990_1 copies the first template", FileSize(dir & "PLANC02.QRD"), _
          FileSize(kProgramDir & "PLANC00.QRD")
  p = e.CrearEmpresa("Alfa")
  CheckEq "the same name again: a free header name", p, ServerPath(dir & "Alfa~1.QRt")
  CheckEq "its number", Left(ReadAnsiFile(dir & "Alfa~1.QRt"), 2), "03"
  CheckEq "its chart", FileSize(dir & "PLANC03.QRD"), FileSize(kProgramDir & "PLANC01.QRD")

  ' The creating object's catalogue is reloaded.
  Set c = e.Empresas
  CheckEq "Empresas after three creations", c.Count, CLng(3)
  seen = ""
  For Each x In c
    seen = seen & "[" & x & "]"
  Next
  CheckEq "For Each over Empresas, in name order", seen, "[" & ServerPath(dir & "Alfa.QRT") & "][" & _
          ServerPath(dir & "Alfa~1.QRt") & "][" & ServerPath(dir & "Beta.QRT") & "]"
  CheckEq "Empresas.Item(3)", c.Item(3), ServerPath(dir & "Beta.QRT")

  e.AbrirEmpresa ServerPath(dir & "Beta.QRT")
  CheckNoError "opening the second company"
  CheckEq "NumeroEmpresa", e.NumeroEmpresa(), "02"
  CheckEq "MesInicioEjercicio", e.MesInicioEjercicio(), "07"
  CheckEq "the year, two digits of 2024", e.GetTotal("AÑO"), "24"
  CheckEq "the levels", e.GetTotal("NIVEL"), "43000"
  CheckEq "the auxiliary digits", e.GetTotal("AUX"), "0010"
  CheckEq "the first document number", e.GetTotal("DOCUMENTO"), "000001"
  CheckNoError "the header of the new company"

  ' A full path creates in its folder, numbered there.
  lusa = NewFolder("vbs-lusa")
  p = e.CrearEmpresa(lusa & "Lusa", "24", "43000", "0010", "0", "07", 5, 1)
  CheckNoError "CrearEmpresa with a full path"
  CheckEq "the path in another folder", p, ServerPath(lusa & "Lusa.QRT")
  CheckEq "numbered in its folder", Left(ReadAnsiFile(lusa & "Lusa.QRT"), 2), "01"
  CheckEq "a Portuguese plan copies the third template", FileSize(lusa & "PLANC01.QRD"), _
          FileSize(kProgramDir & "PLANC02.QRD")
  CheckEq "not in the catalogue of the data folder", e.Empresas.Count, CLng(3)
  e.AbrirEmpresa p
  CheckEq "IGIC", e.GetTotal("IVAIGIC"), "1"
  CheckEq "the currency base 0", e.GetTotal("ARCHIVOMONEDABASE"), "0"
  CheckNoError "opening the company of another folder"
End Sub

Sub CompanyCatalogue()
  Section "Empresas and LoadEmpresas"
  On Error Resume Next
  Dim e, dir, c, fso
  Set fso = CreateObject("Scripting.FileSystemObject")
  dir = DataDir()
  ' A new object loads the catalogue of the data folder.
  Set e = CreateObject("QROLE75.Enlace")
  Set c = e.Empresas
  CheckEq "a new object's catalogue", c.Count, CLng(3)
  fso.CopyFile dir & "Beta.QRT", dir & "otra.qrt"
  WriteAnsiFile dir & "EXTRA01.QRD", "x"
  CheckEq "a file added later is not listed yet", c.Count, CLng(3)
  e.LoadEmpresas
  CheckNoError "LoadEmpresas"
  CheckEq "a lower-case extension is listed, other files are not", c.Count, CLng(4)
  CheckEq "LoadEmpresas refills the same collection", e.Empresas, c
  CheckEq "the added company, last in name order", e.Empresas(4), ServerPath(dir & "otra.qrt")
  fso.DeleteFile dir & "otra.qrt"
  fso.DeleteFile dir & "EXTRA01.QRD"
  e.LoadEmpresas
  CheckEq "a removed company leaves the catalogue", c.Count, CLng(3)
  CheckNoError "the catalogue"
End Sub

Sub Opening()
  Section "AbrirEmpresa"
  On Error Resume Next
  Dim e, f, dir, p, n, name
  Set e = CreateObject("QROLE75.Enlace")
  dir = DataDir()
  p = e.CrearEmpresa("Gamma", "23")
  n = Left(ReadAnsiFile(dir & "Gamma.QRT"), 2)
  CheckEq "Gamma's number", n, "04"
  e.AbrirEmpresa "Gamma"
  CheckNoError "AbrirEmpresa with a bare name"
  CheckEq "NumeroEmpresa", e.NumeroEmpresa(), n
  CheckEq "Empresa", e.Empresa(), p
  CheckEq "the year", e.GetTotal("AÑO"), "23"
  e.CerrarEmpresa
  CheckEq "NumeroEmpresa after CerrarEmpresa", e.NumeroEmpresa(), ""
  CheckEq "Empresa after CerrarEmpresa keeps the path", e.Empresa(), p
  e.AbrirEmpresa "gamma.qrt"
  CheckNoError "AbrirEmpresa with a lower-case extension"
  CheckEq "NumeroEmpresa by a lower-case name", e.NumeroEmpresa(), n
  e.CerrarEmpresa
  e.AbrirEmpresa dir & "Gamma.QRT"
  CheckNoError "AbrirEmpresa with a full path"
  CheckEq "NumeroEmpresa by the full path", e.NumeroEmpresa(), n
  CheckEq "Empresa by the full path", e.Empresa(), ServerPath(dir & "Gamma.QRT")
  name = "Gamma"
  e.AbrirEmpresa name, ""
  CheckEq "the name variable keeps its value", name, "Gamma"
  ' Without a name, the "Active" setting names the company.
  Set f = CreateObject("QROLE75.Enlace")
  SetProductSetting "Active", "Gamma"
  f.AbrirEmpresa ""
  CheckNoError "AbrirEmpresa """" with the Active setting"
  CheckEq "the Active company", f.NumeroEmpresa(), n
  ClearProductSetting "Active"
End Sub

Sub OpeningRefusals()
  Section "AbrirEmpresa refusals"
  On Error Resume Next
  Dim e, f, dir, fso
  Set fso = CreateObject("Scripting.FileSystemObject")
  Set e = CreateObject("QROLE75.Enlace")
  dir = DataDir()
  e.AbrirEmpresa "NoExiste"
  CheckError "a company that is not there", kNoSuchCompany, "QROLE", _
             "Empresa Valdrix no existe: " & vbLf & "NoExiste"
  CheckEq "no company open after it", e.NumeroEmpresa(), ""
  WriteAnsiFile dir & "CERO.QRT", "00" & Space(1022)
  e.AbrirEmpresa "CERO"
  CheckError "company number 00", kBadCompanyNumber, "QROLE", _
             "Número Empresa Valdrix no válido: " & vbLf & "CERO"
  CheckEq "a refused number is not kept", e.NumeroEmpresa(), ""
  WriteAnsiFile dir & "VACIA.QRT", ""
  e.AbrirEmpresa "VACIA"
  CheckError "an empty company file", kNoSuchCompany, "QROLE", _
             "Empresa Valdrix no existe: " & vbLf & "VACIA"
  ' The password "Ab1z" as the header stores it (each character's code + 127).
  WriteAnsiFile dir & "CLAVE.QRT", "01" & Space(93) & Chr(192) & Chr(225) & Chr(176) & Chr(249) & _
                                   Space(925)
  CheckEq "the company file with a password", FileSize(dir & "CLAVE.QRT"), CLng(1024)
  e.AbrirEmpresa "CLAVE", "ab1z"
  CheckError "a wrong password", kBadPassword, "QROLE", _
             "Password Empresa Valdrix no válido: " & vbLf & "CLAVE"
  e.AbrirEmpresa "CLAVE", "Ab1z"
  CheckNoError "the right password"
  CheckEq "the company with a password is open", e.NumeroEmpresa(), "01"
  fso.DeleteFile dir & "CERO.QRT"
  fso.DeleteFile dir & "VACIA.QRT"
  fso.DeleteFile dir & "CLAVE.QRT"
  ' Members that need an open company.
  Set f = CreateObject("QROLE75.Enlace")
  f.Fecha = "31/12/24"
  CheckError "Fecha with no company open", kNoCompany, kServer, _
             "Empresa No Abierta ... Abrir Empresa y reintentar"
  CheckEq "GetTotal with no company open", f.GetTotal("AÑO"), "No hay una empresa abierta"
  CheckNoError "the refusals"
End Sub

Sub CreationThroughThePassword()
  Section "AbrirEmpresa /C"
  On Error Resume Next
  Dim e, dir, pw
  Set e = CreateObject("QROLE75.Enlace")
  dir = DataDir()
  pw = "/C/A:22 /N:43000"
  e.AbrirEmpresa "PorClave", pw
  CheckNoError "AbrirEmpresa with /C"
  CheckEq "the new company's path comes back in the password", pw, ServerPath(dir & "PorClave.QRT")
  CheckEq "the new company is not opened", e.NumeroEmpresa(), ""
  CheckEq "it is in the catalogue", e.Empresas(e.Empresas.Count), ServerPath(dir & "PorClave.QRT")
  e.AbrirEmpresa pw
  CheckNoError "opening it"
  CheckEq "the year of /A", e.GetTotal("AÑO"), "22"
  CheckEq "the levels of /N", e.GetTotal("NIVEL"), "43000"
  pw = "/c/a:21"
  e.AbrirEmpresa "PorClave", pw
  CheckEq "/c in lower case, the name taken: a free header name", pw, _
          ServerPath(dir & "PorClave~1.QRt")
  CheckEq "the company open before stays open", e.NumeroEmpresa(), Left(ReadAnsiFile(dir & "PorClave.QRT"), 2)
  CheckNoError "the second creation"
End Sub

Sub YearOfAMonth()
  Section "año, Elyear and MesInicioEjercicio"
  On Error Resume Next
  Dim e, folder
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-years")
  e.AbrirEmpresa e.CrearEmpresa(folder & "Julio", "23", "12340", "0010", "1", "07")
  CheckNoError "a company opening in July"
  CheckEq "MesInicioEjercicio", e.MesInicioEjercicio(), "07"
  CheckEq "año()", e.año(), "23"
  CheckEq "año(0)", e.año(0), "23"
  CheckEq "año(3)", e.año(3), "24"
  CheckEq "año(7)", e.año(7), "23"
  CheckEq "año(13)", e.año(13), "24"
  CheckEq "Elyear(3)", e.Elyear(3), "24"
  e.AbrirEmpresa e.CrearEmpresa(folder & "Enero", "99", "12340", "0010", "1", "01")
  CheckEq "año(13) opening in January", e.año(13), "99"
  CheckEq "año(0) opening in January", e.año(0), "99"
  e.AbrirEmpresa e.CrearEmpresa(folder & "Marzo", "99", "12340", "0010", "1", "03")
  CheckEq "año(1) of the year 99 opening in March", e.año(1), "100"
  CheckNoError "the years"
End Sub

Sub PreviousYear()
  Section "EmpresaAñoAnterior"
  On Error Resume Next
  Dim e, folder
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-anterior")
  e.CrearEmpresa folder & "E2013", "13"
  e.AbrirEmpresa folder & "E2013.QRT"
  CheckNoError "a company of 2013"
  CheckEq "no previous company", e.EmpresaAñoAnterior(), ""
  e.PUT_TOTAL "Empresa Anterior", "E2012.QRT"
  CheckEq "a bare name is in the company's folder", e.EmpresaAñoAnterior(), ServerPath(folder & "E2012.QRT")
  e.PUT_TOTAL "EMPRESA ANTERIOR", "C:\otra\E2012.QRT"
  CheckEq "a path is given as it is", e.PreviousYearCompany(), "C:\otra\E2012.QRT"
  ' A company opened by its bare name is in the data folder.
  e.AbrirEmpresa "Gamma"
  e.PUT_TOTAL "Empresa Anterior", "G2012.QRT"
  CheckEq "opened by a bare name", e.EmpresaAñoAnterior(), ServerPath(DataDir() & "G2012.QRT")
  e.PUT_TOTAL "Empresa Anterior", ""
  CheckNoError "EmpresaAñoAnterior"
End Sub

Creation
CompanyCatalogue
Opening
OpeningRefusals
CreationThroughThePassword
YearOfAMonth
PreviousYear
