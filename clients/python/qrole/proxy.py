"""Proxies: remote objects as Python objects.

Which Python form a member takes comes from the interface description:

- a method is a bound callable: ``e.AñadirApunte("4300001", "Factura", 1, 121, "1")``,
  keyword arguments by parameter name, :data:`qrole.Missing` to leave a
  positional argument out;
- a property without parameters is an attribute: ``e.Fecha = "31/12/25"``,
  ``e.Canal``;
- a property with parameters is indexed: ``e.Config["NIF"] = "B12345678"``,
  ``e.TotalPendiente[a, b, c]``;
- a collection is a sized, iterable Python sequence (``len(c)``, ``for x in c``,
  ``c[0]`` is the first item, that is ``c.Item(1)``);
- a record object has its fields as attributes, and ``_asdict()``.

Names are matched as late binding matches them (letter case ignored, accents
as written). A name the description does not know is asked of the server as a
property read, so the server's own 438 error (:class:`qrole.MemberNotFound`,
an AttributeError too) answers it. Python attributes of the proxy itself all
begin with an underscore.
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, Dict, Iterator, List, Optional

from .interface import GET, LET, METHOD, SET, ClassDescription, Member, library
from .values import Nothing

if TYPE_CHECKING:  # pragma: no cover
    from .connection import Connection


class RemoteObject:
    """An object that lives in qrole-server. Released on the server when the
    last Python reference goes away (or at once with ``conn.release(obj)``)."""

    __slots__ = ("_conn", "_handle", "_generation", "_class", "_description", "__weakref__")
    _conn: "Connection"
    _handle: Optional[int]  # None once released or lost
    _generation: int
    _class: str
    _description: Optional[ClassDescription]

    def __init__(
        self,
        conn: "Connection",
        handle: int,
        class_name: str,
        generation: int,
        description: Optional[ClassDescription],
    ) -> None:
        object.__setattr__(self, "_conn", conn)
        object.__setattr__(self, "_handle", handle)
        object.__setattr__(self, "_generation", generation)
        object.__setattr__(self, "_class", class_name)
        object.__setattr__(self, "_description", description)

    # -- members ----------------------------------------------------------

    def _entries(self, name: str) -> Optional[Dict[str, Member]]:
        desc = self._description
        return desc.find(name) if desc is not None else None

    def __getattr__(self, name: str) -> Any:
        if name.startswith("_"):
            raise AttributeError(name)
        entries = self._entries(name)
        if entries is None:
            return self._conn.invoke(self, name, GET)
        if METHOD in entries:
            return BoundMethod(self, entries[METHOD].name)
        getter = entries.get(GET)
        if getter is None:
            writer = entries.get(LET) or entries.get(SET)
            if writer is not None and writer.params:
                return Indexer(self, writer.name)
            return self._conn.invoke(self, name, GET)  # the server refuses it: 450
        if getter.params:
            return Indexer(self, getter.name)
        return self._conn.invoke(self, getter.name, GET)

    def __setattr__(self, name: str, value: Any) -> None:
        if name.startswith("_"):
            raise AttributeError("cannot set %s on a qrole object" % name)
        entries = self._entries(name) or {}
        member = entries.get(LET) or entries.get(SET)
        self._conn.invoke(
            self, member.name if member else name, _assign_kind(entries, value), [value]
        )

    def __delattr__(self, name: str) -> None:
        raise AttributeError("members of a qrole object cannot be deleted")

    def _call(self, member: str, *args: Any, **named: Any) -> Any:
        """Calls a member as a method, whatever the description says."""
        return self._conn.invoke(self, member, METHOD, args, named)

    def _get(self, member: str, *args: Any) -> Any:
        """Reads a property (with its parameters)."""
        return self._conn.invoke(self, member, GET, args)

    def _let(self, member: str, *args: Any) -> None:
        """Assigns a property: the parameters, then the value."""
        self._conn.invoke(self, member, LET, args)

    def _set(self, member: str, *args: Any) -> None:
        """Assigns an object to a property: the parameters, then the object."""
        self._conn.invoke(self, member, SET, args)

    # -- Python -----------------------------------------------------------

    @property
    def _class_name(self) -> str:
        return self._class

    def __dir__(self) -> List[str]:
        names = list(super().__dir__())
        if self._description is not None:
            names += self._description.names()
        return names

    def __repr__(self) -> str:
        handle = self._handle
        where = "#%d" % handle if handle is not None else "(released)"
        return "<qrole %s %s>" % (self._class or "object", where)

    def __del__(self) -> None:
        try:
            handle = self._handle
            if handle is not None:
                self._conn._forget(self._generation, handle)
        except Exception:  # interpreter shutdown
            pass

    def __reduce__(self) -> Any:
        raise TypeError("a qrole object lives in the server and cannot be copied or pickled")


class RemoteCollection(RemoteObject):
    """A collection (``Count``, ``Item``, ``Add``, ``Remove``) as a Python
    sequence: indexes are 0-based here (``c[0]`` is ``c.Item(1)``); a text
    index is the item's key."""

    __slots__ = ()

    def __len__(self) -> int:
        return int(self._conn.invoke(self, "Count", GET))

    def __iter__(self) -> Iterator[Any]:
        count = len(self)
        for i in range(1, count + 1):
            yield self._conn.invoke(self, "Item", METHOD, [i])

    def __getitem__(self, index: Any) -> Any:
        if isinstance(index, slice):
            return [self[i] for i in range(*index.indices(len(self)))]
        if isinstance(index, str):
            return self._conn.invoke(self, "Item", METHOD, [index])
        if not isinstance(index, int):
            raise TypeError("a collection index is an int or a key")
        if index < 0:
            index += len(self)
            if index < 0:
                raise IndexError("collection index out of range")
        return self._conn.invoke(self, "Item", METHOD, [index + 1])

    def __bool__(self) -> bool:
        return True  # an object, even when empty; use len() for the count


