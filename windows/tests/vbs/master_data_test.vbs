' Account master data (CrearDatos), fixed assets (CrearInmovilizado) and the
' global register of third parties (CrearDatosGloblales).

' 0x8004EA60: a record creation refused.
Const kRecordCreationError = -2147161504

Sub AccountMasterData()
  Section "CrearDatos"
  On Error Resume Next
  Dim e, folder, r, rows
  Set e = CreateObject("QROLE75.Enlace")
  r = e.CrearDatos("4300000001", "ACME SA")
  CheckError "no company open", kNoCompany, kServer, _
             "Empresa No Abierta ... Abrir Empresa y reintentar"
  folder = NewFolder("vbs-datos")
  e.CrearEmpresa folder & "Datos", "24"
  e.AbrirEmpresa folder & "Datos"
  CheckNoError "a new company"

  r = e.CrearDatos("4300000001", "ACME SA", "B12345678")
  CheckNoError "CrearDatos"
  CheckEq "master data created", r, True
  rows = e.Util_LeerDatos("DATOS", "CUENTA", "4300000001")
  CheckEq "its row", Left(rows, 19), "4300000001" & vbTab & "ACME SA "
  Check "its NIF", InStr(rows, vbTab & "B12345678 ") > 0
  CheckEq "again without Actualizar", e.CrearDatos("4300000001", "Otro"), False
  CheckEq "nothing changed", e.Util_LeerDatos("DATOS", "CUENTA", "4300000001"), rows

  ' Actualizar (15th) with the 347 amount, the telephone and OMITIR347.
  r = e.CrearDatos("4300000001", "-1", "-1", "-1", "-1", "-1", "-1", "-1", 1500.5, "912345678", _
                   "-1", -1, "-1", "-1", True, "-1", "-1", "-1", "-1", "-1", False, True)
  CheckNoError "CrearDatos with Actualizar"
  CheckEq "updated", r, True
  rows = e.Util_LeerDatos("DATOS", "CUENTA", "4300000001")
  CheckEq "the title kept", Left(rows, 19), "4300000001" & vbTab & "ACME SA "
  Check "the 347 amount with its leading blank", InStr(rows, vbTab & " 1500.5 ") > 0
  Check "the telephone", InStr(rows, vbTab & "912345678 ") > 0

  r = e.CrearDatos("43000000011", "Intruso", "-1", "-1", "-1", "-1", "-1", "-1", -1, "-1", _
                   "-1", -1, "-1", "-1", True)
  CheckEq "a code longer than its field", r, False
  CheckEq "leaves the other account alone", Left(e.Util_LeerDatos("DATOS", "CUENTA", "4300000001"), 19), _
          "4300000001" & vbTab & "ACME SA "
  CheckNoError "CrearDatos"
End Sub

Sub FixedAssets()
  Section "CrearInmovilizado"
  On Error Resume Next
  Dim e, folder, a, r
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-inmovilizado")
  e.CrearEmpresa folder & "Activos", "24"
  e.AbrirEmpresa folder & "Activos"
  Set a = CreateObject("QROLE75.InmoClass")
  a.I01_Codigo_String_10 = " MAQ1 "
  a.I02_Descripcion_String_40 = "Torno"
  r = e.CrearInmovilizado(a)
  CheckNoError "CrearInmovilizado"
  CheckEq "an asset added", r, True
  CheckEq "its row", Left(e.Util_LeerDatos("inmo3", "CODIGO", "MAQ1"), 16), _
          "MAQ1      " & vbTab & "Torno"
  a.I02_Descripcion_String_40 = "Fresadora"
  r = e.CrearInmovilizado(a)
  CheckError "the same code again", kRecordCreationError, kServer, "Codigo ya existe"
  CheckEq "the first asset kept", Left(e.Util_LeerDatos("inmo3", "CODIGO", "MAQ1"), 16), _
          "MAQ1      " & vbTab & "Torno"
  a.I01_Codigo_String_10 = ""
  r = e.CrearInmovilizado(a)
  CheckError "a blank code", kRecordCreationError, kServer, "Codigo sin contenido"
End Sub

Sub GlobalRegister()
  Section "CrearDatosGloblales"
  On Error Resume Next
  Dim e, folder, globalDir, t, r
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-global-empresa")
  globalDir = NewFolder("vbs-global")
  e.CrearEmpresa folder & "Global", "24"
  e.AbrirEmpresa folder & "Global"
  Set t = CreateObject("QROLE75.DatosGlobalClass")
  t.G01_NIF_String_18 = "B12345678"
  t.G02_Nombre_String_50 = "Ana"
  CheckEq "no global register", e.CrearDatosGloblales(t), False
  CheckNoError "without a register"

  WriteAnsiFile globalDir & "Datgl00.QRD", ""
  e.PutTotal "Global_Dir", globalDir
  e.AbrirEmpresa folder & "Global"
  CheckEq "a third party registered", e.CrearDatosGloblales(t), True
  CheckEq "registered already", e.CrearDatosGloblales(t), False
  t.G02_Nombre_String_50 = "Beatriz"
  t.G66_Actualizar = True
  CheckEq "updated", e.CrearDatosGloblales(t), True
  CheckNoError "CrearDatosGloblales"
  Check "the new name stored", InStr(ReadAnsiFile(globalDir & "Datgl00.QRD"), "Beatriz") > 0
  CheckEq "master data with a NIF", e.CrearDatos("4300000002", "Comercial Norte SL", "X1234567L"), True
  Check "go to the register", InStr(ReadAnsiFile(globalDir & "Datgl00.QRD"), "X1234567L") > 0

  t.G01_NIF_String_18 = " "
  r = e.CrearDatosGloblales(t)
  CheckError "a blank NIF", kRecordCreationError, kServer, "Nif sin contenido"
  ' The installation's global directory goes back to none for the suites after.
  ClearProductSetting "GLOBAL_DIR"
End Sub

AccountMasterData
FixedAssets
GlobalRegister
