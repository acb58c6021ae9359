"""What a connection must repeat on a new connection to retry a posting.

A posting call acts on state the server keeps per connection: the ``Enlace``
object, its open company, its accounting date and the pending entry built
with ``AñadirApunte`` and its kin. When the connection drops during
``GrabarAsiento`` that state is gone with it, so a retry must build it again
before it sends the posting call a second time with the same idempotency key.

The log keeps, in order, only what builds that state:

- the creation of every ``Enlace`` and record object (not of a ``StrBuilder``
  or a ``Collection``: their contents change through calls the log does not
  keep, so they are lost with the connection rather than rebuilt empty);
- assignments to properties without parameters (``Fecha``, ``Canal``,
  ``Número``, ...), a later assignment replacing an earlier one;
- ``AbrirEmpresa`` and ``CerrarEmpresa`` (the last one of an object replaces
  the earlier ones), ``Login``;
- the calls that add to a pending entry (``Añadir*``, ``Add*``), dropped again
  once the entry is posted.

Reads are never logged, nor anything else that writes (an assignment to a
property with parameters such as ``Config`` writes the company's settings), so
replaying the log writes nothing but the state of the objects. Entries of an
object leave the log when its handle is released. The log therefore stays
small on a long-lived connection: the objects, their settings, and the entry
being built.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any, Dict, Iterable, List, Optional

from .interface import LET, METHOD, SET, Member, fold_name, library
from .values import object_handles

# The members that post or cancel: they carry an idempotency key and may be
# retried after a dropped connection. The server keeps the answers of the same
# members (src/server/kept_calls.cc).
POSTING_MEMBERS = frozenset(
    fold_name(n)
    for n in (
        "GrabarAsiento",
        "AnularAsiento",
        "AnularApuntePorRegistro",
        "AnularApuntePorReferencia",
        "AnularCartera",
        "MarcarCartera",
        "CobroFacturaCriterioCaja",
        "PagoFacturaCriterioCaja",
        "AñadirIvaCriterioCaja",
        "AddVATCashBased",
    )
)

_COMPANY_OPENING = frozenset(fold_name(n) for n in ("AbrirEmpresa", "CerrarEmpresa"))
_SESSION = frozenset(fold_name(n) for n in ("Login",))
_PENDING_ENTRY_FAMILY = "Pending entry"


def is_posting(member: str, kind: str) -> bool:
    return kind == METHOD and fold_name(member) in POSTING_MEMBERS


def _adds_to_entry(member: Optional[Member]) -> bool:
    if member is None or member.family != _PENDING_ENTRY_FAMILY:
        return False
    folded = fold_name(member.name)
    return folded.startswith("añadir") or folded.startswith("add")


@dataclass
class Entry:
    method: str  # "create" or "invoke"
    params: Dict[str, Any]
    result: Any  # the JSON result, for the handles it gave out
    target: Optional[int] = None  # the object invoked
    member: str = ""  # folded member name
    kind: str = ""
    adds_to_entry: bool = False


class ReplayLog:
    def __init__(self) -> None:
        self.entries: List[Entry] = []

    def record_create(self, params: Dict[str, Any], result: Any) -> None:
        """Logs the creation of an object whose state the log can rebuild:
        an Enlace or a record object (a StrBuilder's or a Collection's
        contents change through calls the log does not keep)."""
        cls = library().find_class(str(params.get("class", "")))
        if cls is None or not (cls.is_record or cls.name == "Enlace"):
            return
        self.entries.append(Entry("create", dict(params), result))

    def record_invoke(self, params: Dict[str, Any], result: Any, member: Optional[Member]) -> None:
        """Logs a successful invoke when it builds state a posting needs."""
        kind = params.get("kind", METHOD)
        name = fold_name(params["member"])
        target = params["object"]
        args = params.get("args") or []
        entry = Entry("invoke", dict(params), result, target, name, kind)
        if kind in (LET, SET):
            if len(args) != 1 or params.get("named"):
                return  # a property with parameters: a write, not object state
            self._drop(lambda e: e.target == target and e.kind in (LET, SET) and e.member == name)
        elif kind == METHOD and name in _COMPANY_OPENING:
            self._drop(lambda e: e.target == target and e.member in _COMPANY_OPENING)
        elif kind == METHOD and name in _SESSION:
            pass
        elif kind == METHOD and _adds_to_entry(member):
            entry.adds_to_entry = True
        else:
            return
        entry.params.pop("idempotency_key", None)
        self.entries.append(entry)

    def posted(self, target: int) -> None:
        """The pending entry of `target` was posted: its lines are no longer
        needed."""
        self._drop(lambda e: e.target == target and e.adds_to_entry)

    def released(self, handles: Iterable[int]) -> None:
        """The handles are released: their calls, and their creation, leave
        the log."""
        gone = set(handles)
        if not gone or not self.entries:
            return
        self._drop(
            lambda e: e.target in gone
            or (e.method == "create" and not gone.isdisjoint(object_handles(e.result)))
        )

    def _drop(self, predicate: Any) -> None:
        self.entries = [e for e in self.entries if not predicate(e)]


def remap(value: Any, handles: Dict[int, int]) -> Any:
    """`value` (JSON) with every object handle replaced by its new handle;
    KeyError for a handle that has none."""
    if isinstance(value, dict):
        if "$object" in value:
            if value["$object"] is None:
                return value
            out = dict(value)
            out["$object"] = handles[int(value["$object"])]
            return out
        return {k: remap(v, handles) for k, v in value.items()}
    if isinstance(value, list):
        return [remap(v, handles) for v in value]
    return value
