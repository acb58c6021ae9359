"""Finding the server, TCP with a token, and closing a connection."""

import os
import unittest
from unittest import mock

import qrole

from .support import ServerProcess


class UnixSocketTest(unittest.TestCase):
    def test_connect_without_a_path_uses_qrole_socket(self):
        with ServerProcess() as server:
            with mock.patch.dict(os.environ, {"QROLE_SOCKET": server.socket_path}):
                self.assertEqual(qrole.default_socket_path(), server.socket_path)
                with qrole.connect() as conn:
                    e = conn.create("Enlace")
                    self.assertTrue(e.Version())

    def test_connect_without_a_path_follows_the_servers_default(self):
        # Neither side is told the path: both derive it from XDG_RUNTIME_DIR.
        import tempfile

        runtime = tempfile.mkdtemp(prefix="qrole-xdg-")
        env = {"QROLE_SOCKET": "", "XDG_RUNTIME_DIR": runtime}
        try:
            with mock.patch.dict(os.environ, {"XDG_RUNTIME_DIR": runtime}):
                os.environ.pop("QROLE_SOCKET", None)
                expected = os.path.join(runtime, "qrole", "qrole.sock")
                self.assertEqual(qrole.default_socket_path(), expected)
                with ServerProcess(pass_socket=False, env=env) as server:
                    self.assertTrue(server.wait_for_log("listening on unix " + expected))
                    with qrole.connect() as conn:
                        self.assertEqual(conn.address, expected)
                        self.assertEqual(conn.create("Enlace").Canal, "000")
        finally:
            import shutil

            shutil.rmtree(runtime, ignore_errors=True)

    def test_last_resort_is_the_users_tmp_folder(self):
        with mock.patch.dict(os.environ, {}, clear=False):
            os.environ.pop("QROLE_SOCKET", None)
            os.environ.pop("XDG_RUNTIME_DIR", None)
            self.assertEqual(qrole.default_socket_path(), "/tmp/qrole-%d/qrole.sock" % os.getuid())

    def test_no_server_is_cannot_connect(self):
        with self.assertRaises(qrole.CannotConnect) as caught:
            qrole.connect("/nonexistent/qrole.sock")
        self.assertIsInstance(caught.exception, ConnectionError)
        self.assertIn("/nonexistent/qrole.sock", str(caught.exception))


class TcpTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = ServerProcess(tcp=True)

    @classmethod
    def tearDownClass(cls):
        cls.server.__exit__(None, None, None)

    def test_token_opens_the_connection(self):
        with qrole.connect(
            tcp=("127.0.0.1", self.server.tcp_port), token=self.server.token
        ) as conn:
            e = conn.create("Enlace")
            e.Canal = "12"
            self.assertEqual(e.Canal, "012")
        with qrole.connect(
            tcp=("127.0.0.1", self.server.tcp_port), token_file=self.server.token_file
        ) as conn:
            self.assertTrue(conn.create("Enlace").Version())

    def test_wrong_token_is_refused(self):
        with self.assertRaises(qrole.AuthenticationFailed) as caught:
            qrole.connect(tcp=("127.0.0.1", self.server.tcp_port), token="not-the-token")
        self.assertEqual(caught.exception.code, -32001)

    def test_tcp_needs_a_token(self):
        with self.assertRaises(ValueError):
            qrole.connect(tcp=("127.0.0.1", self.server.tcp_port))


class CloseTest(unittest.TestCase):
    def test_leaving_the_block_releases_every_object(self):
        with ServerProcess() as server:
            conn, name = server.connect()
            with conn:
                e = conn.create("Enlace")
                records = [conn.create("ApunteClass") for _ in range(3)]
                e.Canal = "5"
                handle = object.__getattribute__(e, "_handle")
            self.assertTrue(conn.closed)
            with self.assertRaises(qrole.ConnectionClosed):
                e.Canal
            with self.assertRaises(qrole.ConnectionClosed):
                records[0].Cuenta = "x"
            # The server released the four objects before the stream closed.
            self.assertEqual(server.released_at_close(name), 0)
            self.assertEqual(len(records), 3)
            # Another connection cannot reach them.
            with qrole.connect(server.socket_path) as other:
                with self.assertRaises(qrole.ProtocolError) as caught:
                    other.request("invoke", {"object": handle, "member": "Canal", "kind": "get"})
                self.assertEqual(caught.exception.code, -32602)
            conn.close()  # a second close does nothing

    def test_closing_with_objects_the_program_still_holds(self):
        with ServerProcess() as server:
            conn, name = server.connect()
            kept = [conn.create("Enlace"), conn.create("StrBuilder")]
            conn.close()
            self.assertEqual(server.released_at_close(name), 0)
            self.assertIn("released", repr(kept[0]))
            with self.assertRaises(qrole.ConnectionClosed):
                kept[1].ToString()

    def test_the_servers_count_without_the_clients_releases(self):
        # What the server holds for a connection shows when its stream drops.
        with ServerProcess() as server:
            conn, name = server.connect()
            kept = [conn.create("Enlace"), conn.create("StrBuilder")]
            conn._transport.close()
            self.assertEqual(server.released_at_close(name), 2)
            with self.assertRaises(qrole.ConnectionLost):
                kept[0].Version()
            conn.close()


if __name__ == "__main__":
    unittest.main()
