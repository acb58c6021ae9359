' Table utilities: the tables of the program directory (Util_LeerTablas), the
' field names of one (Util_LeerCampos), and the rows of one (Util_LeerDatos).

Sub TableList()
  Section "Util_LeerTablas"
  On Error Resume Next
  Dim e, t, f, n, name
  Set e = CreateObject("QROLE75.Enlace")
  t = e.Util_LeerTablas()
  CheckNoError "Util_LeerTablas"
  Check "PLANC with its description", InStr(t, "PLANC" & vbTab & "Plan de cuentas y saldos" & vbCrLf) > 0
  Check "EXTRA with its description", InStr(t, "EXTRA" & vbTab & "Apuntes del diario" & vbCrLf) > 0
  Check "an accented description", InStr(t, "Anali" & vbTab & "Apuntes analíticos" & vbCrLf) > 0
  ' One line for every definition file of the program directory.
  n = 0
  For Each f In CreateObject("Scripting.FileSystemObject").GetFolder(kProgramDir).Files
    If UCase(Right(f.Name, 4)) = ".QRA" Then
      n = n + 1
      name = Left(f.Name, Len(f.Name) - 4)
      Check "a line for " & name, Left(t, Len(name) + 1) = name & vbTab Or _
            InStr(t, vbCrLf & name & vbTab) > 0
    End If
  Next
  CheckEq "definition files in the program directory", n, 13
  CheckEq "lines", CLng((Len(t) - Len(Replace(t, vbCrLf, ""))) / 2), CLng(n)
  CheckEq "the text ends with a line end", Right(t, 2), vbCrLf
End Sub

' The script host indexes arrays of Variants only: a server collection takes
' a typed array and gives it back as one.
Function AsVariantArray(a)
  Dim c
  Set c = CreateObject("QROLE75.Enlace").Empresas
  c.Add a
  AsVariantArray = c.Item(c.Count)
End Function

Sub FieldNames()
  Section "Util_LeerCampos"
  On Error Resume Next
  Dim e, a, b, x, bad
  Set e = CreateObject("QROLE75.Enlace")
  a = e.Util_LeerCampos("PLANC")
  CheckNoError "Util_LeerCampos(""PLANC"")"
  CheckEq "an array of Strings, as declared", VarType(a), vbArray + vbString
  b = AsVariantArray(a)
  CheckNoError "the array through a collection"
  CheckEq "its elements", VarType(b), vbArray + vbVariant
  CheckEq "indexed from 1", LBound(b), CLng(1)
  CheckEq "one name a field, one a period element", UBound(b), CLng(46)
  CheckEq "the first field", b(1), "CUENTA" & Space(17)
  CheckEq "the second field", b(2), "TITULO" & Space(17)
  b = AsVariantArray(e.Util_LeerCampos("planc"))
  CheckEq "a lower-case table name", b(1) & "|" & UBound(b), "CUENTA" & Space(17) & "|46"
  b = AsVariantArray(e.Util_LeerCampos("EFECT"))
  Check "another table", UBound(b) > 5 And LBound(b) = 1
  CheckNoError "the tables"
  x = e.Util_LeerCampos("")
  CheckError "an empty table name", -2147161504, kServer, "Tabla Obligatorio"
  x = e.Util_LeerCampos("  ")
  CheckError "a blank table name", -2147161504, kServer, "Tabla Obligatorio"
  For Each bad In Array("../x", "../../etc/passwd", "sub/PLANC", "..\PLANC", "C:PLANC")
    x = e.Util_LeerCampos(bad)
    CheckError "the table name " & bad, -2147161504, kServer, "Nombre de tabla no válido" & vbLf & bad
  Next
  x = e.Util_LeerCampos("NOEXISTE")
  CheckError "a table that is not there", 53, kRuntime, "File not found: NOEXISTE.QRa"
End Sub

' Util_LeerDatos: the rows of a company's table, read through its index file,
' and its refusals.
Sub TableRows()
  Section "Util_LeerDatos"
  On Error Resume Next
  Dim e, x, rows, lines, p
  Set e = CreateObject("QROLE75.Enlace")
  x = e.Util_LeerDatos("PLANC")
  CheckError "no company open", -2147161504, kServer, "Empresa no Abierta"
  x = e.Util_LeerDatos("")
  CheckError "an empty table name", -2147161504, kServer, "Tabla Obligatorio"
  x = NewFolder("vbs-tablas") & "Tablas"
  e.CrearEmpresa x, "24"
  e.AbrirEmpresa x
  CheckNoError "a new company"

  rows = e.Util_LeerDatos("PLANC", "CUENTA", "100")
  CheckNoError "the row of account 100"
  CheckEq "account 100, first column", Left(rows, 11), "100       " & vbTab
  Check "account 100, its title", InStr(rows, "Capital social") > 0
  CheckEq "account 100, end of the row", Right(rows, 3), vbTab & vbCrLf
  rows = e.Util_LeerDatos("PLANC", "CUENTA", "4770")
  CheckEq "account 4770, first column", Left(rows, 11), "4770      " & vbTab
  Check "account 4770, its title", InStr(rows, "IVA repercutido") > 0

  rows = e.Util_LeerDatos("PLANC", , , "NIVEL = 1")
  CheckNoError "a filter"
  lines = 0
  p = InStr(rows, vbCrLf)
  Do While p > 0
    lines = lines + 1
    p = InStr(p + 2, rows, vbCrLf)
  Loop
  CheckEq "the groups of the chart", lines, 9

  x = e.Util_LeerDatos("PLANC", , , "NOCAMPO = 1")
  Check "a filter the table cannot read, in the error's text", InStr(Err.Description, "NOCAMPO = 1") > 0
  CheckError "a filter the table cannot read", -2147171344, kServer, "*"
  x = e.Util_LeerDatos("../PLANC")
  CheckError "a table name with a folder", -2147161504, kServer, _
             "Nombre de tabla no válido" & vbLf & "../PLANC"
  x = e.Util_LeerDatos()
  CheckError "no table name", 449, kRuntime, "Argument not optional"
End Sub

TableList
FieldNames
TableRows
