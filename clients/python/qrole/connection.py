"""A connection to qrole-server.

Design notes:

- Requests go out one at a time under the connection's lock; the server
  answers every request on the connection in order, so an answer is matched
  to its request by position (and checked by id).
- Objects: the server gives every object a handle per connection, the same
  handle each time the same object comes back. The connection keeps at most
  one live proxy per handle (``_proxies``, weak), so dropping a proxy means
  nobody in the program holds the object.
- Releases: a proxy that Python drops only queues its handle (``_dead``; a
  finalizer may run at any point, even in the middle of a request, so it must
  not write to the socket). The queue is flushed in front of the next
  request, in the same write, and the answers are read in order. A handle
  that came back in an answer (and so has a live proxy again) before its
  release went out is not released.
- Generations: a connection that reconnects to retry a posting starts a new
  generation; handles of the old one mean nothing to the server any more, so
  queued releases carry their generation and old ones are dropped.
- Posting members carry an idempotency key when the connection sends keys;
  then, and only then, a posting call whose connection drops is retried once
  on a new connection after the state it needs is built again (see
  ``replay``).
"""

from __future__ import annotations

import collections
import json
import threading
import uuid
import weakref
from dataclasses import dataclass, field
from typing import Any, Deque, Dict, List, Optional, Set, Tuple, Union

from .errors import (
    AuthenticationFailed,
    AutomationError,
    ConnectionClosed,
    ConnectionLost,
    Error,
    Message,
    PostingOutcomeUnknown,
    ProtocolError,
    automation_error,
)
from .interface import GET, METHOD, Member, fold_name, library
from .proxy import RemoteObject, make_proxy
from .replay import ReplayLog, is_posting, remap
from .transport import Address, Transport
from .values import from_json, object_handles, to_json

_NOT_AUTHENTICATED = -32001
_INVALID_PARAMS = -32602
_LOGIN = fold_name("Login")
_GRABAR_ASIENTO = fold_name("GrabarAsiento")
# Releases written before their answers are read.
_RELEASE_BATCH = 128


@dataclass
class CallResult:
    """What the last ``invoke`` of a connection gave back besides its value."""

    value: Any = None
    #: The value after the call of every argument passed to a by-reference
    #: parameter: by 0-based position (int) for positional arguments, by the
    #: name the caller used for named ones.
    byref: Dict[Union[int, str], Any] = field(default_factory=dict)
    #: The message boxes the call showed, in order.
    messages: List[Message] = field(default_factory=list)
    #: The idempotency key sent with the call, if any.
    idempotency_key: Optional[str] = None
    #: Whether the call was sent again on a new connection after a drop.
    retried: bool = False


