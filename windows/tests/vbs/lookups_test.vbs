' Master-data lookups (LeerDatos, DATOS, ContadorDatos, LeerInmovilizado,
' LeerDatosGlobales, ExisteNifDatosGlobales, LeerRetenciones) and journal
' searches (BuscarReferencia, BuscarDescripcion, BuscarImporte,
' ExisteReferencia).

' A 2024 company with two entries:
'   000001 01/02/24  4300001 debit 100 "Factura 1" ref "F-1", 7000000 credit
'                    100 "Venta" ref "F-10"
'   000002 20/03/24  6230000 debit 500 "Honorarios", 4100001 credit 500
'                    "honorarios marzo", with a withholding of 75 on "F-9"
Function LookupCompany(folder)
  Dim e
  Set e = CreateObject("QROLE75.Enlace")
  e.CrearEmpresa folder & "Consultas", "24"
  e.AbrirEmpresa folder & "Consultas"
  e.Fecha = "01/02/24"
  e.Número = ""
  e.AñadirApunte "4300001", "Factura 1", 1, 100, "1", 0, "000", "F-1"
  e.AñadirApunte "7000000", "Venta", 2, 100, "1", 0, "000", "F-10"
  e.GrabarAsiento
  e.Fecha = "20/03/24"
  e.Número = ""
  e.AñadirApunte "6230000", "Honorarios", 1, 500, "1"
  e.AñadirApunte "4100001", "honorarios marzo", 2, 500, "1"
  e.AñadirRetencion "4100001", "Asesor", "B1", "F-9", 500, "4751000", 15, "28", "", _
                    "20/03/24", 0, 0, 75, 0, "G"
  e.GrabarAsiento
  Set LookupCompany = e
End Function

Sub MasterDataLookups()
  Section "LeerDatos, LeerInmovilizado, LeerRetenciones"
  On Error Resume Next
  Dim e, closed, r, a
  Set closed = CreateObject("QROLE75.Enlace")
  r = closed.LeerDatos("43*")
  CheckError "no company open", kNoCompany, kServer, _
             "Empresa No Abierta ... Abrir Empresa y reintentar"
  CheckEq "assets need no open company", closed.LeerInmovilizado(), False
  CheckNoError "LeerInmovilizado without a company"

  Set e = LookupCompany(NewFolder("vbs-consultas"))
  CheckNoError "two entries"
  e.CrearDatos "4300000001", "ACME SA", "B12345678"
  e.CrearDatos "4300000002", "Beta SL"
  CheckEq "LeerDatos with a title pattern", e.LeerDatos("43*", "B*"), True
  CheckEq "ContadorDatos", e.ContadorDatos, CLng(1)
  CheckEq "the account found", e.DATOS(1).Cuenta, "4300000002"
  CheckEq "LeerDatos of a code", e.LeerDatos("4300000001"), True
  CheckEq "its NIF", e.DATOS(1).NIf, "B12345678"
  CheckEq "a blank risk", e.DATOS(1).Riesgo, CDbl(0)
  Check "DATOS(2) is Nothing", e.DATOS(2) Is Nothing
  CheckEq "LeerDatos of an account without data", e.LeerDatos("4400000001"), False
  CheckEq "leaves nothing", e.ContadorDatos, CLng(0)

  Set a = CreateObject("QROLE75.InmoClass")
  a.I01_Codigo_String_10 = "MAQ1"
  a.I02_Descripcion_String_40 = "Torno"
  e.CrearInmovilizado a
  CheckEq "LeerInmovilizado", e.LeerInmovilizado("MAQ1"), True
  CheckEq "ContadorInmovilizado", e.ContadorInmovilizado, CLng(1)
  CheckEq "the asset's description", e.inmovilizado(1).I02_Descripcion_String_40, "Torno"
  CheckEq "another code", e.LeerInmovilizado("MAQ2"), False

  CheckEq "LeerRetenciones", e.LeerRetenciones("4100001", "4100001", "01/03/24", "31/03/24"), True
  CheckEq "ContadorRetenciones", e.ContadorRetenciones, CLng(1)
  CheckEq "the invoice", e.Retencion(1).FacturaN, "F-9"
  CheckEq "the withholding", e.Retencion(1).Retencion, CDbl(75)
  CheckEq "the invoice date", e.Retencion(1).FechaFac, "20/03/24"
  CheckEq "none from April", e.LeerRetenciones("", "", "01/04/24"), False
  CheckNoError "the lookups"
End Sub

Sub GlobalLookups()
  Section "LeerDatosGlobales, ExisteNifDatosGlobales"
  On Error Resume Next
  Dim e, folder, globalDir
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-consultas-global")
  globalDir = NewFolder("vbs-consultas-registro")
  e.CrearEmpresa folder & "Global", "24"
  WriteAnsiFile globalDir & "Datgl00.QRD", ""
  e.AbrirEmpresa folder & "Global"
  e.PutTotal "Global_Dir", globalDir
  e.AbrirEmpresa folder & "Global"
  e.CrearDatos "4300000001", "ACME SA", "B12345678"
  CheckEq "a NIF registered", e.ExisteNifDatosGlobales("B12345678"), True
  CheckEq "a NIF not registered", e.ExisteNifDatosGlobales("B00000000"), False
  CheckEq "LeerDatosGlobales", e.LeerDatosGlobales("B12345678"), True
  CheckEq "ContadorDatosGlobal", e.ContadorDatosGlobal, CLng(1)
  CheckEq "the name", e.DatosGlobales(1).G03_ApellidoRazonSocial_String_90, "ACME SA"
  CheckNoError "the global register"
  ' The installation's global directory goes back to none for the suites after.
  ClearProductSetting "GLOBAL_DIR"
End Sub

Sub JournalSearches()
  Section "BuscarReferencia, BuscarDescripcion, BuscarImporte, ExisteReferencia"
  On Error Resume Next
  Dim e
  Set e = LookupCompany(NewFolder("vbs-busquedas"))
  CheckEq "BuscarReferencia", e.BuscarReferencia("F-1"), True
  CheckEq "the whole reference only", e.ContadorExtracto, CLng(1)
  CheckEq "the line found", e.Extracto(1).Descripción, "Factura 1"
  CheckEq "ExisteReferencia", e.ExisteReferencia("F-10"), CLng(1)
  CheckEq "ExisteReferencia of no line", e.ExisteReferencia("F-2"), CLng(0)
  CheckEq "BuscarImporte", e.BuscarImporte(100), True
  CheckEq "both signs", e.ContadorExtracto, CLng(2)
  CheckEq "the credit line", e.Extracto(2).Haber, CDbl(100)
  CheckEq "BuscarDescripcion", e.BuscarDescripcion("HONORARIOS"), True
  CheckEq "whatever the case", e.ContadorExtracto, CLng(2)
  CheckEq "BuscarDescripcion with case", e.BuscarDescripcion("HONORARIOS", True), False
  CheckEq "leaves nothing", e.ContadorExtracto, CLng(0)
  CheckNoError "the searches"
End Sub

MasterDataLookups
GlobalLookups
JournalSearches
