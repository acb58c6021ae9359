"""The exceptions of the qrole client.

Every exception the client raises on purpose is a :class:`qrole.Error`:

- :class:`AutomationError`: a member of the interface refused the call. It
  carries the error's ``number`` (signed 32 bits, as a client's ``Err.Number``
  shows it), ``source``, ``description`` and the message boxes the failing
  call showed. The automation runtime's own numbers have subclasses
  (``TypeMismatch`` for 13, ``Overflow`` for 6, ...), so a program can catch
  exactly the failure it expects.
- :class:`ProtocolError`: the server refused the request itself (malformed
  parameters, a handle of another connection, a wrong token, ...).
- :class:`CannotConnect`, :class:`ConnectionLost`, :class:`ConnectionClosed`:
  the connection could not be made, dropped, or was closed by the program.
  :class:`PostingOutcomeUnknown` is a dropped connection in the middle of a
  posting or cancelling call that could not be retried safely.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any, Dict, List, Optional, Type


@dataclass(frozen=True)
class Message:
    """A message box the server showed during a call (answered at once with
    its default button, as the server has no desktop)."""

    text: str
    title: str = ""
    icon: str = "none"
    buttons: str = "ok"

    @classmethod
    def from_json(cls, value: Any) -> "Message":
        if not isinstance(value, dict):
            return cls(text=str(value))
        return cls(
            text=str(value.get("text", "")),
            title=str(value.get("title", "")),
            icon=str(value.get("icon", "none")),
            buttons=str(value.get("buttons", "ok")),
        )


class Error(Exception):
    """Base of every exception the qrole client raises."""


class AutomationError(Error):
    """A member of the interface raised an error."""

    def __init__(
        self,
        number: int,
        source: str,
        description: str,
        messages: Optional[List[Message]] = None,
    ) -> None:
        super().__init__(number, source, description)
        self.number = number
        self.source = source
        self.description = description
        self.messages: List[Message] = list(messages or [])

    def __str__(self) -> str:
        shown = (
            self.number
            if -0x10000 < self.number < 0x10000
            else "0x%08X" % (self.number & 0xFFFFFFFF)
        )
        return "%s (%s, %s)" % (self.description, shown, self.source)

    def __reduce__(self) -> Any:
        return (
            _rebuild_automation_error,
            (self.number, self.source, self.description, self.messages),
        )


def _rebuild_automation_error(
    number: int, source: str, description: str, messages: List[Message]
) -> AutomationError:
    return automation_error(number, source, description, messages)


# The runtime's own errors. Each class is an AutomationError; a few are also
# the built-in exception a Python programmer would expect (hasattr() needs
# AttributeError for a member the object lacks).


class InvalidProcedureCall(AutomationError):
    """5 "Invalid procedure call or argument"."""

    NUMBER = 5


class Overflow(AutomationError):
    """6 "Overflow": a value does not fit the parameter's type."""

    NUMBER = 6


class OutOfMemory(AutomationError):
    """7 "Out of memory"."""

    NUMBER = 7


class SubscriptOutOfRange(AutomationError, IndexError):
    """9 "Subscript out of range"."""

    NUMBER = 9


class DivisionByZero(AutomationError):
    """11 "Division by zero"."""

    NUMBER = 11


class TypeMismatch(AutomationError):
    """13 "Type mismatch": a value cannot be converted to the parameter's type."""

    NUMBER = 13


class FileNotFound(AutomationError):
    """53 "File not found"."""

    NUMBER = 53


class PathFileAccessError(AutomationError):
    """75 "Path/File access error"."""

    NUMBER = 75


class ObjectNotSet(AutomationError):
    """91 "Object variable or With block variable not set"."""

    NUMBER = 91


class InvalidUseOfNull(AutomationError):
    """94 "Invalid use of Null"."""

    NUMBER = 94


class MemberNotFound(AutomationError, AttributeError):
    """438 "Object doesn't support this property or method"."""

    NUMBER = 438


class NamedArgumentNotFound(AutomationError, TypeError):
    """448 "Named argument not found"."""

    NUMBER = 448


class ArgumentNotOptional(AutomationError, TypeError):
    """449 "Argument not optional"."""

    NUMBER = 449


class WrongArgumentCount(AutomationError, TypeError):
    """450 "Wrong number of arguments or invalid property assignment"."""

    NUMBER = 450


class NotImplementedMember(AutomationError, NotImplementedError):
    """0x80004001: the member is not built in this server."""

    NUMBER = -2147467263  # 0x80004001


_BY_NUMBER: Dict[int, Type[AutomationError]] = {
    cls.NUMBER: cls  # type: ignore[attr-defined]
    for cls in (
        InvalidProcedureCall,
        Overflow,
        OutOfMemory,
        SubscriptOutOfRange,
        DivisionByZero,
        TypeMismatch,
        FileNotFound,
        PathFileAccessError,
        ObjectNotSet,
        InvalidUseOfNull,
        MemberNotFound,
        NamedArgumentNotFound,
        ArgumentNotOptional,
        WrongArgumentCount,
        NotImplementedMember,
    )
}


def automation_error(
    number: int, source: str, description: str, messages: Optional[List[Message]] = None
) -> AutomationError:
    """The AutomationError (or the subclass for the runtime's number) of an
    error the server reported."""
    cls = _BY_NUMBER.get(number, AutomationError)
    return cls(number, source, description, messages)


class ProtocolError(Error):
    """The server refused a request as JSON-RPC (code -32700 to -32600, or
    another code without automation data)."""

    def __init__(self, code: int, message: str, data: Any = None) -> None:
        super().__init__(code, message)
        self.code = code
        self.message = message
        self.data = data

    def __str__(self) -> str:
        return "%s (JSON-RPC %d)" % (self.message, self.code)


class AuthenticationFailed(ProtocolError):
    """A TCP connection sent no token or a wrong one (JSON-RPC -32001)."""


class CannotConnect(Error, ConnectionError):
    """No server answers at the address, or the connection was refused."""


class ConnectionLost(Error, ConnectionError):
    """The connection dropped before the server answered."""


class ConnectionClosed(Error):
    """The connection, or the connection of this object, is closed: the
    object is gone from the server."""


class PostingOutcomeUnknown(ConnectionLost):
    """The connection dropped during a posting or cancelling call that could
    not be retried safely: the server may or may not have written it. Read the
    journal before posting again."""

    def __init__(self, member: str, reason: str) -> None:
        super().__init__(
            "the connection dropped during %s; whether it was written is unknown (%s)"
            % (member, reason)
        )
        self.member = member
        self.reason = reason