class Connection:
    """A connection to qrole-server; use :func:`qrole.connect` to open one.

    A connection is a context manager: leaving the ``with`` block (or calling
    :meth:`close`) releases every object it holds and closes the stream; its
    proxies then raise :class:`qrole.ConnectionClosed`. It may be shared by
    threads: calls run one at a time.
    """

    def __init__(
        self,
        address: Address,
        token: Optional[str] = None,
        timeout: Optional[float] = None,
        idempotency: Optional[bool] = None,
        retry: bool = True,
    ) -> None:
        self._address = address
        self._token = token
        self._timeout = timeout
        self._lock = threading.RLock()
        self._next_id = 1
        self._generation = 0
        self._proxies: "weakref.WeakValueDictionary[int, RemoteObject]" = (
            weakref.WeakValueDictionary()
        )
        self._dead: Deque[Tuple[int, int]] = collections.deque()
        self._closed = False
        self._broken: Optional[BaseException] = None
        self._transport: Optional[Transport] = None
        #: What the last ``invoke`` returned: by-reference outputs and message
        #: boxes (None before the first call).
        self.last: Optional[CallResult] = None
        #: Whether posting calls carry idempotency keys. With the default
        #: (None) keys are sent until the server refuses one as a parameter it
        #: does not know; then the call goes again without it and this turns
        #: False.
        self.idempotency: bool = idempotency is None or bool(idempotency)
        self._auto_keys = idempotency is None
        self.retry: bool = retry
        # Objects in web mode (after Login): their books are the web
        # service's, so their postings carry no key.
        self._web: Set[int] = set()
        self._replay: Optional[ReplayLog] = ReplayLog() if self.idempotency and retry else None
        library()  # fails early if the package lost its interface description
        self._transport = self._open()

    # -- public -----------------------------------------------------------

    @property
    def address(self) -> Address:
        return self._address

    @property
    def closed(self) -> bool:
        return self._closed

    def create(self, class_name: str) -> RemoteObject:
        """A new object of the class ("Enlace", "StrBuilder", "Collection",
        a record class such as "ApunteClass")."""
        with self._lock:
            params = {"class": class_name}
            result = self._call("create", params)
            if self._replay is not None:
                self._replay.record_create(params, result)
            obj = from_json(result, self._proxy_of)
            if not isinstance(obj, RemoteObject):
                raise ProtocolError(-32603, "create answered no object", result)
            return obj

    def invoke(
        self,
        obj: RemoteObject,
        member: str,
        kind: str = METHOD,
        args: Any = (),
        named: Optional[Dict[str, Any]] = None,
    ) -> Any:
        """Calls a member of `obj` by name, with the kind the socket contract
        names ("method", "get", "let" or "set"; for let and set the new value
        is the last of `args`). The proxies call this; it is public for
        members the interface description does not know. Returns the value;
        ``last`` holds the by-reference outputs and message boxes."""
        with self._lock:
            params: Dict[str, Any] = {"object": self._target_handle(obj), "member": member}
            if kind != METHOD:
                params["kind"] = kind
            if args:
                params["args"] = [to_json(a, self._handle_of) for a in args]
            if named:
                params["named"] = {k: to_json(v, self._handle_of) for k, v in named.items()}
            posting = is_posting(member, kind)
            target = params["object"]
            key = None
            if posting and self.idempotency and target not in self._web:
                key = str(uuid.uuid4())
                params["idempotency_key"] = key
            retried = False
            try:
                try:
                    result, retried = self._send_invoke(obj, params, member, posting, key)
                except ProtocolError as e:
                    if key is None or not _refuses_keys(e):
                        raise
                    if not self._auto_keys:
                        hint = (
                            " (this server takes no idempotency keys:"
                            " connect with idempotency=False)"
                        )
                        raise ProtocolError(e.code, e.message + hint, e.data) from e
                    # A server that takes no keys refused the call before
                    # running it: send it again without one, and no keys from
                    # now on.
                    self.idempotency = False
                    self._replay = None
                    del params["idempotency_key"]
                    key = None
                    result, retried = self._send_invoke(obj, params, member, posting, key)
            except ProtocolError:
                self.last = CallResult(idempotency_key=key)
                raise
            except AutomationError as e:
                self.last = CallResult(messages=list(e.messages), idempotency_key=key)
                if posting and self._replay is not None:
                    self._after_failed_posting(target, member)
                raise
            except Exception as e:
                self.last = CallResult(
                    messages=list(getattr(e, "messages", [])), idempotency_key=key
                )
                raise
            if not isinstance(result, dict):
                raise ProtocolError(-32603, "invoke answered no result object", result)
            if self._replay is not None:
                if posting:
                    self._replay.posted(target)
                else:
                    self._replay.record_invoke(params, result, self._member_of(obj, member, kind))
            if kind == METHOD and fold_name(member) == _LOGIN:
                self._web.add(target)
            value = from_json(result.get("value"), self._proxy_of)
            byref: Dict[Union[int, str], Any] = {}
            for k, v in (result.get("byref") or {}).items():
                byref[int(k) if k.isdigit() else k] = from_json(v, self._proxy_of)
            messages = [Message.from_json(m) for m in result.get("messages") or []]
            self.last = CallResult(value, byref, messages, key, retried)
            return value

    def _send_invoke(
        self,
        obj: RemoteObject,
        params: Dict[str, Any],
        member: str,
        posting: bool,
        key: Optional[str],
    ) -> Tuple[Any, bool]:
        """Sends an invoke; a posting call whose connection drops is sent
        again on a new connection when it carries a key. Returns the result
        and whether it was sent again."""
        try:
            return self._call("invoke", params), False
        except ConnectionLost as lost:
            if not posting:
                raise
            if key is None:
                raise PostingOutcomeUnknown(member, "no idempotency key was sent") from lost
            if not self.retry:
                raise PostingOutcomeUnknown(member, "retrying is turned off") from lost
            return self._retry_posting(obj, params, member, lost), True

    def _after_failed_posting(self, handle: int, member: str) -> None:
        """A posting call raised an automation error. Some are reported after
        the entry was posted (a VAT type the company lacks, say), and the
        server then emptied the pending entry: the log must forget it too, or
        a later retry would build it again into the next entry."""
        if fold_name(member) != _GRABAR_ASIENTO:
            return
        try:
            pending = self._call(
                "invoke", {"object": handle, "member": "ContadorApuntes", "kind": GET}
            )
        except Error:
            return
        if isinstance(pending, dict) and pending.get("value") == 0 and self._replay is not None:
            self._replay.posted(handle)

    def release(self, obj: RemoteObject) -> None:
        """Releases the object on the server now (dropping the proxy does it
        too, before the next call). Using the proxy afterwards raises
        ConnectionClosed."""
        with self._lock:
            handle = self._target_handle(obj)
            object.__setattr__(obj, "_handle", None)
            self._proxies.pop(handle, None)
            self._call("release", {"object": handle})
            if self._replay is not None:
                self._replay.released([handle])
            self._web.discard(handle)

    def request(self, method: str, params: Dict[str, Any]) -> Any:
        """Sends one raw JSON-RPC request and returns its raw result (object
        handles stay numbers). For diagnostics and for what the proxies do
        not cover."""
        with self._lock:
            return self._call(method, params)

    def live_objects(self) -> int:
        """How many objects of this connection have a live proxy."""
        return len(self._proxies)

    def close(self) -> None:
        """Releases every object of the connection and closes it. Calling it
        again does nothing."""
        with self._lock:
            if self._closed:
                return
            self._closed = True
            transport, self._transport = self._transport, None
            handles = sorted(set(self._proxies.keys()))
            for proxy in list(self._proxies.values()):
                object.__setattr__(proxy, "_handle", None)
            self._proxies = weakref.WeakValueDictionary()
            self._dead.clear()
            if transport is None:
                return
            try:
                while self._broken is None and handles:
                    batch, handles = handles[:_RELEASE_BATCH], handles[_RELEASE_BATCH:]
                    transport.send(
                        b"".join(self._request_line("release", {"object": h}) for h in batch)
                    )
                    for _ in batch:
                        transport.receive_line()
            except ConnectionLost:
                pass  # the server releases them when the stream closes
            finally:
                transport.close()

    def __enter__(self) -> "Connection":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def __del__(self) -> None:
        transport = getattr(self, "_transport", None)
        if transport is not None:
            try:
                transport.close()
            except Exception:
                pass

    def __repr__(self) -> str:
        state = "closed" if self._closed else "open"
        return "<qrole.Connection %s %s>" % (self._address, state)

    # -- proxies ----------------------------------------------------------

    def _proxy_of(self, handle: int, class_name: str) -> RemoteObject:
        proxy = self._proxies.get(handle)
        if proxy is None:
            proxy = make_proxy(self, handle, class_name, self._generation)
            self._proxies[handle] = proxy
        return proxy

    def _handle_of(self, value: Any) -> Optional[int]:
        if isinstance(value, RemoteObject):
            return self._target_handle(value)
        return None

    def _target_handle(self, obj: RemoteObject) -> int:
        conn = object.__getattribute__(obj, "_conn")
        handle: Optional[int] = object.__getattribute__(obj, "_handle")
        if conn is not self:
            raise ValueError("the object belongs to another connection")
        if self._closed:
            raise ConnectionClosed("the connection is closed")
        if handle is None or object.__getattribute__(obj, "_generation") != self._generation:
            raise ConnectionClosed("the object was released, or lost with its connection")
        return handle

    def _member_of(self, obj: RemoteObject, member: str, kind: str) -> Optional[Member]:
        desc = object.__getattribute__(obj, "_description")
        entries = desc.find(member) if desc is not None else None
        return entries.get(kind) if entries else None

    def _forget(self, generation: int, handle: int) -> None:
        # Called from a proxy's finalizer: queue only (see the notes above).
        self._dead.append((generation, handle))

    # -- the wire ---------------------------------------------------------

    def _open(self) -> Transport:
        transport = Transport(self._address, self._timeout)
        if isinstance(self._address, tuple) or self._token is not None:
            self._transport = transport
            try:
                self._call("auth", {"token": self._token or ""})
            except BaseException:
                transport.close()
                raise
        return transport

    def _request_line(self, method: str, params: Dict[str, Any]) -> bytes:
        request = {"jsonrpc": "2.0", "id": self._next_id, "method": method, "params": params}
        self._next_id += 1
        return (
            json.dumps(request, ensure_ascii=False, allow_nan=False, separators=(",", ":")).encode(
                "utf-8"
            )
            + b"\n"
        )

    def _call(self, method: str, params: Dict[str, Any]) -> Any:
        """Sends one request (after the queued releases) and returns its
        result; raises the error it answered."""
        if self._closed:
            raise ConnectionClosed("the connection is closed")
        if self._broken is not None:
            raise ConnectionLost("the connection to qrole-server dropped earlier") from self._broken
        transport = self._transport
        assert transport is not None
        releases = self._take_releases()
        try:
            # Releases go out in bounded batches, each read back before the
            # next is written, so neither side's buffers fill up; the last
            # batch shares its write with the request.
            while True:
                batch, releases = releases[:_RELEASE_BATCH], releases[_RELEASE_BATCH:]
                lines = [self._request_line("release", {"object": h}) for h in batch]
                last = not releases
                request_id = self._next_id
                if last:
                    lines.append(self._request_line(method, params))
                transport.send(b"".join(lines))
                for _ in batch:
                    self._answer(transport, None)  # a failed release: gone already
                if self._replay is not None:
                    self._replay.released(batch)
                self._web.difference_update(batch)
                if last:
                    return self._answer(transport, request_id)
        except ConnectionLost as e:
            self._broken = e
            raise

    def _take_releases(self) -> List[int]:
        handles: List[int] = []
        while self._dead:
            generation, handle = self._dead.popleft()
            if generation != self._generation or handle in handles:
                continue
            if self._proxies.get(handle) is not None:
                continue  # it came back and has a live proxy again
            handles.append(handle)
        return handles

    def _answer(self, transport: Transport, request_id: Optional[int]) -> Any:
        line = transport.receive_line()
        try:
            answer = json.loads(line.decode("utf-8"))
        except ValueError as e:
            self._broken = e
            raise ProtocolError(-32700, "qrole-server sent a line that is not JSON") from e
        if not isinstance(answer, dict):
            raise ProtocolError(-32600, "qrole-server sent an answer that is not an object", answer)
        if request_id is not None and answer.get("id") != request_id:
            self._broken = ProtocolError(-32600, "answer out of order")
            raise self._broken
        if "error" in answer:
            if request_id is None:
                return None
            raise _error_of(answer["error"])
        return answer.get("result")

    # -- retrying a posting -----------------------------------------------

    def _retry_posting(
        self, obj: RemoteObject, params: Dict[str, Any], member: str, lost: ConnectionLost
    ) -> Any:
        """Opens a new connection, builds the logged state again, and sends
        the posting call once more with the same key."""
        assert self._replay is not None
        old = self._transport
        if old is not None:
            old.close()
        # Handles of the old connection mean nothing on the new one.
        old_proxies = dict(self._proxies.items())
        self._generation += 1
        self._dead.clear()
        self._proxies = weakref.WeakValueDictionary()
        try:
            self._broken = None
            self._transport = None
            self._transport = self._open()
        except Exception as e:
            self._broken = e
            self._adopt(old_proxies, {})
            raise PostingOutcomeUnknown(member, "cannot reconnect: %s" % e) from lost
        handles: Dict[int, int] = {}
        try:
            for entry in self._replay.entries:
                p = dict(entry.params)
                if entry.target is not None:
                    p["object"] = handles[entry.target]
                    entry.target = p["object"]
                p = remap(p, handles)
                result = self._call(entry.method, p)
                for old_h, new_h in zip(object_handles(entry.result), object_handles(result)):
                    handles[old_h] = new_h
                entry.params, entry.result = p, result
        except KeyError:
            self._adopt(old_proxies, handles)
            raise PostingOutcomeUnknown(
                member, "an object it needs cannot be built again"
            ) from lost
        except Exception as e:
            self._adopt(old_proxies, handles)
            raise PostingOutcomeUnknown(member, "building its state again failed: %s" % e) from lost
        self._adopt(old_proxies, handles)
        if params["object"] not in handles:
            raise PostingOutcomeUnknown(member, "its object cannot be built again") from lost
        params = dict(params, object=handles[params["object"]])
        try:
            return self._call("invoke", params)
        except ConnectionLost as again:
            raise PostingOutcomeUnknown(member, "the retry lost its connection too") from again

    def _adopt(self, old_proxies: Dict[int, RemoteObject], handles: Dict[int, int]) -> None:
        """Moves the proxies whose objects were built again to their new
        handles; the others are lost with the old connection. New objects
        nobody holds are released."""
        for old_h, proxy in old_proxies.items():
            new_h = handles.get(old_h)
            if new_h is None:
                object.__setattr__(proxy, "_handle", None)
                continue
            object.__setattr__(proxy, "_handle", new_h)
            object.__setattr__(proxy, "_generation", self._generation)
            self._proxies[new_h] = proxy
        for old_h, new_h in handles.items():
            if old_h not in old_proxies and self._proxies.get(new_h) is None:
                self._dead.append((self._generation, new_h))
        self._web = {handles[h] for h in self._web if h in handles}


def _refuses_keys(e: ProtocolError) -> bool:
    """True for the refusal of a server that does not know the parameter."""
    return e.code == _INVALID_PARAMS and 'unknown parameter "idempotency_key"' in e.message


def _error_of(error: Any) -> Exception:
    if not isinstance(error, dict):
        return ProtocolError(-32603, str(error))
    code = error.get("code", -32603)
    message = str(error.get("message", ""))
    data = error.get("data")
    if isinstance(data, dict) and "number" in data:
        messages = [Message.from_json(m) for m in data.get("messages") or []]
        return automation_error(
            int(data["number"]),
            str(data.get("source", "")),
            str(data.get("description", message)),
            messages,
        )
    if code == _NOT_AUTHENTICATED:
        return AuthenticationFailed(code, message, data)
    return ProtocolError(code, message, data)
