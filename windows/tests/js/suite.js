// The JScript client: what a client whose runtime does not translate error
// numbers sees (the HRESULTs themselves), Nothing as null, and enumeration
// with an Enumerator. The last line is "js: N passed, M failed".
var passed = 0, failed = 0;

function check(what, actual, expected) {
  if (actual === expected) {
    passed++;
  } else {
    failed++;
    WScript.Echo("FAIL js: " + what + " (got " + actual + ", expected " + expected + ")");
  }
}

function errorOf(f) {
  try {
    f();
  } catch (e) {
    return e;
  }
  return null;
}

var e = new ActiveXObject("QROLE75.Enlace");
check("Version", e.Version(), "7.5.1");
check("Nothing is null", e.Apunte(1), null);

var err = errorOf(function () { e.LeerCarpetas(); });
check("a member of web mode on a local object: number", err && err.number, -2147171489);
check("a member of web mode on a local object: description", err && err.description,
      "Esta opci\u00f3n solo est\u00e1 disponible con enlace a webservice.invalid");

err = errorOf(function () { e.Canal = 40000; });
check("overflow: number", err && err.number, -2146828282);  // 0x800A0006
check("overflow: description", err && err.description, "Overflow");
check("Canal after the overflow", e.Canal, "000");

err = errorOf(function () { e.Util_TextoToArray(); });
check("argument not optional: number", err && err.number, -2146827839);  // 0x800A01C1

var c = e.Empresas;
var before = c.Count;
c.Add("uno");
c.Add("dos");
var seen = [];
for (var it = new Enumerator(e.Empresas); !it.atEnd(); it.moveNext()) seen.push(it.item());
check("Enumerator sees the items", seen.slice(before).join(","), "uno,dos");

var table = new VBArray(e.Util_TextoToArray("a\tb\r\nc"));
check("a text table: dimensions", table.dimensions(), 2);
check("a text table: cell (0, 1)", table.getItem(0, 1), "b");
check("a text table: cell (1, 0)", table.getItem(1, 0), "c");

var s = new ActiveXObject("QROLE75.StrBuilder");
s.Append("año");
s.PrePend("el ");
check("StrBuilder with accents", s.ToString(), "el año");

WScript.Echo("js: " + passed + " passed, " + failed + " failed");
