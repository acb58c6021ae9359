' Record objects: conversions of their fields, objects in their fields, and
' the client's own objects kept in them. (Every field of every class is
' covered by the generated record_fields_test.vbs.)

Sub FieldConversions()
  Section "record field conversions"
  On Error Resume Next
  Dim a, sep
  Set a = CreateObject("QROLE75.ApunteClass")
  CheckNoError "CreateObject(""QROLE75.ApunteClass"")"
  a.Cuenta = 4300001
  CheckEq "a number into a text field", a.Cuenta, "4300001"
  a.TIPO = "7"
  CheckEq "a text into a Byte field", a.TIPO, CByte(7)
  a.TIPO = 300
  CheckError "300 into a Byte field", 6, kRuntime, "Overflow"
  CheckEq "the Byte field after the overflow", a.TIPO, CByte(7)
  sep = DecimalSeparator()
  ' The runner gives the suite a Spanish desktop's conventions.
  CheckEq "the user's decimal separator", sep, ","
  a.Importe = "12" & sep & "5"
  CheckEq "a text in the user's locale into a Double field", a.Importe, 12.5
  a.Importe = "doce"
  CheckError "a word into a Double field", 13, kRuntime, "Type mismatch"
  a.Importe = True
  CheckEq "True into a Double field", a.Importe, CDbl(-1)
  a.Descripción = "Cobro factura nº 7"
  CheckEq "an accented field name and text", a.Descripción, "Cobro factura nº 7"
  a.NoSuchField = 1
  CheckError "an unknown field", 438, "Microsoft VBScript runtime error", "*"
End Sub

Sub ObjectsInFields()
  Section "objects in record fields"
  On Error Resume Next
  Dim v, b, d
  Set v = CreateObject("QROLE75.IVAClass")
  Set b = CreateObject("QROLE75.StrBuilder")
  Set v.CuentaIVA = b
  CheckEq "an object in a Variant field", v.CuentaIVA, b
  b.Append "dentro"
  CheckEq "it is the same object", v.CuentaIVA.ToString(), "dentro"
  v.CuentaIVA = "477"
  CheckEq "a text in the same field", v.CuentaIVA, "477"
  ' A client's own object, kept by the server and handed back.
  Set d = CreateObject("Scripting.Dictionary")
  Set v.CuentaIVA = d
  CheckNoError "a client's object in a Variant field"
  v.CuentaIVA.Add "clave", 5
  CheckEq "the client's object handed back is the same", d.Item("clave"), 5
  CheckEq "its members answer through the field", v.CuentaIVA.Count, CLng(1)
End Sub

Sub RecordsAreIndependent()
  Section "record objects are independent"
  On Error Resume Next
  Dim a, b
  Set a = CreateObject("QROLE75.ApunteClass")
  Set b = CreateObject("QROLE75.ApunteClass")
  a.Cuenta = "5720001"
  CheckEq "another record keeps its field", b.Cuenta, ""
  Check "two records are two objects", Not (a Is b)
  Set b = a
  CheckEq "a second reference sees the field", b.Cuenta, "5720001"
End Sub

FieldConversions
ObjectsInFields
RecordsAreIndependent
