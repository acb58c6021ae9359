#!/usr/bin/env python3
"""Rewrites src/typelib/interface.json in its house layout: one line per
member, record field and enumerator, so that the file reads like a table."""
import json
import sys

path = sys.argv[1] if len(sys.argv) > 1 else "src/typelib/interface.json"
d = json.load(open(path, encoding="utf-8"))


def one(x):
    return json.dumps(x, ensure_ascii=False)


out = ['{', f' "library": {one(d["library"])},', ' "enums": [']
for i, e in enumerate(d["enums"]):
    vals = ",\n".join("    " + one(v) for v in e["values"])
    out.append(f'  {{"name": {one(e["name"])}, "values": [\n{vals}]}}' + ("," if i + 1 < len(d["enums"]) else ""))
out.append(' ],')
out.append(' "records": [')
for i, r in enumerate(d["records"]):
    fs = ",\n".join("    " + one(f) for f in r["fields"])
    out.append(f'  {{"name": {one(r["name"])}, "fields": [\n{fs}]}}' + ("," if i + 1 < len(d["records"]) else ""))
out.append(' ],')
out.append(' "interfaces": [')
for i, itf in enumerate(d["interfaces"]):
    ms = ",\n".join("    " + one(m) for m in itf["members"])
    out.append(f'  {{"name": {one(itf["name"])}, "coclass": {one(itf["coclass"])}, "members": [\n{ms}]}}'
               + ("," if i + 1 < len(d["interfaces"]) else ""))
out.append(' ]')
out.append('}')
text = "\n".join(out) + "\n"
json.loads(text)
open(path, "w", encoding="utf-8").write(text)
