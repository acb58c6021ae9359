"""The interface description, as the client uses it to tell methods from
properties.

The socket protocol does not describe members, so the client reads the same
description the server is built from: ``interface.json``, shipped inside this
package (in the source tree it is a link to ``src/typelib/interface.json``,
the one source of truth). Members are found by name as late binding finds
them: ASCII and Latin-1 letters ignoring case, accents as written.
"""

from __future__ import annotations

import json
import os
from dataclasses import dataclass, field
from typing import Any, Dict, List, Optional, Tuple

METHOD = "method"
GET = "get"
LET = "let"
SET = "set"


def fold_name(name: str) -> str:
    """The name as late binding compares it: A-Z, À-Þ (but ×) and Š Œ Ž Ÿ
    lower-cased, every other character as written."""
    out = []
    for ch in name:
        cp = ord(ch)
        if 0x41 <= cp <= 0x5A:
            cp += 0x20
        elif 0xC0 <= cp <= 0xDE and cp != 0xD7:
            cp += 0x20
        elif cp in (0x0160, 0x0152, 0x017D):
            cp += 1
        elif cp == 0x0178:
            cp = 0xFF
        out.append(chr(cp))
    return "".join(out)


@dataclass(frozen=True)
class Param:
    name: str
    type: str
    byref: bool = True
    optional: bool = False


@dataclass(frozen=True)
class Member:
    name: str
    kind: str  # "method", "get", "let" or "set"
    type: str
    params: Tuple[Param, ...] = ()
    family: str = ""


@dataclass
class ClassDescription:
    """A class as late binding sees it."""

    name: str
    members: Dict[str, Dict[str, Member]] = field(
        default_factory=dict
    )  # folded name -> kind -> entry
    is_record: bool = False

    def add(self, member: Member) -> None:
        self.members.setdefault(fold_name(member.name), {})[member.kind] = member

    def find(self, name: str) -> Optional[Dict[str, Member]]:
        """The entries of a member by kind, or None when the class has no
        member of that name."""
        return self.members.get(fold_name(name))

    def names(self) -> List[str]:
        """Every member name as the description writes it."""
        return sorted({next(iter(kinds.values())).name for kinds in self.members.values()})


def _collection() -> ClassDescription:
    # The collection class is the runtime's own; the socket contract lists its
    # members.
    cls = ClassDescription("Collection")
    cls.add(Member("Count", GET, "Long"))
    cls.add(Member("Item", METHOD, "Variant", (Param("Index", "Variant", False),)))
    cls.add(Member("Add", METHOD, "void", (Param("Item", "Variant", False),)))
    cls.add(Member("Remove", METHOD, "void", (Param("Index", "Variant", False),)))
    return cls


class Library:
    """Every class of the interface, and its enumerations."""

    def __init__(self, description: Dict[str, Any]) -> None:
        self.name: str = description.get("library", "")
        self.classes: Dict[str, ClassDescription] = {}
        self.enums: Dict[str, Dict[str, int]] = {}
        for interface in description.get("interfaces", []):
            cls = ClassDescription(interface.get("coclass") or interface["name"].lstrip("_"))
            for m in interface.get("members", []):
                params = tuple(
                    Param(
                        p["name"],
                        p.get("type", "Variant"),
                        p.get("byref", True),
                        p.get("optional", False),
                    )
                    for p in m.get("params", [])
                )
                cls.add(
                    Member(
                        m["name"],
                        m.get("kind", METHOD),
                        m.get("type", "Variant"),
                        params,
                        m.get("family", ""),
                    )
                )
            self._add_class(cls)
        for record in description.get("records", []):
            cls = ClassDescription(record["name"], is_record=True)
            for f in record.get("fields", []):
                cls.add(Member(f["name"], GET, f.get("type", "Variant")))
                cls.add(Member(f["name"], LET, f.get("type", "Variant")))
            self._add_class(cls)
        self._add_class(_collection())
        for enum in description.get("enums", []):
            self.enums[enum["name"]] = {v["name"]: int(v["value"]) for v in enum.get("values", [])}

    def _add_class(self, cls: ClassDescription) -> None:
        self.classes[fold_name(cls.name)] = cls

    def find_class(self, name: str) -> Optional[ClassDescription]:
        """The class of that name (the ProgID form "QROLE75.Enlace" too), or
        None."""
        folded = fold_name(name)
        prefix = fold_name(self.name) + "."
        if self.name and folded.startswith(prefix):
            folded = folded[len(prefix) :]
        return self.classes.get(folded)


_library: Optional[Library] = None


def description_path() -> str:
    """Where the package keeps the interface description."""
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), "interface.json")


def library() -> Library:
    """The interface description, read once."""
    global _library
    if _library is None:
        with open(description_path(), encoding="utf-8") as f:
            _library = Library(json.load(f))
    return _library
