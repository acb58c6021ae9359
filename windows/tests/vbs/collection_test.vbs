' Collections: the company catalogue Empresas as a client uses it (Count,
' Item, the default member, For Each, Add, Remove), its identity, and
' replacing it.

Sub Catalogue()
  Section "Empresas"
  On Error Resume Next
  Dim e, c, n, x, seen
  Set e = CreateObject("QROLE75.Enlace")
  Set c = e.Empresas
  CheckNoError "Empresas"
  CheckEq "Empresas twice is the same object", e.Empresas, c
  n = c.Count
  c.Add "Uno"
  c.Add "Dos", "k2"
  CheckEq "Count after two Add", e.Empresas.Count, n + 2
  CheckEq "Item(Count)", c.Item(n + 2), "Dos"
  CheckEq "the default member", c(n + 1), "Uno"
  CheckEq "Item by key, ignoring case", c("K2"), "Dos"
  seen = ""
  For Each x In e.Empresas
    seen = seen & "[" & x & "]"
  Next
  CheckNoError "For Each"
  Check "For Each visits the items in order", Right(seen, 11) = "[Uno][Dos]"
  x = c.Item(n + 3)
  CheckError "Item past the end", 9, kRuntime, "Subscript out of range"
  x = c.Item("nokey")
  CheckError "Item of a missing key", 5, kRuntime, "Invalid procedure call or argument"
  c.Add "Tres", "k2"
  CheckError "Add with a key already there", 457, kRuntime, "*"
  c.Remove n + 1
  CheckEq "Count after Remove", c.Count, n + 1
  CheckEq "the item after the removed one moved up", c(n + 1), "Dos"
  CheckNoError "Remove"
End Sub

Sub ReplacingTheCatalogue()
  Section "Set Empresas"
  On Error Resume Next
  Dim e, f, c
  Set e = CreateObject("QROLE75.Enlace")
  Set f = CreateObject("QROLE75.Enlace")
  Set c = f.Empresas
  c.Add "Compartida"
  Set e.Empresas = c
  CheckNoError "Set Empresas to another object's catalogue"
  CheckEq "Empresas is the assigned collection", e.Empresas, c
  CheckEq "its items", e.Empresas.Item(c.Count), "Compartida"
  ' An index given to the property goes to the collection's default member.
  CheckEq "Empresas(index)", e.Empresas(c.Count), "Compartida"
  CheckNoError "Empresas(index)"
  Set e.Empresas = Nothing
  CheckNoError "Set Empresas = Nothing"
  Check "a new catalogue is made on the next touch", Not (e.Empresas Is c)
  e.Empresas = "text"
  CheckError "Empresas = a text (the property takes objects only)", 450, kRuntime, _
             "Wrong number of arguments or invalid property assignment"
  Set e.Empresas = CreateObject("QROLE75.StrBuilder")
  CheckError "Set Empresas to an object of another class", 13, kRuntime, "Type mismatch"
End Sub

Catalogue
ReplacingTheCatalogue
