' Cash-basis VAT: collections of an invoice (CobroFacturaCriterioCaja), its
' VAT-book lines alone (AddVATCashBased), what is left of it
' (TotalPendiente), the refusals, and the accounts under the scheme
' (EsCriterioCaja).

' A new company "Caja" in `folder` with invoice F-1 of 4300001 (base 100,
' 21 % VAT, total 121) posted on 15/03/24, and 40 and 41 as the supplier
' prefixes.
Function CashCompany(folder)
  Dim e
  Set e = CreateObject("QROLE75.Enlace")
  e.CrearEmpresa folder & "Caja", "24"
  e.AbrirEmpresa folder & "Caja"
  e.Config("iva2") = "40,41"
  e.Fecha = "15/03/24"
  e.Número = ""
  e.AñadirApunte "4300001", "Factura F-1", 1, 121, "1"
  e.AñadirApunte "7000000", "Factura F-1", 2, 121, "1"
  e.AñadirIVA "4300001", "4770000", "F-1", "15/03/24", "21", "S", 100, 121
  e.GrabarAsiento
  Set CashCompany = e
End Function

' The fields of row `n` (0 first) of the collection lines in book V, blanks
' at the end of each field removed.
Function CashLine(e, n)
  Dim rows, fields, i
  rows = Split(e.Util_LeerDatos("IVA01", "", "", "S/R/T/C = V"), vbCrLf)
  fields = Split(rows(n), vbTab)
  For i = 0 To UBound(fields)
    fields(i) = RTrim(fields(i))
  Next
  CashLine = fields
End Function

' The number of collection lines in book V (every row ends in CR LF).
Function CashLineCount(e)
  Dim rows
  rows = e.Util_LeerDatos("IVA01", "", "", "S/R/T/C = V")
  If rows = "" Then
    CashLineCount = CLng(0)
  Else
    CashLineCount = CLng(UBound(Split(rows, vbCrLf)))
  End If
End Function

Sub CashCollections()
  Section "CobroFacturaCriterioCaja, TotalPendiente"
  On Error Resume Next
  Dim e, folder, fecha, ref, ffac, f
  folder = NewFolder("vbs-caja")
  Set e = CashCompany(folder)
  CheckNoError "an invoice posted"
  CheckEq "an invoice without collections", e.TotalPendiente("4300001", "F-1", "15/03/24"), _
          CDbl(121)

  fecha = "20/03/24"
  ref = ""
  ffac = ""
  e.CobroFacturaCriterioCaja "4300001", "F-1", 60, "5720000", 0, fecha, 0, "Banco", "", "1", _
                             "001", ref, "", "", ffac
  CheckNoError "a first collection"
  CheckEq "the reference: the invoice", ref, "F-1"
  CheckEq "the invoice's date, given back", ffac, "C40315"
  CheckEq "the caller's current number", e.Número, "000002"
  CheckEq "one collection line", CashLineCount(e), CLng(1)
  f = CashLine(e, 0)
  CheckEq "its base", f(5), "49" & DecimalSeparator() & "59"
  CheckEq "its total", f(14), "60"
  CheckEq "its VAT", f(16), "10" & DecimalSeparator() & "41"
  CheckEq "its entry", f(7), "000002"
  CheckEq "its operation key", f(24), "Z"
  CheckEq "its collection date", f(25), "C40320"
  CheckEq "its medium", f(26), "C"
  CheckEq "what is left", e.TotalPendiente("4300001", "F-1", "15/03/24"), CDbl(61)

  e.CobroFacturaCriterioCaja "4300001", "F-1", 62, "5720000", 0, "20/03/24", 0, "Banco"
  CheckError "more than what is left", 50027, kServer, _
             "El Importe del cobro es superior al importe restante de la factura"
  e.CobroFacturaCriterioCaja "4300001", "F-1", 61, "5720000", 0, "20/03/24", 0, "Banco"
  CheckNoError "the final collection"
  f = CashLine(e, 1)
  CheckEq "the remaining base", f(5), "50" & DecimalSeparator() & "41"
  CheckEq "the remaining VAT", f(16), "10" & DecimalSeparator() & "59"
  CheckEq "nothing left", e.TotalPendiente("4300001", "F-1", "15/03/24"), CDbl(0)
End Sub

Sub CashRefusals()
  Section "cash-basis refusals, AddVATCashBased"
  On Error Resume Next
  Dim e, folder, fecha, f
  folder = NewFolder("vbs-caja-errores")
  Set e = CashCompany(folder)
  e.CobroFacturaCriterioCaja "4300001", "F-1", 60, "5720000", 0, "20/03/24", 0, "Banco", "", _
                             "1", "001", "", "", "scan.jpg"
  CheckError "an attachment that is not a PDF", 55000, kServer, _
             "Solo se puede importar archivos PDF"
  e.CobroFacturaCriterioCaja "4300001", "F-9", 60, "5720000", 0, "20/03/24", 0, "Banco"
  CheckError "an invoice that is not there", 50021, kServer, _
             "No existe la factura F-9 para el cliente/proveedor 4300001"
  e.CobroFacturaCriterioCaja "4300001", "F-1", 130, "5720000", 0, "20/03/24", 0, "Banco"
  CheckError "more than the invoice", 50026, kServer, _
             "El Importe del cobro es superior al importe de la factura"
  e.AñadirIvaCriterioCaja "4300001", "F-1", 60, 0, " "
  CheckError "no medium description", 50026, kServer, "Descripcion del Medio de cobro incorrecta"
  CheckEq "nothing written", CashLineCount(e), CLng(0)

  fecha = ""
  e.AddVATCashBased "4300001", "F-1", 60, 5, "Recibo", True, 0, fecha
  CheckNoError "AddVATCashBased"
  CheckEq "the accounting date, given back", fecha, "240315"
  CheckEq "one collection line", CashLineCount(e), CLng(1)
  f = CashLine(e, 0)
  CheckEq "its medium", f(26), "D"
  CheckEq "no entry: the object's number", f(7), "000001"
End Sub

Sub CashAccounts()
  Section "EsCriterioCaja"
  On Error Resume Next
  Dim e, folder, c
  folder = NewFolder("vbs-caja-cuentas")
  Set e = CreateObject("QROLE75.Enlace")
  e.CrearEmpresa folder & "Cuentas", "24"
  e.AbrirEmpresa folder & "Cuentas"
  c = "4300005"
  e.CrearCuenta c, "Cliente Cinco"
  CheckEq "an account not under the scheme", e.EsCriterioCaja("4300005"), False
  e.CrearDatos "4300005", "-1", "-1", "-1", "-1", "-1", "-1", "-1", -1, "-1", "-1", -1, "-1", _
               "-1", False, "-1", "-1", "-1", "-1", "-1", True
  CheckEq "flagged in its master data", e.EsCriterioCaja("4300005"), True
  Check "the chart took the flag over", _
        Right(e.Util_LeerDatos("PLANC", "CUENTA", "4300005"), 4) = "1" & vbTab & vbCrLf
  e.PUT_TOTAL "CriteriodeCaja", "1"
  CheckEq "the whole company", e.EsCriterioCaja("6000000"), True
  CheckNoError "EsCriterioCaja"
End Sub

CashCollections
CashRefusals
CashAccounts
