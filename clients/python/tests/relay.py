"""A relay between a client and qrole-server, for tests of what happens on
the wire: it records every request, can answer some itself, and can drop a
connection at a chosen point.

    with Relay(server.socket_path) as relay:
        relay.drop_after("GrabarAsiento")   # the server posts; the client never hears
        conn = qrole.connect(relay.path)
"""

from __future__ import annotations

import json
import os
import shutil
import socket
import tempfile
import threading
from typing import Any, Callable, Dict, List, Optional


class Relay:
    def __init__(self, target: str) -> None:
        self.target = target
        self.dir = tempfile.mkdtemp(prefix="qrole-relay-")
        self.path = os.path.join(self.dir, "relay.sock")
        self.requests: List[List[Dict[str, Any]]] = []  # per connection, in order
        # Answers a request itself when it returns an answer (without "id").
        self.answer: Optional[Callable[[Dict[str, Any]], Optional[Dict[str, Any]]]] = None
        self._drop: List[str] = []
        self._lock = threading.Lock()
        self._listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._listener.bind(self.path)
        self._listener.listen(8)
        self._threads: List[threading.Thread] = []
        self._open: List[socket.socket] = []
        self._accepting = threading.Thread(target=self._accept, daemon=True)
        self._accepting.start()

    def drop_after(self, member: str) -> None:
        """The next request for `member` reaches the server, but the client's
        connection is dropped instead of receiving the answer."""
        with self._lock:
            self._drop.append(member)

    def invokes(self, connection: int) -> List[Dict[str, Any]]:
        """The invoke params a connection sent (0 is the first connection)."""
        return [r["params"] for r in self.requests[connection] if r.get("method") == "invoke"]

    def _accept(self) -> None:
        while True:
            try:
                client, _ = self._listener.accept()
            except OSError:
                return
            t = threading.Thread(target=self._serve, args=(client,), daemon=True)
            self._threads.append(t)
            t.start()

    def _serve(self, client: socket.socket) -> None:
        upstream = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        upstream.connect(self.target)
        self._open += [client, upstream]
        log: List[Dict[str, Any]] = []
        with self._lock:
            self.requests.append(log)
        from_client = client.makefile("rb")
        from_server = upstream.makefile("rb")
        try:
            for line in from_client:
                request = json.loads(line)
                log.append(request)
                params = request.get("params") or {}
                if self.answer is not None:
                    own = self.answer(request)
                    if own is not None:
                        message = {"jsonrpc": "2.0", "id": request.get("id")}
                        message.update(own)
                        client.sendall(_line(message))
                        continue
                upstream.sendall(line)
                answer_line = from_server.readline()
                if not answer_line:
                    return
                with self._lock:
                    drop = params.get("member") in self._drop
                    if drop:
                        self._drop.remove(params.get("member"))
                if drop:
                    return
                client.sendall(answer_line)
        except OSError:
            pass
        finally:
            for s in (client, upstream):
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                s.close()

    def stop_listening(self) -> None:
        """Refuses new connections from now on (the socket file stays)."""
        try:
            self._listener.shutdown(socket.SHUT_RDWR)  # wakes accept()
        except OSError:
            pass
        self._listener.close()
        self._accepting.join(5)

    def close(self) -> None:
        self.stop_listening()
        for s in self._open:
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        for t in self._threads:
            t.join(5)
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self) -> "Relay":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()


def _line(message: Dict[str, Any]) -> bytes:
    return json.dumps(message, ensure_ascii=False).encode("utf-8") + b"\n"
