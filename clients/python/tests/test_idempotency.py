"""Idempotency keys on posting calls, and the retry after a dropped
connection (against a relay that keeps keys the way the server's contract
says; the real server behind it does the posting)."""

import unittest
import uuid

import qrole

from .relay import Relay
from .support import ServerTestCase


def company(conn, name):
    e = conn.create("Enlace")
    path = e.CrearEmpresa(name, "2025", "43000")
    e.AbrirEmpresa(path, "")
    e.Fecha = "31/12/25"
    return e, path


def add_entry(e, text, amount):
    e.Número = ""
    e.AñadirApunte("4300001", text, 1, amount, "1")
    e.AñadirApunte("7000000", text, 2, amount, "1")


class IdempotencyTest(ServerTestCase):
    def entries(self, path):
        """Every entry of the company by number, with its lines' amounts."""
        with qrole.connect(self.server.socket_path) as conn:
            e = conn.create("Enlace")
            e.AbrirEmpresa(path, "")
            out = {}
            for n in range(1, 10):
                number = "%06d" % n
                e.LeerAsiento("31/12/25", number)
                if e.ContadorApuntes:
                    out[number] = sorted(
                        e.Apunte(i).Importe for i in range(1, e.ContadorApuntes + 1)
                    )
            return out

    def test_by_default_no_key_is_sent(self):
        with Relay(self.server.socket_path) as relay:
            with qrole.connect(relay.path) as conn:
                self.assertFalse(conn.idempotency)
                e, _ = company(conn, "SinClave")
                add_entry(e, "F-1", 10)
                e.GrabarAsiento()
                self.assertIsNone(conn.last.idempotency_key)
            posting = [p for p in relay.invokes(0) if p["member"] == "GrabarAsiento"]
            self.assertEqual(len(posting), 1)
            self.assertNotIn("idempotency_key", posting[0])
            self.assertFalse(any("idempotency_key" in p for p in relay.invokes(0)))

    def test_a_drop_without_a_key_is_not_retried(self):
        with Relay(self.server.socket_path) as relay:
            conn = qrole.connect(relay.path)
            e, path = company(conn, "SinReintento")
            add_entry(e, "F-1", 10)
            relay.drop_after("GrabarAsiento")
            with self.assertRaises(qrole.PostingOutcomeUnknown) as caught:
                e.GrabarAsiento()
            self.assertIsInstance(caught.exception, qrole.ConnectionLost)
            self.assertEqual(caught.exception.member, "GrabarAsiento")
            self.assertEqual(len(relay.requests), 1)  # no second connection
            with self.assertRaises(qrole.ConnectionLost):
                e.Version()
            conn.close()
        # It was posted, once; the program has to find that out itself.
        self.assertEqual(self.entries(path), {"000001": [-10.0, 10.0]})

    def test_keys_are_sent_with_posting_members_only(self):
        with Relay(self.server.socket_path, fake_keys=True) as relay:
            with qrole.connect(relay.path, idempotency=True) as conn:
                e, _ = company(conn, "ConClave")
                add_entry(e, "F-1", 10)
                e.GrabarAsiento()
                first = conn.last.idempotency_key
                add_entry(e, "F-2", 20)
                e.GrabarAsiento()
                second = conn.last.idempotency_key
                e.AnularAsiento("31/12/25", "000002")
                third = conn.last.idempotency_key
            keys = {p["member"]: p.get("idempotency_key") for p in relay.invokes(0)}
            sent = [p["idempotency_key"] for p in relay.invokes(0) if "idempotency_key" in p]
            self.assertEqual(sent, [first, second, third])
            self.assertEqual(len(set(sent)), 3)
            for key in sent:
                self.assertEqual(str(uuid.UUID(key)), key)
                self.assertLessEqual(len(key), 128)
            self.assertIsNone(keys["AñadirApunte"])
            self.assertIsNone(keys["AbrirEmpresa"])

    def test_a_dropped_posting_is_retried_once_with_the_same_key(self):
        with Relay(self.server.socket_path, fake_keys=True) as relay:
            conn = qrole.connect(relay.path, idempotency=True)
            e, path = company(conn, "Reintento")
            e.Canal = "5"
            add_entry(e, "F-1", 10)
            e.GrabarAsiento()
            add_entry(e, "F-2", 20)
            e.Config["CP"] = "28001"  # a write: never repeated
            empresas = e.Empresas  # a read: lost with the connection
            line = e.AñadirApunte("4770000", "F-2", 2, 0, "1")
            record = conn.create("IVAClass")
            record.Factura = "F-2"  # rebuilt with its fields
            builder = conn.create("StrBuilder")
            builder.Append("x")  # its contents cannot be rebuilt: lost
            conn.create("ApunteClass").Cuenta = "1"  # dropped: not rebuilt
            relay.drop_after("GrabarAsiento")
            e.GrabarAsiento()
            self.assertTrue(conn.last.retried)
            self.assertEqual(len(relay.requests), 2)

            # The new connection built the object again: the company, its
            # settings and the pending entry of F-2 only, then the same call
            # with the same key.
            first_try = [p for p in relay.invokes(0) if p["member"] == "GrabarAsiento"][-1]
            replayed = relay.invokes(1)
            self.assertEqual(
                [(p["member"], p.get("kind", "method")) for p in replayed],
                [
                    ("AbrirEmpresa", "method"),
                    ("Fecha", "let"),
                    ("Canal", "let"),
                    ("Número", "let"),
                    ("AñadirApunte", "method"),
                    ("AñadirApunte", "method"),
                    ("AñadirApunte", "method"),
                    ("Factura", "let"),
                    ("GrabarAsiento", "method"),
                ],
            )
            self.assertEqual(replayed[-1]["idempotency_key"], first_try["idempotency_key"])
            self.assertEqual(
                [r["params"] for r in relay.requests[1] if r["method"] == "create"],
                [{"class": "Enlace"}, {"class": "IVAClass"}],
            )

            # The program's objects go on: those built again are usable...
            self.assertEqual(e.Canal, "005")
            self.assertEqual(line.Cuenta, "4770000")
            # ...the others are gone with the old connection.
            with self.assertRaises(qrole.ConnectionClosed):
                len(empresas)
            with self.assertRaises(qrole.ConnectionClosed):
                builder.ToString()
            self.assertEqual(record.Factura.strip(), "F-2")
            # And it posts on. (A new object: the relay answers the repeated
            # key without the server, which leaves the rebuilt entry pending.)
            e3 = conn.create("Enlace")
            e3.AbrirEmpresa(path, "")
            e3.Fecha = "31/12/25"
            add_entry(e3, "F-3", 30)
            e3.GrabarAsiento()
            self.assertFalse(conn.last.retried)
            conn.close()
        # Nothing was written twice. (The rebuilt object proposed a number of
        # its own, which it never posted: proposals reserve their numbers, so
        # the next entry leaves that one as a gap.)
        self.assertEqual(
            self.entries(path),
            {"000001": [-10.0, 10.0], "000002": [-20.0, 0.0, 20.0], "000004": [-30.0, 30.0]},
        )

    def test_a_server_that_refuses_keys_says_so(self):
        refusal = {
            "error": {
                "code": -32602,
                "message": 'Invalid params: unknown parameter "idempotency_key"',
            }
        }
        with Relay(self.server.socket_path) as relay:
            relay.answer = lambda r: refusal if "idempotency_key" in r.get("params", {}) else None
            with qrole.connect(relay.path, idempotency=True) as conn:
                e, _ = company(conn, "Rechazo")
                add_entry(e, "F-1", 10)
                with self.assertRaises(qrole.ProtocolError) as caught:
                    e.GrabarAsiento()
                self.assertIn("idempotency=False", str(caught.exception))
                self.assertEqual(caught.exception.code, -32602)
                self.assertEqual(e.ContadorApuntes, 2)  # nothing was posted

    def test_no_retry_when_turned_off_or_when_the_server_is_gone(self):
        with Relay(self.server.socket_path, fake_keys=True) as relay:
            conn = qrole.connect(relay.path, idempotency=True, retry=False)
            e, _ = company(conn, "SinServidor")
            add_entry(e, "F-1", 10)
            relay.drop_after("GrabarAsiento")
            with self.assertRaises(qrole.PostingOutcomeUnknown) as caught:
                e.GrabarAsiento()
            self.assertIn("turned off", str(caught.exception))
            self.assertIsNotNone(conn.last.idempotency_key)
            conn.close()

            conn = qrole.connect(relay.path, idempotency=True)
            e, _ = company(conn, "SinServidor2")
            add_entry(e, "F-1", 10)
            relay.drop_after("GrabarAsiento")
            relay.stop_listening()
            with self.assertRaises(qrole.PostingOutcomeUnknown) as caught:
                e.GrabarAsiento()
            self.assertIn("reconnect", str(caught.exception))
            conn.close()


if __name__ == "__main__":
    unittest.main()
