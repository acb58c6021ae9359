' VAT types: the type codes (ValTIVA), the types shipped with the program
' (TIPOSIVA) and the count of an invoice's VAT-book lines (ExisteIva).

Sub VatCodes()
  Section "ValTIVA"
  On Error Resume Next
  Dim e
  Set e = CreateObject("QROLE75.Enlace")
  CheckEq "one digit", e.ValTIVA("7"), CLng(7)
  CheckEq "two digits", e.ValTIVA("07"), CLng(7)
  CheckEq "a letter and a digit", e.ValTIVA("A0"), CLng(100)
  CheckEq "B3", e.ValTIVA("B3"), CLng(113)
  CheckEq "Z9", e.ValTIVA("Z9"), CLng(359)
  CheckEq "three characters", e.ValTIVA("123"), CLng(0)
  CheckNoError "no company needed"
End Sub

Sub VatTypes()
  Section "TIPOSIVA"
  On Error Resume Next
  Dim e, folder, t
  Set e = CreateObject("QROLE75.Enlace")
  Set t = e.TIPOSIVA("21")
  CheckError "no company open", kNoCompany, kServer, "*"
  Set t = e.TIPOSIVA("")
  CheckNoError "an empty index without a company"
  CheckEq "an empty type", t.TIPO, ""

  folder = NewFolder("vbs-iva")
  e.CrearEmpresa folder & "Iva", "24"
  e.AbrirEmpresa folder & "Iva"
  Set t = e.TIPOSIVA(21)
  CheckNoError "type 21"
  CheckEq "its code", t.TIPO, "21"
  CheckEq "its description", t.Descripción, "IVA general 21%      "
  CheckEq "its percentage", t.Cuota, CDbl(21)
  CheckEq "no surcharge", t.Recargo, CDbl(0)
  CheckEq "its operation key", t.ClaveOp, "01"
  Set t = e.TIPOSIVA("51")
  CheckEq "the surcharge of type 51", t.Recargo, CDbl(CSng(5.2))
  Set t = e.TIPOSIVA("7")
  CheckEq "a one-digit code as two", t.TIPO, "07"
  Set t = e.TIPOSIVA("A0")
  CheckEq "a code text", t.TIPO, "A0"
  Set t = e.TIPOSIVA(0)
  CheckError "no type 0", kNoCompany, kServer, "Empresa No Abierta ... Abrir Empresa y reintentar"
  Set t = e.TIPOSIVA(301)
  CheckError "no type past the file", kNoCompany, kServer, "*"
End Sub

Sub VatInvoiceCount()
  Section "ExisteIva"
  On Error Resume Next
  Dim e, folder
  Set e = CreateObject("QROLE75.Enlace")
  e.ExisteIva "F-1"
  CheckError "no company open", kNoCompany, kServer, "*"
  folder = NewFolder("vbs-libro-iva")
  e.CrearEmpresa folder & "Libro", "24"
  e.AbrirEmpresa folder & "Libro"
  CheckEq "an empty book", e.ExisteIva("F-1"), CLng(0)

  e.Fecha = "15/03/24"
  e.Número = ""
  e.AñadirApunte "4300001", "Factura F-1", 1, 181, "1"
  e.AñadirIVA "4300001", "4770000", "F-1", "15/03/2024", "21", "S", 100, 121
  e.AñadirIVA "4300001", "4770000", "F-1", "15/03/2024", "10", "S", 50, 0
  e.GrabarAsiento
  CheckNoError "an entry with two VAT lines"
  CheckEq "the pending lines are gone", e.ContadorIva, CLng(0)
  CheckEq "two lines of F-1", e.ExisteIva("F-1"), CLng(2)
  CheckEq "none of F-", e.ExisteIva("F-"), CLng(0)
End Sub

VatCodes
VatTypes
VatInvoiceCount
