"""Objects Python drops are released on the server."""

import gc
import unittest

import qrole

from .support import ServerProcess


def handle(obj):
    return object.__getattribute__(obj, "_handle")


def gone(conn, h):
    """Whether the server no longer knows handle `h` on the connection."""
    try:
        conn.request("invoke", {"object": h, "member": "Count", "kind": "get"})
    except qrole.ProtocolError as e:
        return e.code == -32602
    except qrole.AutomationError:
        return False
    return False


class ReleaseTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = ServerProcess()

    @classmethod
    def tearDownClass(cls):
        cls.server.__exit__(None, None, None)

    def test_dropped_proxies_are_released_before_the_next_call(self):
        conn, name = self.server.connect()
        e = conn.create("Enlace")
        a = conn.create("ApunteClass")
        h = handle(a)
        self.assertFalse(gone(conn, h))
        del a
        e.Version()  # the release goes out with this call
        self.assertTrue(gone(conn, h))
        self.assertEqual(conn.live_objects(), 1)
        # Without dropping them, a loop's objects stay until the end...
        kept = [conn.create("ApunteClass") for _ in range(20)]
        # ...dropped, they do not.
        for _ in range(200):
            r = conn.create("ApunteClass")
            r.Cuenta = "4300001"
        del r
        e.Version()
        self.assertEqual(conn.live_objects(), 21)
        # The server still holds only what the program holds: dropping the
        # stream without the client's releases shows its count.
        conn._transport.close()
        self.assertEqual(self.server.released_at_close(name), 21)
        del kept
        conn.close()

    def test_objects_in_a_cycle_are_released_after_collection(self):
        conn = qrole.connect(self.server.socket_path)
        e = conn.create("Enlace")

        class Holder:
            pass

        holder = Holder()
        holder.me = holder
        holder.obj = conn.create("StrBuilder")
        h = handle(holder.obj)
        del holder
        gc.collect()
        e.Version()
        self.assertTrue(gone(conn, h))
        conn.close()

    def test_an_object_that_comes_back_keeps_one_proxy(self):
        conn = qrole.connect(self.server.socket_path)
        c = conn.create("Collection")
        sb = conn.create("StrBuilder")
        c.Add(sb)
        self.assertIs(c[0], sb)
        h = handle(sb)
        # Drop the proxy; the object is still in the collection, so it comes
        # back under the same handle before its release went out: the new
        # proxy must keep it.
        del sb
        again = c[0]
        self.assertEqual(handle(again), h)
        again.Append("x")
        self.assertEqual(again.ToString(), "x")
        # Dropped for good, then fetched again: a new handle.
        del again
        c.Count
        third = c[0]
        self.assertNotEqual(handle(third), h)
        self.assertEqual(third.ToString(), "x")
        conn.close()

    def test_posting_loop_does_not_grow_the_server(self):
        # The objects AñadirApunte returns are dropped by the loop.
        conn, name = self.server.connect()
        e = conn.create("Enlace")
        e.AbrirEmpresa(e.CrearEmpresa("Bucle", "2025"), "")
        e.Fecha = "31/12/25"
        for i in range(30):
            e.Número = ""  # a number proposed for each entry
            e.AñadirApunte("4300001", "Factura %d" % i, 1, 10, "1")
            e.AñadirApunte("7000000", "Factura %d" % i, 2, 10, "1")
            e.GrabarAsiento()
        e.Version()
        self.assertEqual(conn.live_objects(), 1)
        conn._transport.close()
        self.assertEqual(self.server.released_at_close(name), 1)
        conn.close()

    def test_threads_sharing_a_connection(self):
        import threading

        conn = qrole.connect(self.server.socket_path)
        errors = []

        def work(n):
            try:
                sb = conn.create("StrBuilder")
                for i in range(40):
                    conn.create("ApunteClass").Cuenta = str(i)  # dropped at once
                    sb.Append(str(n))
                if sb.ToString() != str(n) * 40:
                    errors.append("thread %d read %r" % (n, sb.ToString()))
            except Exception as e:  # reported below
                errors.append(repr(e))

        threads = [threading.Thread(target=work, args=(n,)) for n in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(errors, [])
        conn.create("Enlace").Version()
        self.assertEqual(conn.live_objects(), 0)
        conn.close()

    def test_thousands_of_releases_at_once(self):
        conn, name = self.server.connect()
        e = conn.create("Enlace")
        many = [conn.create("ApunteClass") for _ in range(3000)]
        first, last = handle(many[0]), handle(many[-1])
        del many
        e.Version()
        self.assertTrue(gone(conn, first))
        self.assertTrue(gone(conn, last))
        kept = [conn.create("StrBuilder") for _ in range(1000)]
        conn.close()  # releases them all before closing
        self.assertEqual(self.server.released_at_close(name), 0)
        self.assertEqual(len(kept), 1000)

    def test_release_now(self):
        conn = qrole.connect(self.server.socket_path)
        a = conn.create("ApunteClass")
        h = handle(a)
        conn.release(a)
        self.assertTrue(gone(conn, h))
        with self.assertRaises(qrole.ConnectionClosed):
            a.Cuenta
        conn.close()


if __name__ == "__main__":
    unittest.main()
