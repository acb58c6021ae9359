#!/usr/bin/env python3
"""Writes the VBScript test of every field of every record class.

Usage: gen_record_tests.py INTERFACE_JSON OUTPUT_VBS

For each record class of the interface description: the class is created by
its ProgID; every field starts at the zero value of its declared type (with
that type's name, as the script host's TypeName gives it); a value of the
field's type written to it reads back unchanged and with that type; and a
value written to one field leaves the others as they were.
"""
import json
import sys

# A value of each declared type, as VBScript writes it (with its type: the
# field must give back the same type).
SAMPLES = {
    "String": '"Texto ñ {n}"',
    "Double": "1234.5 + {n}",
    "Single": "CSng(2.5)",
    "Long": "CLng(100000 + {n})",
    "Integer": "CInt(-123)",
    "Byte": "CByte(200)",
    "Boolean": "True",
    "Variant": '"variante"',
}
# The zero value of each declared type.
ZERO = {
    "String": '""',
    "Double": "CDbl(0)",
    "Single": "CSng(0)",
    "Long": "CLng(0)",
    "Integer": "CInt(0)",
    "Byte": "CByte(0)",
    "Boolean": "False",
    "Variant": "Empty",
}


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        description = json.load(f)
    out = ["' Generated from the interface description by gen_record_tests.py.", ""]
    calls = []
    for record in description["records"]:
        name = record["name"]
        sub = "RecordFields_" + name
        calls.append(sub)
        out += [f"Sub {sub}()",
                f'  Section "{name} fields"',
                "  On Error Resume Next",
                "  Dim r, c",
                f'  Set r = CreateObject("QROLE75.{name}")',
                f'  CheckNoError "CreateObject(""QROLE75.{name}"")"',
                f'  CheckEq "TypeName", TypeName(r), "_{name}"',
                '  Set c = CreateObject("QROLE75.Enlace").Empresas']
        fields = record["fields"]
        for f in fields:
            field, ftype = f["name"], f["type"]
            if ftype == "Collection":
                out.append(f'  CheckEq "{field} starts as Nothing", r.{field}, Nothing')
                continue
            out.append(f'  CheckEq "{field} starts at zero", r.{field}, {ZERO[ftype]}')
        for n, f in enumerate(fields):
            field, ftype = f["name"], f["type"]
            if ftype == "Collection":
                out += [f"  Set r.{field} = c",
                        f'  CheckEq "{field} holds the collection set", r.{field}, c']
                continue
            # CheckEq compares the type as well as the value.
            value = SAMPLES[ftype].format(n=n)
            out += [f"  r.{field} = {value}",
                    f'  CheckEq "{field} reads back with its type", r.{field}, {value}']
        # Writing every field after the first left the first as written.
        first = fields[0]
        if first["type"] != "Collection":
            out.append(f'  CheckEq "{first["name"]} after the other fields", r.{first["name"]}, '
                       f'{SAMPLES[first["type"]].format(n=0)}')
        out += ['  CheckNoError "the fields"', "End Sub", ""]
    out += calls
    with open(sys.argv[2], "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
