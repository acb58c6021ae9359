' The Enlace object: creation, its own properties, closing a company, the
' service entry point, and the errors of late binding.

Sub NewObjectState()
  Section "a new Enlace"
  On Error Resume Next
  Dim e, names, i
  Set e = CreateObject("QROLE75.Enlace")
  CheckNoError "CreateObject"
  CheckEq "Version", e.Version(), "7.5.1"
  CheckEq "Version without parentheses", e.Version, "7.5.1"
  CheckEq "Usuario", e.Usuario, "98"
  CheckEq "Canal", e.Canal, "000"
  CheckEq "NumeroEmpresa", e.NumeroEmpresa(), ""
  CheckEq "m_TableName", e.m_TableName, ""
  CheckEq "m_TableDescripcion", e.m_TableDescripcion, ""
  names = Array("ContadorApuntes", "ContadorIva", "ContadorCartera", "ContadorAnalitica", _
                "ContadorRetenciones", "ContadorExtracto", "ContadorPlan", "ContadorDatos", _
                "ContadorDatosGlobal", "ContadorInmovilizado")
  CheckEq names(0), e.ContadorApuntes, CLng(0)
  CheckEq names(1), e.ContadorIva, CLng(0)
  CheckEq names(2), e.ContadorCartera, CLng(0)
  CheckEq names(3), e.ContadorAnalitica, CLng(0)
  CheckEq names(4), e.ContadorRetenciones, CLng(0)
  CheckEq names(5), e.ContadorExtracto, CLng(0)
  CheckEq names(6), e.ContadorPlan, CLng(0)
  CheckEq names(7), e.ContadorDatos, CLng(0)
  CheckEq names(8), e.ContadorDatosGlobal, CLng(0)
  CheckEq names(9), e.ContadorInmovilizado, CLng(0)
  CheckNoError "the counters"
  ' Accessors past the end of their collection give Nothing.
  CheckEq "Apunte(1)", e.Apunte(1), Nothing
  CheckEq "iva(1)", e.iva(1), Nothing
  CheckEq "cartera(1)", e.cartera(1), Nothing
  CheckEq "Analitica(1)", e.Analitica(1), Nothing
  CheckEq "Retencion(1)", e.Retencion(1), Nothing
  CheckEq "Extracto(1)", e.Extracto(1), Nothing
  CheckEq "Plan(1)", e.Plan(1), Nothing
  CheckEq "DATOS(1)", e.DATOS(1), Nothing
  CheckEq "DatosGlobales(1)", e.DatosGlobales(1), Nothing
  CheckEq "inmovilizado(1)", e.inmovilizado(1), Nothing
  CheckEq "Apunte(0)", e.Apunte(0), Nothing
  CheckEq "Apunte(-1)", e.Apunte(-1), Nothing
  CheckNoError "the accessors"
  ' Names are matched ignoring case.
  CheckEq "usuario in lower case", e.usuario, "98"
  CheckEq "VERSION in upper case", e.VERSION(), "7.5.1"
End Sub

Sub Channel()
  Section "Canal"
  On Error Resume Next
  Dim e
  Set e = CreateObject("QROLE75.Enlace")
  e.Canal = "7x"
  CheckEq "Canal = ""7x""", e.Canal, "007"
  e.Canal = 12
  CheckEq "Canal = 12", e.Canal, "012"
  e.Canal = 1234
  CheckEq "Canal = 1234", e.Canal, "1234"
  e.Canal = "2.5"
  CheckEq "Canal = ""2.5"" (halves to even)", e.Canal, "002"
  e.Canal = "abc"
  CheckEq "Canal = ""abc""", e.Canal, "000"
  e.Canal = -5
  CheckEq "Canal = -5", e.Canal, "-005"
  CheckNoError "valid channels"
  e.Canal = 9
  e.Canal = "40000"
  CheckError "Canal = ""40000""", 6, kRuntime, "Overflow"
  CheckEq "Canal after the overflow", e.Canal, "009"
  e.Canal = Null
  CheckError "Canal = Null", 94, kRuntime, "Invalid use of Null"
End Sub

Sub CurrencyAndRate()
  Section "Moneda and CambioMoneda"
  On Error Resume Next
  Dim e, f
  Set e = CreateObject("QROLE75.Enlace")
  Set f = CreateObject("QROLE75.Enlace")
  e.Moneda = "EURO"
  CheckEq "Moneda = ""EURO""", e.Moneda, "EUR"
  e.Moneda = "E"
  CheckEq "Moneda = ""E""", e.Moneda, "E  "
  e.Moneda = "€x"
  CheckEq "Moneda = ""€x""", e.Moneda, "€x "
  ' One server process serves every object: the currency is shared.
  e.Moneda = "USD"
  CheckEq "Moneda of another object", f.Moneda, "USD"
  e.CambioMoneda = "166" & DecimalSeparator() & "386"
  CheckEq "CambioMoneda from text in the user's locale", e.CambioMoneda, 166.386
  CheckEq "CambioMoneda of another object", f.CambioMoneda, 166.386
  e.CambioMoneda = 0.5
  CheckEq "CambioMoneda = 0.5", f.CambioMoneda, 0.5
  e.CambioMoneda = "no number"
  CheckError "CambioMoneda = ""no number""", 13, kRuntime, "Type mismatch"
  CheckEq "CambioMoneda after the mismatch", e.CambioMoneda, 0.5
