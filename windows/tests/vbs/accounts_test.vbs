' Accounts and budgets: creating accounts in the three charts (CrearCuenta,
' CrearAnalitica, CrearAlterna) with automatic numbering and the level codes,
' budget accounts (CrearPresupuesto, ModificarPresupuesto) and deleting an
' account (AnularCuenta).

Sub AccountCreation()
  Section "CrearCuenta, CrearAnalitica, CrearAlterna"
  On Error Resume Next
  Dim e, folder, c, n, r, rows
  Set e = CreateObject("QROLE75.Enlace")
  c = "4300*"
  r = e.CrearCuenta(c, "Cliente")
  CheckError "no company open", kNoCompany, kServer, _
             "Empresa No Abierta ... Abrir Empresa y reintentar"
  folder = NewFolder("vbs-cuentas")
  e.CrearEmpresa folder & "Cuentas", "24"
  e.AbrirEmpresa folder & "Cuentas"
  CheckNoError "a new company"

  c = "4300*"
  r = e.CrearCuenta(c, "Cliente")
  CheckNoError "CrearCuenta with a pattern"
  CheckEq "an account created", r, True
  CheckEq "the generated code, given back", c, "4300000001"
  CheckEq "its row", Left(e.Util_LeerDatos("PLANC", "CUENTA", "4300000001"), 19), _
          "4300000001" & vbTab & "Cliente "
  c = "4300*"
  r = e.CrearCuenta(c, "Cliente")
  CheckEq "the next code", c, "4300000002"

  c = "5720001"
  n = "-1"
  r = e.CrearCuenta(c, "Banco", n)
  CheckEq "-1 on a missing account creates it", r, True
  CheckEq "its level, given back", n, "0"
  c = "5720001"
  n = "-1"
  r = e.CrearCuenta(c, "Banco Uno", n)
  CheckEq "-1 on an existing account", r, True
  Check "changes its title", InStr(e.Util_LeerDatos("PLANC", "CUENTA", "5720001"), _
                                   vbTab & "Banco Uno ") > 0
  rows = e.Util_LeerDatos("PLANC", "CUENTA", "5720001")
  c = "5720001"
  n = "2"
  r = e.CrearCuenta(c, "Otro", n)
  CheckEq "another level on an existing account", r, True
  CheckEq "writes nothing", e.Util_LeerDatos("PLANC", "CUENTA", "5720001"), rows

  c = "0001"
  r = e.CrearAnalitica(c, "Taller")
  CheckEq "a cost centre", r, True
  CheckEq "in the cost-centre chart", Left(e.Util_LeerDatos("Costo", "CUENTA", "0001"), 11), _
          "0001      " & vbTab
  CheckEq "not in the chart of accounts", e.Util_LeerDatos("PLANC", "CUENTA", "0001"), ""
  c = "1*"
  r = e.CrearAlterna(c, "Capital")
  CheckEq "an account of the alternative chart", r, True
  CheckEq "numbered from the pattern", c, "1000000001"
  CheckNoError "the charts"
End Sub

Sub BudgetAccounts()
  Section "CrearPresupuesto, ModificarPresupuesto"
  On Error Resume Next
  Dim e, folder, rows
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-presupuestos")
  e.CrearEmpresa folder & "Presupuestos", "24"
  e.AbrirEmpresa folder & "Presupuestos"
  CheckEq "a budget account", e.CrearPresupuesto("6000", "Compras"), True
  CheckEq "one month set", e.ModificarPresupuesto("6000", 3, 1500), True
  CheckEq "month 13", e.ModificarPresupuesto("6000", 13, 5), False
  CheckEq "a missing budget account", e.ModificarPresupuesto("6001", 1, 5), False
  CheckNoError "the budget members"
  rows = e.Util_LeerDatos("Presu", "CUENTA", "6000")
  Check "the month's amount", InStr(rows, vbTab & "0" & vbTab & "0" & vbTab & "1500" & vbTab) > 0
  CheckEq "created again", e.CrearPresupuesto("6000", "Compras"), True
  Check "its months reset", InStr(e.Util_LeerDatos("Presu", "CUENTA", "6000"), "1500") = 0
End Sub

Sub AccountDeletion()
  Section "AnularCuenta"
  On Error Resume Next
  Dim e, folder, c
  Set e = CreateObject("QROLE75.Enlace")
  folder = NewFolder("vbs-anular")
  e.CrearEmpresa folder & "Anular", "24"
  e.AbrirEmpresa folder & "Anular"
  c = "4300001"
  e.CrearCuenta c, "Cliente Uno"
  CheckEq "an account deleted", e.AnularCuenta(c), True
  CheckEq "gone from the chart", e.Util_LeerDatos("PLANC", "CUENTA", "4300001"), ""
  CheckEq "a missing account", e.AnularCuenta(c), False
  CheckEq "the company stays open", e.NumeroEmpresa, "01"
  CheckNoError "AnularCuenta"
End Sub

AccountCreation
BudgetAccounts
AccountDeletion
