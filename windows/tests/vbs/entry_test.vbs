' The entry being built: its lines (AñadirApunte, AñadirIVA, AñadirCartera,
' AñadirAnalitica, AñadirRetencion and the English names), the posting log
' they go to (AuditoriaSave), and entry numbers (Número, IsNumeroAsiento,
' GrabarNuevoNumeroAsiento).

' The posting log of company 01 in `folder` for this year.
Function PostingLog(folder)
  PostingLog = ReadAnsiFile(folder & "QROLE_01_" & Year(Now) & ".log")
End Function

Sub EntryLines()
  Section "AñadirApunte and the other lines"
  On Error Resume Next
  Dim e, folder, a, p, iva, log
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-asientos")
  e.CrearEmpresa folder & "Diario", "24"
  e.AbrirEmpresa folder & "Diario"
  CheckNoError "a new company"

  p = ""
  Set a = e.AñadirApunte("4300001", "Factura 12", 1, 1210.5, "1", p, "002", "R-12")
  CheckNoError "AñadirApunte"
  CheckEq "the empty Punteo, given back", p, 0
  CheckEq "the line's account", a.Cuenta, "4300001"
  CheckEq "the line's channel", a.Canal, "002"
  a.Importe = 1210.75
  CheckEq "the pending line is the object handed back", e.Apunte(1).Importe, 1210.75
  Check "Apunte(1) Is the line", e.Apunte(1) Is a
  Check "AddEntry hands nothing back", IsEmpty(e.AddEntry("7000000", "Factura 12", 2, 1000, "1"))
  CheckEq "ContadorApuntes", e.ContadorApuntes, CLng(2)
  Check "Apunte(3) is Nothing", e.Apunte(3) Is Nothing

  Set iva = e.AñadirIVA("4300001", "4770000", "12", "15/03/2024", "G", "R", 1000, 1210)
  CheckNoError "AñadirIVA"
  CheckEq "the invoice date, stored", iva.FechaFactura, "C40315"
  CheckEq "the SII code by default", iva.SII_Codigo, "0000"
  e.AddVAT "4300001", "4770000", "13", "150324", "G", "R", 1000, 1210
  CheckEq "AddVAT leaves the SII code empty", e.iva(2).SII_Codigo, ""
  e.AñadirCartera "15/04/24", "4300001", "R", "Recibo", 1210
  e.AñadirAnalitica "7000000", "CC01", "Reparto", 2, 1000, "1"
  e.AñadirRetencion "4100001", "Asesor", "B1", "F-9", 1000, "4751000", 15, "28", "", _
                    "15/03/24", 0, 0, 150, 0, "G"
  CheckNoError "the other lines"
  CheckEq "ContadorIva", e.ContadorIva, CLng(2)
  CheckEq "ContadorCartera", e.ContadorCartera, CLng(1)
  CheckEq "ContadorAnalitica", e.ContadorAnalitica, CLng(1)
  CheckEq "ContadorRetenciones", e.ContadorRetenciones, CLng(1)
  CheckEq "the withholding's order number waits for posting", e.Retencion(1).NumOrden, ""

  p = 256
  e.AñadirApunte "4300001", "x", 1, 1, "1", p
  CheckError "a Punteo above 255", 6, kRuntime, "Overflow"
  CheckEq "nothing added", e.ContadorApuntes, CLng(2)

  log = PostingLog(folder)
  Check "the log's journal line", InStr(log, vbTab & ServerPath(folder & "Diario.QRT") & vbTab & _
        "Se añade un apunte: Cuenta=4300001;Descripción=Factura 12;Tipo=1;Importe=1210" & _
        DecimalSeparator() & "5;Diario=1;Punteo=0;Canal=002;Referencia=R-12;Notas=;Archivo=" & _
        vbCrLf) > 0
  Check "the log's VAT line shows the date as given", InStr(log, ";FechaFactura=15/03/2024;") > 0
  Check "the log's analytic line", InStr(log, "Se añade un apunte analítico: CuentaContable=7000000") > 0
  Check "no line for the withholding", InStr(log, "4100001") = 0

  e.AuditoriaSave "  Cierre de caja 3  ", "   "
  CheckNoError "AuditoriaSave"
  log = PostingLog(folder)
  CheckEq "the client's own line, trimmed", Right(log, 19), vbTab & "Cierre de caja 3" & vbCrLf
  e.AuditoriaSave 12.5, folder & "caja.log"
  log = ReadAnsiFile(folder & "caja.log")
  CheckEq "a log of the client's", Right(log, 7), vbTab & "12" & DecimalSeparator() & "5" & vbCrLf
