"""The byte stream under a connection: a Unix socket or TCP loopback, with one
JSON message per line."""

from __future__ import annotations

import os
import socket
from typing import Optional, Tuple, Union

from .errors import CannotConnect, ConnectionLost

Address = Union[str, Tuple[str, int]]


def default_socket_path() -> str:
    """The socket the server listens on when started without ``--socket``:
    ``$QROLE_SOCKET``, else ``$XDG_RUNTIME_DIR/qrole/qrole.sock``, else
    ``/tmp/qrole-<uid>/qrole.sock``."""
    explicit = os.environ.get("QROLE_SOCKET", "")
    if explicit:
        return explicit
    runtime = os.environ.get("XDG_RUNTIME_DIR", "")
    if runtime:
        return runtime + "/qrole/qrole.sock"
    return "/tmp/qrole-%d/qrole.sock" % os.getuid()


class Transport:
    """One open stream. ``send`` writes whole lines; ``receive_line`` reads
    one line. Both raise ConnectionLost when the stream breaks."""

    def __init__(self, address: Address, timeout: Optional[float]) -> None:
        self.address = address
        try:
            if isinstance(address, tuple):
                self._sock = socket.create_connection(address, timeout=timeout)
                self._sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            else:
                self._sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                try:
                    self._sock.settimeout(timeout)
                    self._sock.connect(address)
                except BaseException:
                    self._sock.close()
                    raise
        except OSError as e:
            raise CannotConnect(
                "cannot connect to qrole-server at %s: %s" % (_describe(address), e)
            ) from e
        self._reader = self._sock.makefile("rb")

    def send(self, data: bytes) -> None:
        try:
            self._sock.sendall(data)
        except OSError as e:
            raise ConnectionLost("the connection to qrole-server dropped: %s" % e) from e

    def receive_line(self) -> bytes:
        try:
            line = self._reader.readline()
        except OSError as e:
            raise ConnectionLost("the connection to qrole-server dropped: %s" % e) from e
        if not line.endswith(b"\n"):
            raise ConnectionLost("qrole-server closed the connection")
        return line

    def close(self) -> None:
        try:
            self._reader.close()
        finally:
            try:
                self._sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            self._sock.close()


def _describe(address: Address) -> str:
    if isinstance(address, tuple):
        return "%s:%d" % address
    return address
