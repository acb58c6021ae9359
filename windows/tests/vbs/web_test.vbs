' Web mode: the same link as on Linux, over WinHTTP and XmlLite, against the
' stand-in web service the runner starts on 127.0.0.1 (its address is in
' C:\qrole-test\web-endpoint.txt).

Sub WebMode()
  Section "web mode"
  On Error Resume Next
  Dim e, endpoint, c, folders
  endpoint = ReadAnsiFile("C:\qrole-test\web-endpoint.txt")
  Check "the stand-in web service runs (" & endpoint & ")", Left(endpoint, 17) = "http://127.0.0.1:"
  Set e = CreateObject("QROLE75.Enlace")
  e.Login "nadie", "x", endpoint
  CheckError "a refused login", 50900, "QROLE75", "ERROR: usuario no válido"
  CheckEq "a refused login leaves the object local", e.Usuario, "98"
  e.Login "ana", "x", endpoint
  CheckNoError "Login"
  CheckEq "Usuario, from the service's ID answer", e.Usuario, "07"
  Set c = e.Empresas
  CheckEq "the service's companies", c.Count, CLng(2)
  CheckEq "its first company", c(1), "Alfa SL"
  CheckEq "a name with a character beyond ASCII", c(2), "Beta ñ"
  Set folders = e.LeerCarpetas
  CheckNoError "LeerCarpetas"
  CheckEq "the service's folders", folders.Count, CLng(2)
  e.AbrirEmpresa "Beta ñ"
  CheckError "a company the service does not know", kNoSuchCompany, "QROLE", _
             "Empresa Valdrix no existe: " & vbLf & "Beta ñ"
  e.AbrirEmpresa "Alfa SL"
  CheckNoError "AbrirEmpresa on the service"
  CheckEq "NumeroEmpresa", e.NumeroEmpresa(), "03"
  CheckEq "Empresa is the service's name, not a path", e.Empresa(), "Alfa SL"
  CheckEq "MesInicioEjercicio", e.MesInicioEjercicio(), "07"
  e.PUT_TOTAL "Serie", "B & C"
  CheckNoError "PUT_TOTAL on the service"
  CheckEq "GET_TOTAL reads it back", e.GET_TOTAL("Serie"), "B & C"
  CheckNoError "web mode"
End Sub

WebMode
