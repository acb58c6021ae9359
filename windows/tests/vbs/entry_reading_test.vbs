' Reading posted entries back (LeerAsiento, LeerPrimerAsiento,
' LeerUltimoAsiento, LeerProximoAsiento, LeerAnteriorAsiento, LeerReferencia)
' and the identifiers and dates of entry numbers (Guid, GetAsientos,
' GetFechas).

' A balanced entry of two lines under the next number.
Sub PostTwoLines(e, fecha, descripcion)
  e.Fecha = fecha
  e.Número = ""
  e.AñadirApunte "5720", descripcion, 1, 121, "1"
  e.AñadirApunte "4300001", descripcion, 2, 121, "1"
  e.GrabarAsiento
End Sub

Sub ReadingEntries()
  Section "LeerAsiento"
  On Error Resume Next
  Dim e, folder
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-lectura")
  e.CrearEmpresa folder & "Lectura", "24"
  e.AbrirEmpresa folder & "Lectura"
  e.Fecha = "15/03/24"
  e.Número = ""
  e.AñadirApunte "4300001", "Factura 12", 1, 1210, "1", "", "002", "R-12"
  e.AñadirApunte "7000000", "Factura 12", 2, 1000, "1"
  e.AñadirApunte "4770000", "Factura 12", 2, 210, "1"
  e.AñadirIVA "4300001", "4770000", "F-12", "10/03/24", "21", "R", 1000, 1210
  e.AñadirCartera "15/04/24", "4300001", "Banco", "Recibo 1", 1210
  e.GrabarAsiento
  CheckNoError "an entry posted"

  e.LeerAsiento "15/03/24", "000001"
  CheckNoError "LeerAsiento"
  CheckEq "journal lines read", e.ContadorApuntes, CLng(3)
  CheckEq "VAT lines read", e.ContadorIva, CLng(1)
  CheckEq "portfolio lines read", e.ContadorCartera, CLng(1)
  CheckEq "analytic lines read", e.ContadorAnalitica, CLng(0)
  CheckEq "the account, without padding", e.Apunte(1).Cuenta, "4300001"
  CheckEq "the channel", e.Apunte(1).Canal, "002"
  CheckEq "the reference", e.Apunte(1).Referencia, "R-12"
  CheckEq "a credit's TIPO", e.Apunte(2).TIPO, CByte(2)
  CheckEq "a credit's amount, negative", e.Apunte(2).Importe, CDbl(-1000)
  CheckEq "the invoice", e.iva(1).Factura, "F-12"
  CheckEq "the invoice date as stored", e.iva(1).FechaFactura, "C40310"
  CheckEq "the invoice total", e.iva(1).TOTAL, CDbl(1210)
  CheckEq "the order number", e.iva(1).NumeroOrden, "0000000001"
  CheckEq "the due date as stored", e.cartera(1).FechaVencimiento, "C40415"
  CheckEq "the entry date", e.Fecha, "240315"
  CheckEq "the entry number", e.Número, "000001"

  e.AñadirApunte "5720", "Nuevo", 1, 5, "1"
  CheckEq "a new line empties what was read", e.ContadorApuntes, CLng(1)
  CheckEq "the VAT line read is gone too", e.ContadorIva, CLng(0)

  e.LeerAsiento "16/03/24", "000001"
  CheckNoError "LeerAsiento of nothing"
  CheckEq "nothing read", e.ContadorApuntes, CLng(0)
  e.LeerAsiento "32/03/24"
  CheckError "a date that is not one", kBadDate, kServer, "*"
End Sub

Sub WalkingEntries()
  Section "LeerPrimerAsiento, LeerProximoAsiento, LeerUltimoAsiento, LeerAnteriorAsiento"
  On Error Resume Next
  Dim e, closed, folder
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-recorrido")
  e.CrearEmpresa folder & "Recorrido", "24"
  e.AbrirEmpresa folder & "Recorrido"
  PostTwoLines e, "15/03/24", "Uno"
  PostTwoLines e, "10/03/24", "Dos"
  CheckNoError "two entries posted"

  e.LeerPrimerAsiento
  CheckNoError "LeerPrimerAsiento"
  CheckEq "the earliest date first", e.Fecha & " " & e.Número, "240310 000002"
  CheckEq "its lines", e.Apunte(1).Descripción, "Dos"
  e.LeerProximoAsiento
  CheckEq "the next entry", e.Fecha & " " & e.Número, "240315 000001"
  e.LeerProximoAsiento
  CheckEq "none after the last", e.ContadorApuntes, CLng(0)
  CheckEq "the cursor stays", e.Fecha & " " & e.Número, "240315 000001"
  e.LeerUltimoAsiento
  CheckEq "the last entry's lines", e.Apunte(2).Descripción, "Uno"
  e.LeerAnteriorAsiento
  CheckEq "the previous entry", e.Fecha & " " & e.Número, "240310 000002"
  CheckNoError "the walk"

  e.LeerReferencia "R-1"
  CheckError "LeerReferencia", -2147171491, kServer, "Esta opción no está activada"
  Set closed = CreateObject("QROLE75.Enlace")
  closed.LeerPrimerAsiento
  CheckError "no company open", kNoCompany, kServer, "*"
End Sub

Sub EntryIdentifiers()
  Section "Guid, GetAsientos, GetFechas"
  On Error Resume Next
  Dim e, folder, guid, c
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-guid")
  e.CrearEmpresa folder & "Guid", "24"
  e.AbrirEmpresa folder & "Guid"
  guid = "{0F8FAD5B-D9CB-469F-A165-70867728950E}"
  CheckEq "an entry without an identifier", e.Guid("000001"), ""
  e.Guid("000001") = guid
  e.Guid("000002") = guid
  CheckNoError "Guid let"
  CheckEq "the identifier stored", e.Guid("000001"), guid
  Set c = e.GetAsientos(guid)
  CheckEq "entries of the identifier", c.Count, CLng(2)
  CheckEq "the first", c.Item(1), "000001"
  CheckEq "the second", c.Item(2), "000002"
  e.Guid("000001") = ""
  CheckEq "an identifier removed", e.Guid("000001"), ""
  CheckEq "one entry left", e.GetAsientos(guid).Count, CLng(1)
  e.Guid("000003") = String(41, "x")
  CheckError "an identifier too long", 50200, kServer, "Error al crear un GUID"

  e.Fecha = "20/03/24"
  e.Número = "000007"
  e.AñadirApunte "5720", "Tarde", 1, 5, "1"
  e.GrabarAsiento
  e.Fecha = "05/03/24"
  e.Número = "000007"
  e.AñadirApunte "5720", "Pronto", 1, 5, "1"
  e.AñadirApunte "5720", "Pronto", 1, 5, "1"
  e.GrabarAsiento
  CheckNoError "one number on two dates"
  Set c = e.GetFechas("000007")
  CheckEq "each date once", c.Count, CLng(2)
  CheckEq "the earlier date first", c.Item(1), "C40305"
  CheckEq "then the later", c.Item(2), "C40320"
End Sub

ReadingEntries
WalkingEntries
EntryIdentifiers