End Sub

Sub User()
  Section "Usuario"
  On Error Resume Next
  Dim e
  Set e = CreateObject("QROLE75.Enlace")
  e.Usuario = "5"
  CheckEq "Usuario = ""5""", e.Usuario, "05"
  e.Usuario = "abc"
  CheckEq "Usuario = ""abc""", e.Usuario, "00"
  e.Usuario = "123"
  CheckEq "Usuario = ""123""", e.Usuario, "123"
  e.Usuario = "2.6"
  CheckEq "Usuario = ""2.6""", e.Usuario, "03"
  e.Usuario = 7
  CheckEq "Usuario = 7", e.Usuario, "07"
  CheckNoError "Usuario"
End Sub

Sub ClientSlots()
  Section "m_TableName and m_TableDescripcion"
  On Error Resume Next
  Dim e, f
  Set e = CreateObject("QROLE75.Enlace")
  Set f = CreateObject("QROLE75.Enlace")
  e.m_TableName = "PLANC"
  e.m_TableDescripcion = "Descripción del año"
  CheckEq "m_TableName", e.m_TableName, "PLANC"
  CheckEq "m_TableDescripcion keeps accented text", e.m_TableDescripcion, "Descripción del año"
  CheckEq "m_TableName of another object", f.m_TableName, ""
  e.m_TableName = 42
  CheckEq "m_TableName = 42", e.m_TableName, "42"
  CheckNoError "the slots"
End Sub

Sub ServiceEntry()
  Section "MASTER"
  On Error Resume Next
  Dim e, log, before, r
  Set e = CreateObject("QROLE75.Enlace")
  log = "C:\qrole-test\QROLE75.log"
  before = ReadUnicodeFile(log)
  r = e.MASTER(1, "p", "XX0000")
  CheckEq "MASTER with another code returns Empty", r, Empty
  CheckEq "MASTER with another code shows nothing", ReadUnicodeFile(log), before
  r = e.MASTER(5, "p", "QV7501", "r")
  CheckNoError "MASTER with the service code"
  CheckEq "MASTER with the service code returns Empty", r, Empty
  Check "MASTER with the service code shows FUNCIÓN 5", _
        InStr(Mid(ReadUnicodeFile(log), Len(before) + 1), "] FUNCIÓN 5") > 0
  r = e.MASTER(1, "p")
  CheckError "MASTER without its code", 449, kRuntime, "Argument not optional"
End Sub

Sub CloseCompany()
  Section "CerrarEmpresa"
  On Error Resume Next
  Dim e
  Set e = CreateObject("QROLE75.Enlace")
  e.CerrarEmpresa
  CheckNoError "CerrarEmpresa with no company open"
  CheckEq "NumeroEmpresa after CerrarEmpresa", e.NumeroEmpresa(), ""
  CheckEq "ContadorApuntes after CerrarEmpresa", e.ContadorApuntes, CLng(0)
End Sub

Sub LateBindingErrors()
  Section "late-binding errors"
  On Error Resume Next
  Dim e, x
  Set e = CreateObject("QROLE75.Enlace")
  x = e.NoSuchMember
  ' The script host raises this one itself, from the server's answer that
  ' the name is unknown.
  CheckError "an unknown member", 438, "Microsoft VBScript runtime error", "*"
  x = e.Version(1)
  CheckError "Version with an argument", 450, kRuntime, _
             "Wrong number of arguments or invalid property assignment"
  x = e.Util_TextoToArray()
  CheckError "Util_TextoToArray without its text", 449, kRuntime, "Argument not optional"
  e.ContadorApuntes = 3
  CheckError "assigning a read-only property", 450, kRuntime, _
             "Wrong number of arguments or invalid property assignment"
  x = e.Apunte("uno")
  CheckError "Apunte(""uno"")", 13, kRuntime, "Type mismatch"
  Set x = e.LeerCarpetas()
  CheckError "a member of web mode on a local object", kWebOnly, kServer, _
             "Esta opción solo está disponible con enlace a webservice.invalid"
  e.AñadirIvaCriterioCaja "4300001", "F-1", 10, 0, "Efectivo"
  CheckError "an accented member's own refusal", kNoCompany, kServer, _
             "Empresa No Abierta ... Abrir Empresa y reintentar"
  ' The object still serves after its errors.
  CheckEq "Version after the errors", e.Version(), "7.5.1"
End Sub

NewObjectState
Channel
CurrencyAndRate
User
ClientSlots
ServiceEntry
CloseCompany
LateBindingErrors