class RemoteRecord(RemoteObject):
    """A record object (``ApunteClass``, ``IVAClass``, ...): its fields are
    attributes."""

    __slots__ = ()

    def _asdict(self) -> Dict[str, Any]:
        """Every field, by its name, read from the server."""
        desc = self._description
        if desc is None:
            return {}
        out: Dict[str, Any] = {}
        for kinds in desc.members.values():
            getter = kinds.get(GET)
            if getter is not None:
                out[getter.name] = self._conn.invoke(self, getter.name, GET)
        return out


class BoundMethod:
    """A method of a remote object, ready to call."""

    __slots__ = ("_obj", "_name")

    def __init__(self, obj: RemoteObject, name: str) -> None:
        self._obj = obj
        self._name = name

    def __call__(self, *args: Any, **named: Any) -> Any:
        return self._obj._conn.invoke(self._obj, self._name, METHOD, args, named)

    def __repr__(self) -> str:
        return "<qrole method %s of %r>" % (self._name, self._obj)


class Indexer:
    """A property with parameters: ``p[a]``, ``p[a, b]`` read it,
    ``p[a] = v`` assigns it, ``p(a, b)`` reads it too."""

    __slots__ = ("_obj", "_name")

    def __init__(self, obj: RemoteObject, name: str) -> None:
        self._obj = obj
        self._name = name

    def __getitem__(self, key: Any) -> Any:
        return self._obj._conn.invoke(self._obj, self._name, GET, _key_args(key))

    def __setitem__(self, key: Any, value: Any) -> None:
        entries = self._obj._entries(self._name) or {}
        self._obj._conn.invoke(
            self._obj, self._name, _assign_kind(entries, value), _key_args(key) + [value]
        )

    def __call__(self, *args: Any) -> Any:
        return self._obj._conn.invoke(self._obj, self._name, GET, args)

    def __repr__(self) -> str:
        return "<qrole property %s of %r>" % (self._name, self._obj)


def _key_args(key: Any) -> List[Any]:
    return list(key) if isinstance(key, tuple) else [key]


def _assign_kind(entries: Dict[str, Member], value: Any) -> str:
    if (isinstance(value, RemoteObject) or value is Nothing) and SET in entries:
        return SET
    if LET not in entries and SET in entries:
        return SET
    return LET


def make_proxy(conn: "Connection", handle: int, class_name: str, generation: int) -> RemoteObject:
    """The proxy for an object the server gave out."""
    description = library().find_class(class_name) if class_name else None
    if description is not None and description.name == "Collection":
        return RemoteCollection(conn, handle, class_name, generation, description)
    if description is not None and description.is_record:
        return RemoteRecord(conn, handle, class_name, generation, description)
    return RemoteObject(conn, handle, class_name, generation, description)