End Sub

Sub EntryNumbers()
  Section "Número, IsNumeroAsiento, GrabarNuevoNumeroAsiento"
  On Error Resume Next
  Dim e, other, folder, r
  Set e = CreateObject("QROLE75.Enlace")
  e.Número = ""
  CheckError "no company open", kNoCompany, kServer, "*"
  folder = NewFolder("vbs-numeros")
  e.CrearEmpresa folder & "Numeros", "24"
  e.AbrirEmpresa folder & "Numeros"
  e.Número = ""
  CheckNoError "a proposal"
  CheckEq "the first number of a new company", e.Número, "000001"
  e.PutTotal "CONTADORASIENTOS", "000041"
  e.Number = ""
  CheckEq "the counter + 1", e.Number, "000042"
  CheckEq "a proposal reserves its number: the counter moves on", e.GetTotal("CONTADORASIENTOS"), _
          "000042"
  e.GrabarNuevoNumeroAsiento
  CheckEq "the counter stored", e.GetTotal("CONTADORASIENTOS"), "000042"
  e.Número = "A-7"
  CheckEq "the client's own number", e.Número, "A-7"
  e.GrabarNuevoNumeroAsiento
  CheckEq "a client's number is not stored", e.GetTotal("CONTADORASIENTOS"), "000042"
  CheckEq "a free number", e.IsNumeroAsiento("000043", False), False

  ' An object without a number checks a blank one, never free: the user is
  ' told, posting stops, and the entry of that object is emptied.
  Set other = CreateObject("QROLE75.Enlace")
  other.AbrirEmpresa folder & "Numeros"
  other.AñadirApunte "4300001", "x", 1, 1, "1"
  r = other.IsNumeroAsiento("")
  CheckNoError "IsNumeroAsiento"
  CheckEq "a blank number is taken", r, True
  CheckEq "the entry emptied", other.ContadorApuntes, CLng(0)
  Check "the incident logged", InStr(PostingLog(folder), "ASIENTO EN CONFLICTO:" & vbCrLf) > 0
End Sub

Sub Posting()
  Section "GrabarAsiento, LeerPlan, PlanDebe, PlanHaber"
  On Error Resume Next
  Dim e, folder, p
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-grabar")
  e.CrearEmpresa folder & "Grabar", "24"
  e.AbrirEmpresa folder & "Grabar"
  e.Fecha = "15/03/24"
  e.Número = ""
  e.AñadirApunte "5720", "Cobro 12", 1, 121, "1"
  e.AñadirApunte "4300", "Cobro 12", 2, 121, "1"
  CheckEq "GrabarAsiento", e.GrabarAsiento(), 0
  CheckNoError "GrabarAsiento"
  CheckEq "nothing pending afterwards", e.ContadorApuntes, CLng(0)
  CheckEq "the counter", e.GetTotal("CONTADORASIENTOS"), "000001"
  CheckEq "LeerPlan", e.LeerPlan("5720,4300"), True
  CheckEq "ContadorPlan", e.ContadorPlan, CLng(2)
  Set p = e.Plan(1)
  CheckEq "the bank's code", p.Cuenta, "5720"
  CheckEq "the March debit", p.DebeMarzo, CDbl(121)
  CheckEq "PlanDebe", e.PlanDebe(1, 3), CDbl(121)
  CheckEq "PlanHaber, credits negative", e.PlanHaber(2, 3), CDbl(-121)
  CheckEq "PlanDebe out of range", e.PlanDebe(1, 15), CDbl(0)
  Check "Plan(3) is Nothing", e.Plan(3) Is Nothing
  e.LeerPlan "57"
  CheckEq "a parent holds the amount", e.PlanDebe(1, 3), CDbl(121)
End Sub

EntryLines
EntryNumbers
Posting
