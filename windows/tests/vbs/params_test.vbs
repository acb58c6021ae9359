' Company parameters and settings (GetTotal, PutTotal, Config, GET_TOTAL,
' PUT_TOTAL, LeerConfig), the accounting date (Fecha) and currency
' conversion (CalcularMoneda). Each section makes its company in a folder of
' its own.

' Creates a company in a new folder `folder` and opens it with `e`; returns
' the company file's path (with "\").
Function OpenNewCompany(e, folder, name, year, levels, opening)
  Dim dir
  dir = NewFolder(folder)
  e.CrearEmpresa dir & name, year, levels, "0010", "1", opening
  e.AbrirEmpresa dir & name & ".QRT"
  OpenNewCompany = dir & name & ".QRT"
End Function

Sub HeaderParameters()
  Section "GetTotal, PutTotal and Config"
  On Error Resume Next
  Dim e, path, canal
  Set e = CreateObject("QROLE75.Enlace")
  path = OpenNewCompany(e, "vbs-delta", "Delta", "24", "12345", "01")
  CheckNoError "a new company"
  CheckEq "año", e.GetTotal("año"), "24"
  CheckEq "PASSWORD1", e.GetTotal("PASSWORD1"), ""
  CheckEq "CARGOSA", e.GetTotal("CARGOSA"), "0"
  CheckEq "APERTURA", e.GetTotal("APERTURA"), "01"
  ' Numbers are written with the user's regional settings, which the runner
  ' makes a Spanish desktop's; new headers carry the settings' version.
  CheckEq "the user's decimal separator", _
          CreateObject("WScript.Shell").RegRead("HKCU\Control Panel\International\sDecimal"), ","
  CheckEq "the settings' version", ProductSetting("Version"), "7.5"
  CheckEq "VERSION, a Single of the header", e.GetTotal("VERSION"), "7,5"
  e.PutTotal "CARGOSA", "1234,56"
  CheckEq "CARGOSA from a text in the user's locale", e.GetTotal("CARGOSA"), "1234,56"
  e.PutTotal "CARGOSA", 99.25
  CheckEq "CARGOSA from a Double", e.GetTotal("CARGOSA"), "99,25"
  ' A value that is no number, and a Byte overflow, write nothing and raise nothing.
  e.PutTotal "CARGOSA", "mucho"
  CheckEq "CARGOSA after a word", e.GetTotal("CARGOSA"), "99,25"
  canal = e.GetTotal("CANAL")
  e.PutTotal "CANAL", "300"
  CheckEq "CANAL after 300", e.GetTotal("CANAL"), canal
  e.PutTotal "DIRECCION", "Calle Mayor, 1"
  CheckEq "a text field keeps its length", e.GetTotal("DIRECCION"), "Calle Mayor, 1" & Space(21)
  ' The hidden fields are never written.
  e.PutTotal "PASSWORD1", "abcd"
  CheckEq "PASSWORD1 is not written", Mid(ReadAnsiFile(path), 96, 4), "    "
  ' A date field is stored in its stored form, whatever form it is given in.
  e.PutTotal "FECHALIMITE", "15/03/14"
  CheckEq "FECHALIMITE in the file", Mid(ReadAnsiFile(path), 141, 6), "B40315"
  e.PutTotal "FECHALIMITE", "01/02/2015"
  CheckEq "FECHALIMITE", e.GetTotal("FECHALIMITE"), "01/02/15"
  e.Config("CP") = "28001"
  CheckEq "Config", e.Config("cp"), "28001"
  CheckEq "Config and GetTotal read the same", e.GetTotal("CP"), "28001"
  CheckNoError "the header parameters"
End Sub

Sub SettingsText()
  Section "GET_TOTAL, PUT_TOTAL and LeerConfig"
  On Error Resume Next
  Dim e, path, c, x, n, last, other
  Set e = CreateObject("QROLE75.Enlace")
  path = OpenNewCompany(e, "vbs-ajustes", "Ajustes", "24", "12345", "01")
  e.PUT_TOTAL "IvaPorEmpresa", "1"
  e.PUT_TOTAL "Iva", "21"
  CheckNoError "PUT_TOTAL"
  CheckEq "GET_TOTAL(""IVAPOREMPRESA"")", e.GET_TOTAL("IVAPOREMPRESA"), "1"
  CheckEq "GET_TOTAL(""iva""), a whole key only", e.GET_TOTAL("iva"), "21"
  CheckEq "the settings text after the header", Mid(ReadAnsiFile(path), 1025), _
          "IVAPOREMPRESA=1" & vbCrLf & "IVA=21" & vbCrLf & Chr(26)
  ' Removing a key pads the old tail with character 0.
  e.PUT_TOTAL "IVAPOREMPRESA", ""
  CheckEq "the settings text after a removal", Mid(ReadAnsiFile(path), 1025), _
          "IVA=21" & vbCrLf & Chr(26) & String(17, Chr(0))
  CheckEq "a removed key", e.GET_TOTAL("IVAPOREMPRESA"), ""

  ' LeerConfig: every header parameter, then the settings.
  Set c = e.LeerConfig
  CheckNoError "LeerConfig"
  CheckEq "LeerConfig.Count", c.Count, CLng(72)
  CheckEq "the first parameter", c(1), "Comun_Qrole" & vbTab
  CheckEq "the year", c.Item(21), "AÑO" & vbTab & "24"
  CheckEq "the setting after the parameters", c(72), "IVA" & vbTab & "21"
  n = 0
  For Each x In c
    n = n + 1
    last = x
  Next
  CheckEq "For Each over LeerConfig", n, 72
  CheckEq "its last item", last, "IVA" & vbTab & "21"

  ' Accented text goes to the file in Windows-1252.
  e.PUT_TOTAL "Serie", "Año A"
  CheckEq "an accented value", e.GET_TOTAL("SERIE"), "Año A"
  Check "the accented value in the file", InStr(ReadAnsiFile(path), "SERIE=Año A" & vbCrLf) > 1024
  CheckEq "LeerConfig lists the new key", e.LeerConfig.Item(73), "SERIE" & vbTab & "Año A"

  ' Another company file, given by its path.
  other = Left(path, InStrRev(path, "\")) & "OTRA02.QRT"
  WriteAnsiFile other, Space(100)
  e.PUT_TOTAL "Clave", "v", other
  CheckNoError "PUT_TOTAL into another company file"
  CheckEq "the other file's settings text", Mid(ReadAnsiFile(other), 1025), "CLAVE=v" & vbCrLf & Chr(26)
  CheckEq "the other file grew to a header", FileSize(other), CLng(1024 + 10)
  CheckEq "the open company does not have it", e.GET_TOTAL("CLAVE"), ""
End Sub

Sub AccountingDate()
  Section "Fecha"
  On Error Resume Next
  Dim e
  Set e = CreateObject("QROLE75.Enlace")
  OpenNewCompany e, "vbs-fecha", "Julio", "23", "12340", "07"
  CheckNoError "a company opening in July"
  e.Fecha = "15/03/24"
  CheckNoError "Fecha = ""15/03/24"""
  CheckEq "Fecha", e.Fecha, "240315"
  e.Fecha = "15/09/24"
  CheckError "a date after the fiscal year", kBadDate, kServer, _
             "Año contable: 23" & vbCrLf & "Apertura: 07" & vbCrLf & "Fecha no válida: 15/09/24"
  e.Fecha = "31/02/24"
  CheckError "a date not in the calendar", kBadDate, kServer, _
             "Formato Fecha no válido: 31/02/24" & vbLf & "Formatos aceptados son: 31/12/13 o 131231"
  e.Fecha = " "
  CheckError "a blank date", 5000, "Let Fecha", "La fecha está vacía"
  e.Fecha = ""
  CheckError "an empty date", 5000, "Let Fecha", "La fecha está vacía"
  CheckEq "a refused date stores nothing", e.Fecha, "240315"
  e.Fecha = "240630"
  CheckEq "the last day, given as yymmdd", e.Fecha, "240630"
  e.Fecha = "01/07/2023"
  CheckEq "the first day, with four year digits", e.Fecha, "230701"
  CheckNoError "the dates in the fiscal year"

  OpenNewCompany e, "vbs-fecha13", "Enero", "13", "12340", "01"
  e.Fecha = "31/12/13"
  CheckEq "a company opening in January", e.Fecha, "131231"
  e.Fecha = "01/01/14"
  CheckError "a date of the next year", kBadDate, kServer, _
             "Año contable: 13" & vbCrLf & "Fecha no válida: 01/01/14"
End Sub

Sub CurrencyConversion()
  Section "CalcularMoneda"
  On Error Resume Next
  Dim e, log, before, importe, euros, pesetas, conceptos
  Set e = CreateObject("QROLE75.Enlace")
  OpenNewCompany e, "vbs-euros", "Euros", "24", "12345", "01"
  ' The exchange rate is shared by every object of the server; other
  ' sections set it. A new server has none.
  e.CambioMoneda = 0
  log = "C:\qrole-test\QROLE75.log"
  before = ReadUnicodeFile(log)
  importe = 100
  euros = 0
  pesetas = 0
  e.CalcularMoneda importe, euros, pesetas
  CheckNoError "CalcularMoneda right after opening"
  CheckEq "ValorEnEuros", euros, CDbl(16639)
  CheckEq "ValorEnPesetas", pesetas, CDbl(100)
  ' A Variant passed by reference holds the argument as the member took it.
  CheckEq "ImporteEntrada, as a Double", importe, CDbl(100)
  CheckEq "no message", ReadUnicodeFile(log), before
  ' The currency table comes from the program directory into the concept folder.
  conceptos = ProductSetting("Con_Dir")
  Check "the concept folder is set", conceptos <> ""
  CheckEq "the currency table there is the shipped one", ReadAnsiFile(conceptos & "Moneda1.qrf"), _
          ReadAnsiFile(kProgramDir & "Moneda1.qrf")
  CheckEq "the shipped currency table", FileSize(kProgramDir & "Moneda1.qrf"), CLng(400)
  ' With the object's exchange rate equal to the table's.
  e.CambioMoneda = 1 / 166.386
  importe = 50
  e.CalcularMoneda importe, euros, pesetas
  CheckEq "ValorEnEuros at the table's rate", euros, CDbl(50)
  CheckEq "ValorEnPesetas at the table's rate", pesetas, 0.3
  e.CambioMoneda = 0
  CheckNoError "CalcularMoneda"
End Sub

HeaderParameters
SettingsText
AccountingDate
CurrencyConversion
