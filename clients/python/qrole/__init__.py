"""qrole: a Python client of qrole-server.

    import qrole

    with qrole.connect() as conn:
        e = conn.create("Enlace")
        e.AbrirEmpresa(path, "")
        e.Fecha = "31/12/25"
        e.AñadirApunte("4300001", "Factura A-1", 1, 121, "1")
        e.AñadirApunte("7000000", "Factura A-1", 2, 121, "1")
        e.GrabarAsiento()

See docs/python.md.
"""

from __future__ import annotations

from typing import Optional, Tuple

from .connection import CallResult, Connection
from .errors import (
    ArgumentNotOptional,
    AuthenticationFailed,
    AutomationError,
    CannotConnect,
    ConnectionClosed,
    ConnectionLost,
    DivisionByZero,
    Error,
    FileNotFound,
    InvalidProcedureCall,
    InvalidUseOfNull,
    MemberNotFound,
    Message,
    NamedArgumentNotFound,
    NotImplementedMember,
    ObjectNotSet,
    OutOfMemory,
    Overflow,
    PathFileAccessError,
    PostingOutcomeUnknown,
    ProtocolError,
    SubscriptOutOfRange,
    TypeMismatch,
    WrongArgumentCount,
)
from .proxy import RemoteCollection, RemoteObject, RemoteRecord
from .replay import POSTING_MEMBERS
from .transport import default_socket_path
from .values import Array, Missing, Nothing, Null

__version__ = "7.5.1"


def connect(
    path: Optional[str] = None,
    *,
    tcp: Optional[Tuple[str, int]] = None,
    token: Optional[str] = None,
    token_file: Optional[str] = None,
    timeout: Optional[float] = None,
    idempotency: Optional[bool] = None,
    retry: bool = True,
) -> Connection:
    """Opens a connection to qrole-server.

    - ``connect()`` uses the socket the server uses by default:
      ``$QROLE_SOCKET``, else ``$XDG_RUNTIME_DIR/qrole/qrole.sock``, else
      ``/tmp/qrole-<uid>/qrole.sock``; ``connect(path)`` a given socket.
    - ``connect(tcp=("127.0.0.1", port), token=...)`` (or ``token_file=``)
      uses TCP loopback, authenticating with the server's token.
    - ``timeout``: seconds to wait for the server on every call (None: no
      limit). A call that times out leaves the connection unusable.
    - ``idempotency``: send an idempotency key with every posting or
      cancelling call (``POSTING_MEMBERS``), except on objects in web mode.
      None (the default) sends keys until the server refuses one as a
      parameter it does not know (an older server): that call is then sent
      again without it, and no more keys are sent. True always sends keys
      (a server that refuses them raises ProtocolError); False never does.
      With keys and ``retry``, a posting call whose connection drops is
      retried once on a new connection; without them it raises
      PostingOutcomeUnknown.

    Raises CannotConnect when no server answers, AuthenticationFailed for a
    wrong token.
    """
    if tcp is not None and path is not None:
        raise ValueError("give a socket path or a TCP address, not both")
    if token_file is not None:
        if token is not None:
            raise ValueError("give token or token_file, not both")
        with open(token_file, encoding="utf-8") as f:
            token = f.read().strip()
    if tcp is not None:
        if token is None:
            raise ValueError("a TCP connection needs the server's token (token= or token_file=)")
        host, port = tcp
        return Connection((host, int(port)), token, timeout, idempotency, retry)
    return Connection(path or default_socket_path(), token, timeout, idempotency, retry)


__all__ = [
    "connect",
    "default_socket_path",
    "Connection",
    "CallResult",
    "RemoteObject",
    "RemoteCollection",
    "RemoteRecord",
    "Array",
    "Missing",
    "Nothing",
    "Null",
    "Message",
    "POSTING_MEMBERS",
    "Error",
    "AutomationError",
    "ProtocolError",
    "AuthenticationFailed",
    "CannotConnect",
    "ConnectionLost",
    "ConnectionClosed",
    "PostingOutcomeUnknown",
    "InvalidProcedureCall",
    "Overflow",
    "OutOfMemory",
    "SubscriptOutOfRange",
    "DivisionByZero",
    "TypeMismatch",
    "FileNotFound",
    "PathFileAccessError",
    "ObjectNotSet",
    "InvalidUseOfNull",
    "MemberNotFound",
    "NamedArgumentNotFound",
    "ArgumentNotOptional",
    "WrongArgumentCount",
    "NotImplementedMember",
]
