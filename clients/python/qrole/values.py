"""Automation values and their JSON form on the wire.

=====================  ===============================================
automation value       Python
=====================  ===============================================
String                 ``str``
Boolean                ``bool``
Long                   ``int`` (an ``int`` that does not fit 32 bits travels
                       as a number and arrives as Double)
Double, Single, ...    ``float``
Empty                  ``None``
Null                   :data:`Null`
Nothing                ``None`` when read; :data:`Nothing` to send it
object                 a proxy (:class:`qrole.RemoteObject`)
array                  :class:`Array` (a ``list`` that keeps its lower
                       bounds); a ``list`` or ``tuple`` is sent as an array
                       based at 0
left out               :data:`Missing` in a positional argument
=====================  ===============================================
"""

from __future__ import annotations

import math
from typing import Any, Callable, List, Optional, Sequence, Tuple


class _Sentinel:
    __slots__ = ("_name",)

    def __init__(self, name: str) -> None:
        self._name = name

    def __repr__(self) -> str:
        return "qrole." + self._name

    def __reduce__(self) -> str:
        return self._name

    def __bool__(self) -> bool:
        return False


#: The automation Null value (a field that has no value, unlike Empty).
Null = _Sentinel("Null")
#: The object reference Nothing, to assign or pass (read back as ``None``).
Nothing = _Sentinel("Nothing")
#: Leaves an optional positional argument out, so that its default applies.
Missing = _Sentinel("Missing")


class Array(list):  # type: ignore[type-arg]
    """An automation array: nested lists, first dimension outermost, with the
    lower bound of every dimension (``lbound``)."""

    def __init__(self, items: Sequence[Any] = (), lbound: Optional[Sequence[int]] = None) -> None:
        super().__init__(items)
        dims = _dimensions(self)
        self.lbound: Tuple[int, ...] = tuple(lbound) if lbound is not None else (0,) * dims

    def __repr__(self) -> str:
        return "Array(%s, lbound=%r)" % (list.__repr__(self), list(self.lbound))


def _dimensions(items: Sequence[Any]) -> int:
    dims = 1
    while items and isinstance(items[0], (list, tuple)):
        dims += 1
        items = items[0]
    return dims


# Turns a proxy into its handle, and a handle and class into a proxy; given
# by the connection that encodes or decodes.
HandleOf = Callable[[Any], Optional[int]]
ProxyOf = Callable[[int, str], Any]


def to_json(value: Any, handle_of: HandleOf) -> Any:
    """The JSON form of a Python value sent to the server. Raises TypeError
    for a value that has no automation form, ValueError for NaN, infinity or
    text that is not valid Unicode."""
    if value is None:
        return None
    if value is Missing:
        return {"$missing": True}
    if value is Null:
        return {"$null": True}
    if value is Nothing:
        return {"$object": None}
    if isinstance(value, str):
        try:
            value.encode("utf-8")
        except UnicodeEncodeError:
            raise ValueError("text with a lone surrogate has no UTF-8 form") from None
        return value
    if isinstance(value, bool):
        return value
    if isinstance(value, int):
        return value
    if isinstance(value, float):
        if math.isnan(value) or math.isinf(value):
            raise ValueError("an automation number cannot be NaN or infinite")
        return value
    if isinstance(value, (list, tuple)):
        lbound = list(value.lbound) if isinstance(value, Array) else [0] * _dimensions(value)
        return {"$array": _nested(value, handle_of), "lbound": lbound}
    handle = handle_of(value)
    if handle is not None:
        return {"$object": handle}
    try:  # decimal.Decimal, fractions.Fraction, numpy numbers, ...
        number = float(value)
    except (TypeError, ValueError):
        raise TypeError("%s has no automation value" % type(value).__name__) from None
    return to_json(number, handle_of)


def _nested(items: Sequence[Any], handle_of: HandleOf) -> List[Any]:
    return [
        _nested(v, handle_of) if isinstance(v, (list, tuple)) else to_json(v, handle_of)
        for v in items
    ]


def from_json(value: Any, proxy_of: ProxyOf) -> Any:
    """The Python value of a JSON value the server sent."""
    if isinstance(value, dict):
        if "$object" in value:
            handle = value["$object"]
            if handle is None:
                return None
            return proxy_of(int(handle), str(value.get("class", "")))
        if value.get("$null") is True:
            return Null
        if "$array" in value:
            nested = value["$array"]
            lbound = value.get("lbound")
            return Array(_decode_nested(nested, proxy_of), lbound)
        return value
    if isinstance(value, list):
        return [from_json(v, proxy_of) for v in value]
    return value


def _decode_nested(items: Any, proxy_of: ProxyOf) -> List[Any]:
    if not isinstance(items, list):
        return [from_json(items, proxy_of)]
    return [
        _decode_nested(v, proxy_of) if isinstance(v, list) else from_json(v, proxy_of)
        for v in items
    ]


def object_handles(value: Any) -> List[int]:
    """Every object handle in a JSON value, in order of appearance."""
    found: List[int] = []

    def walk(v: Any) -> None:
        if isinstance(v, dict):
            if "$object" in v:
                if v["$object"] is not None:
                    found.append(int(v["$object"]))
                return
            for item in v.values():
                walk(item)
        elif isinstance(v, list):
            for item in v:
                walk(item)

    walk(value)
    return found
