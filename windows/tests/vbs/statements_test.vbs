' Account statements (LeerExtracto, Extracto, ContadorExtracto,
' LeerExtractoEx) and the portfolio's due dates (LeerCartera, MarcarCartera,
' AnularCartera) over two posted entries.

' A 2024 company with two entries:
'   000001 01/02/24  4300001 debit 100 "Factura 1", 7000000 credit 100, with
'                    due dates B1 15/04/24 60 and B2 15/05/24 40
'   000002 20/03/24  5720 debit 30, 4300001 credit 30 "Cobro 1" ref "R-3"
Function StatementCompany(name)
  Dim e, folder
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder(name)
  e.CrearEmpresa folder & "Extractos", "24"
  e.AbrirEmpresa folder & "Extractos"
  e.Fecha = "01/02/24"
  e.Número = ""
  e.AñadirApunte "4300001", "Factura 1", 1, 100, "1"
  e.AñadirApunte "7000000", "Factura 1", 2, 100, "1"
  e.AñadirCartera "15/04/24", "4300001", "B1", "Plazo 1", 60
  e.AñadirCartera "15/05/24", "4300001", "B2", "Plazo 2", 40
  e.GrabarAsiento
  e.Fecha = "20/03/24"
  e.Número = ""
  e.AñadirApunte "5720", "Cobro 1", 1, 30, "1"
  e.AñadirApunte "4300001", "Cobro 1", 2, 30, "1", 0, "000", "R-3"
  e.GrabarAsiento
  Set StatementCompany = e
End Function

' "due date portfolio mark" of every due date of a LeerCartera collection,
' "|"-joined.
Function DueDates(list)
  Dim item, out
  out = ""
  For Each item In list
    If out <> "" Then out = out & "|"
    out = out & item.FechaVencimiento & " " & item.cartera & " " & item.Marca
  Next
  DueDates = out
End Function

Sub AccountStatements()
  Section "LeerExtracto, Extracto, ContadorExtracto, LeerExtractoEx"
  On Error Resume Next
  Dim e, l, closed
  Set e = StatementCompany("vbs-extractos")
  CheckNoError "two entries"

  CheckEq "LeerExtracto from March", e.LeerExtracto("4300001", "01/03/24"), True
  CheckEq "ContadorExtracto", e.ContadorExtracto, CLng(1)
  Set l = e.Extracto(1)
  CheckEq "the line's date", l.Fecha, "20/03/24"
  CheckEq "the line's entry", l.Asiento, "000002"
  CheckEq "the line's reference", l.Referencia, "R-3"
  CheckEq "the line's side", l.TIPO, CByte(2)
  CheckEq "the line's amount", l.Importe, CDbl(-30)
  CheckEq "a credit has no debit", l.Debe, CDbl(0)
  CheckEq "a credit shows positive", l.Haber, CDbl(30)
  CheckEq "the balance counts the February invoice", l.Saldo, CDbl(70)
  CheckEq "the line's record", l.REGISTRO, CLng(4)
  Check "Extracto(2) is Nothing", e.Extracto(2) Is Nothing
  Check "Extracto(0) is Nothing", e.Extracto(0) Is Nothing

  CheckEq "a pattern", e.LeerExtracto("*0000?"), True
  CheckEq "its lines", e.ContadorExtracto, CLng(3)
  CheckEq "the last account in chart order", e.Extracto(3).Cuenta, "7000000"
  CheckEq "one balance for every account", e.Extracto(3).Saldo, CDbl(-30)

  CheckEq "LeerExtractoEx", e.LeerExtractoEx("4300001"), _
          " 1" & vbTab & "4300001" & vbTab & "C40201" & vbTab & "000001" & vbTab & "Factura 1" & _
          vbTab & "100" & vbTab & "0" & vbTab & " 100" & vbTab & "0" & vbTab & "1" & vbTab & _
          "000" & vbTab & vbCr & _
          " 4" & vbTab & "4300001" & vbTab & "C40320" & vbTab & "000002" & vbTab & "Cobro 1" & _
          vbTab & "0" & vbTab & "-30" & vbTab & " 70" & vbTab & "0" & vbTab & "1" & vbTab & _
          "000" & vbTab & "R-3" & vbCr
  CheckEq "LeerExtractoEx without lines in range", e.LeerExtractoEx("4300001", "01/04/24"), ""
  CheckNoError "the statements"

  e.LeerExtracto "4300001", "01/01/25"
  CheckError "a date of another year", -2147171501, kServer, "*"
  CheckEq "nothing loaded", e.ContadorExtracto, CLng(0)
  Set closed = CreateObject("QROLE75.Enlace")
  closed.LeerExtractoEx "4300001"
  CheckError "no company open", kNoCompany, kServer, "*"
End Sub

Sub PortfolioDueDates()
  Section "LeerCartera, MarcarCartera, AnularCartera"
  On Error Resume Next
  Dim e, first, closed
  Set e = StatementCompany("vbs-cartera")
  CheckNoError "two entries"

  CheckEq "LeerCartera", DueDates(e.LeerCartera()), "C40415 B1 |C40515 B2 "
  Set first = e.LeerCartera().Item(1)
  CheckEq "the due date's account", first.Cuenta, "4300001"
  CheckEq "the due date's notes", first.NOTAS, "Plazo 1"
  CheckEq "the due date's amount", first.Importe, CDbl(60)
  CheckEq "the entry's date", first.Fecha, "C40201"
  CheckEq "the entry's number", first.Asiento, "000001"
  CheckEq "nothing selected: an empty collection", e.LeerCartera("B9").Count, CLng(0)

  CheckEq "MarcarCartera by entry", e.MarcarCartera("P", , , , , "000001"), CLng(0)
  CheckEq "both marked", DueDates(e.LeerCartera()), "C40415 B1 P|C40515 B2 P"
  e.MarcarCartera "X", "", "01/05/24"
  CheckEq "a mark from a due date on", DueDates(e.LeerCartera()), "C40415 B1 P|C40515 B2 X"

  CheckEq "AnularCartera by portfolio", e.AnularCartera("B1"), CLng(0)
  CheckEq "one left", DueDates(e.LeerCartera()), "C40515 B2 X"
  CheckEq "AnularCartera of every due date", e.AnularCartera(), CLng(0)
  CheckEq "none left", DueDates(e.LeerCartera()), ""
  CheckNoError "the due dates"

  Set closed = CreateObject("QROLE75.Enlace")
  closed.LeerCartera
  CheckError "no company open", kNoCompany, kServer, "*"
End Sub

AccountStatements
PortfolioDueDates
