' Cancelling entries and journal lines: a whole entry with its VAT-book and
' portfolio lines (AnularAsiento), a line by its record number
' (AnularApuntePorRegistro), the lines of a reference
' (AnularApuntePorReferencia), and the balances they leave.

' 0x8004C35A: a cancellation refused.
Const kCancelRefused = -2147171494

' Posts an entry of 15/03/24 of `amount` from `debit` to `credit`, both lines
' with `reference` (and the debit with `image` attached); returns its number.
Function CancelPost(e, debit, credit, amount, reference, image)
  e.Fecha = "15/03/24"
  e.Número = ""
  CancelPost = e.Número
  e.AñadirApunte debit, "Linea", 1, amount, "1", "", "000", reference, "", image
  e.AñadirApunte credit, "Linea", 2, amount, "1", "", "000", reference
  e.GrabarAsiento
End Function

' The rows of a table that `filter` selects.
Function CancelRows(e, table, filter)
  Dim text
  text = e.Util_LeerDatos(table, "", "", filter)
  CancelRows = CLng((Len(text) - Len(Replace(text, vbCrLf, ""))) \ 2)
End Function

Function CancelDebit(e, account)
  e.LeerPlan account
  CancelDebit = e.PlanDebe(1, 3)
End Function

Function CancelCredit(e, account)
  e.LeerPlan account
  CancelCredit = e.PlanHaber(1, 3)
End Function

Sub CancelEntry()
  Section "AnularAsiento"
  On Error Resume Next
  Dim e, closed, folder, first, second, r
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-anular-asiento")
  e.CrearEmpresa folder & "Anular", "24"
  e.AbrirEmpresa folder & "Anular"
  e.Fecha = "15/03/24"
  e.Número = ""
  e.AñadirIVA "4300001", "4770", "F-1", "15/03/2024", "21", "R", 100, 121
  e.AñadirCartera "15/04/24", "4300001", "R", "Recibo", 121
  first = CancelPost(e, "4300001", "7000001", 121, "", "")
  second = CancelPost(e, "5720", "4300001", 10, "", "")
  CheckNoError "two entries posted"
  CheckEq "the VAT line", CancelRows(e, "IVA01", ""), CLng(1)

  r = e.AnularAsiento("15/03/24", CStr(first))
  CheckNoError "AnularAsiento"
  CheckEq "AnularAsiento", r, 0
  CheckEq "its lines are gone", CancelRows(e, "EXTRA", "ASIENTO = " & first), CLng(0)
  CheckEq "the other entry stays", CancelRows(e, "EXTRA", "ASIENTO = " & second), CLng(2)
  CheckEq "its VAT line is gone", CancelRows(e, "IVA01", ""), CLng(0)
  CheckEq "its portfolio line is gone", CancelRows(e, "EFECT", ""), CLng(0)
  CheckEq "the debit is taken out", CancelDebit(e, "4300001"), CDbl(0)
  CheckEq "the other entry's credit stays", CancelCredit(e, "4300001"), CDbl(-10)
  CheckEq "and so do its levels", CancelDebit(e, "57"), CDbl(10)
  CheckEq "a missing level holds what is left below it", CancelCredit(e, "43000"), CDbl(-10)

  r = e.AnularAsiento("15/03/25", CStr(second))
  CheckError "a date of another year", kBadDate, kServer, "*"
  Set closed = CreateObject("QROLE75.Enlace")
  r = closed.AnularAsiento("15/03/24", CStr(second))
  CheckError "no company open", kNoCompany, kServer, _
             "Empresa No Abierta ... Abrir Empresa y reintentar"
End Sub

Sub CancelLockedEntry()
  Section "AnularAsiento of an entry with a document"
  On Error Resume Next
  Dim e, folder, number, r
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-anular-pdf")
  e.CrearEmpresa folder & "Anular", "24"
  e.AbrirEmpresa folder & "Anular"
  WriteAnsiFile folder & "factura.pdf", "%PDF-1.4 una factura"
  number = CancelPost(e, "5720", "4300", 10, "", folder & "factura.pdf")
  CheckNoError "an entry with a document"
  r = e.AnularAsiento("15/03/24", CStr(number))
  CheckError "a locked entry", kCancelRefused, kServer, _
             "No se puede borrar el asiento ya que esta bloqueado segun la Ley de fraude"
  CheckEq "its lines stay", CancelRows(e, "EXTRA", ""), CLng(2)
  CheckEq "and its balances", CancelDebit(e, "5720"), CDbl(10)
End Sub

Sub CancelLines()
  Section "AnularApuntePorRegistro, AnularApuntePorReferencia"
  On Error Resume Next
  Dim e, closed, folder, r
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-anular-lineas")
  e.CrearEmpresa folder & "Anular", "24"
  e.AbrirEmpresa folder & "Anular"
  CancelPost e, "5720", "4300", 10, "", ""  ' records 1 and 2 of the journal
  r = e.AnularApuntePorRegistro(0)
  CheckNoError "AnularApuntePorRegistro(0)"
  CheckEq "no record: False", r, False
  CheckEq "nothing removed", CancelRows(e, "EXTRA", ""), CLng(2)

  CancelPost e, "5720", "4300", 25, "FRA-2024-001", ""
  r = e.AnularApuntePorReferencia("FRA-2024-001")
  CheckNoError "AnularApuntePorReferencia"
  CheckEq "the lines removed balance", r, True
  CheckEq "its lines are gone", CancelRows(e, "EXTRA", ""), CLng(2)
  CheckEq "the debit of the rest", CancelDebit(e, "5720"), CDbl(10)
  CheckEq "a blank reference", e.AnularApuntePorReferencia("  "), False

  r = e.AnularApuntePorRegistro(1, False)
  CheckNoError "AnularApuntePorRegistro"
  CheckEq "always False", r, False
  CheckEq "one line left", CancelRows(e, "EXTRA", ""), CLng(1)
  CheckEq "its debit taken out", CancelDebit(e, "5720"), CDbl(0)
  CheckEq "the other line's credit stays", CancelCredit(e, "4300"), CDbl(-10)

  Set closed = CreateObject("QROLE75.Enlace")
  r = closed.AnularApuntePorRegistro(1)
  CheckError "no company open", kNoCompany, kServer, "*"
End Sub

CancelEntry
CancelLockedEntry
CancelLines
