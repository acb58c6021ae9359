"""A qrole-server child process for the client's tests.

    with ServerProcess() as server:
        with qrole.connect(server.socket_path) as conn:
            ...

Each server gets a fresh temporary directory holding its QROLE_HOME, a data
directory (registry.ini points DATOS_DIR at it), the user's data and
configuration folders and the socket. The binary is $QROLE_SERVER. Leaving
the block stops the server with SIGTERM and checks that it exits with status
0; the server's log is kept in ``log()``.
"""

from __future__ import annotations

import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest
from typing import Dict, List, Optional, Tuple

import qrole

START_TIMEOUT = 10.0
STOP_TIMEOUT = 10.0


def server_binary() -> str:
    path = os.environ.get("QROLE_SERVER", "")
    if not path:
        raise unittest.SkipTest("QROLE_SERVER does not name the qrole-server binary")
    return path


class ServerProcess:
    def __init__(
        self,
        tcp: bool = False,
        token: str = "py-test-token-5d1e",
        pass_socket: bool = True,
        env: Optional[Dict[str, str]] = None,
        home_files: Optional[Dict[str, str]] = None,
    ) -> None:
        self.dir = tempfile.mkdtemp(prefix="qrole-pytest-")
        self.home = os.path.join(self.dir, "home")
        self.data_dir = os.path.join(self.dir, "data")
        os.makedirs(self.home)
        os.makedirs(self.data_dir)
        files = dict(home_files or {})
        files.setdefault(
            "registry.ini",
            "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=%s/\n" % self.data_dir,
        )
        for name, text in files.items():
            with open(os.path.join(self.home, name), "w", encoding="utf-8") as f:
                f.write(text)
        self.token = token
        self.tcp_port = 0
        self.socket_path = os.path.join(self.dir, "run", "s.sock")
        args: List[str] = [server_binary()]
        if pass_socket:
            args += ["--socket", self.socket_path]
        if tcp:
            token_file = os.path.join(self.dir, "token")
            with open(token_file, "w") as f:
                f.write(token + "\n")
            os.chmod(token_file, 0o600)
            self.token_file = token_file
            args += ["--listen", "127.0.0.1:0", "--token-file", token_file]
        child_env = dict(os.environ)
        child_env["QROLE_HOME"] = self.home
        child_env["XDG_DATA_HOME"] = os.path.join(self.dir, "xdg-data")
        child_env["XDG_CONFIG_HOME"] = os.path.join(self.dir, "xdg-config")
        for name, value in (env or {}).items():
            if value:
                child_env[name] = value
            else:
                child_env.pop(name, None)
        if not pass_socket:
            self.socket_path = child_env.get("QROLE_SOCKET", "")
        self._log_path = os.path.join(self.dir, "server.log")
        with open(self._log_path, "wb") as log:
            self.process = subprocess.Popen(
                args, stdin=subprocess.DEVNULL, stdout=log, stderr=log, env=child_env
            )
        try:
            self._wait_ready(tcp)
        except BaseException:
            self.process.kill()
            self.process.wait()
            shutil.rmtree(self.dir, ignore_errors=True)
            raise

    def _wait_ready(self, tcp: bool) -> None:
        deadline = time.monotonic() + START_TIMEOUT
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError(
                    "qrole-server exited with status %d while starting; its log:\n%s"
                    % (self.process.returncode, self.log())
                )
            if "qrole-server: ready" in self.log() and self._accepts():
                # Wait for the probe's connection to be logged as closed, so
                # that connect() can name the connections that follow.
                if not self.socket_path or self.wait_for_log(r"connection 1 \(unix\) closed"):
                    break
            time.sleep(0.01)
        else:
            raise RuntimeError("qrole-server did not accept within 10 s; its log:\n" + self.log())
        if tcp:
            m = re.search(r"listening on tcp 127\.0\.0\.1:(\d+)", self.log())
            if not m:
                raise RuntimeError("qrole-server did not report its TCP port:\n" + self.log())
            self.tcp_port = int(m.group(1))

    def _accepts(self) -> bool:
        if not self.socket_path:
            return True
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            s.connect(self.socket_path)
            return True
        except OSError:
            return False
        finally:
            s.close()

    def log(self) -> str:
        with open(self._log_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def wait_for_log(self, pattern: str, timeout: float = 10.0) -> Optional[re.Match]:
        """Waits until the log matches `pattern`; returns the match, or None."""
        deadline = time.monotonic() + timeout
        while True:
            m = re.search(pattern, self.log())
            if m or time.monotonic() >= deadline:
                return m
            time.sleep(0.01)

    def connect(self, **options: object) -> "Tuple[qrole.Connection, str]":
        """A new connection to the socket and the name the server's log gives
        it ("connection 3 (unix)"). Connect one at a time to tell them apart."""
        opened = len(re.findall(r"connection \d+ \(\w+\) opened", self.log()))
        conn = qrole.connect(self.socket_path, **options)  # type: ignore[arg-type]
        m = self.wait_for_log(r"(connection %d \(\w+\)) opened" % (opened + 1))
        if not m:
            conn.close()
            raise AssertionError("the server logged no new connection:\n" + self.log())
        return conn, m.group(1)

    def released_at_close(self, name: str) -> int:
        """How many objects the server released when the connection `name`
        closed (it waits for the close)."""
        m = self.wait_for_log(re.escape(name) + r" closed; released (\d+) objects?")
        if not m:
            raise AssertionError("%s did not close:\n%s" % (name, self.log()))
        return int(m.group(1))

    def stop(self) -> int:
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(STOP_TIMEOUT)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
                return -1
        return self.process.returncode

    def __enter__(self) -> "ServerProcess":
        return self

    def __exit__(self, *exc: object) -> None:
        status = self.stop()
        log = self.log()
        shutil.rmtree(self.dir, ignore_errors=True)
        if status != 0 and exc[0] is None:
            raise AssertionError("qrole-server exited with status %d; its log:\n%s" % (status, log))


class ServerTestCase(unittest.TestCase):
    """One server for every test of the class."""

    server_options: Dict[str, object] = {}

    @classmethod
    def setUpClass(cls) -> None:
        cls.server = ServerProcess(**cls.server_options)  # type: ignore[arg-type]

    @classmethod
    def tearDownClass(cls) -> None:
        cls.server.__exit__(None, None, None)
