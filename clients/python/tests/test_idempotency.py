"""Idempotency keys on posting calls, and the retry after a dropped
connection, against the real server (a relay between them records the wire
and drops the connection where a test says)."""

import unittest
import uuid

import qrole

from .relay import Relay
from .support import ServerTestCase

KEY_REUSED = -2147171474  # 0x8004C36E


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

    def test_keys_are_sent_by_default_with_posting_members_only(self):
        with Relay(self.server.socket_path) as relay:
            with qrole.connect(relay.path) as conn:
                self.assertTrue(conn.idempotency)
                e, path = company(conn, "ConClave")
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
            self.assertIsNone(keys["AñadirApunte"])
            self.assertIsNone(keys["AbrirEmpresa"])
        self.assertEqual(self.entries(path), {"000001": [-10.0, 10.0]})

    def test_the_server_gives_the_kept_answer_to_a_repeated_key(self):
        with qrole.connect(self.server.socket_path) as conn:
            e, path = company(conn, "Repetida")
            handle = object.__getattribute__(e, "_handle")
            post = {"object": handle, "member": "GrabarAsiento", "idempotency_key": "k-1"}
            add_entry(e, "F-1", 10)
            answer = conn.request("invoke", post)
            add_entry(e, "F-1", 10)
            self.assertEqual(conn.request("invoke", post), answer)
            self.assertEqual(e.ContadorApuntes, 0)
            add_entry(e, "F-1", 99)
            with self.assertRaises(qrole.AutomationError) as caught:
                conn.request("invoke", post)
            self.assertEqual(caught.exception.number, KEY_REUSED)
            self.assertEqual(e.ContadorApuntes, 2)
        self.assertEqual(self.entries(path), {"000001": [-10.0, 10.0]})

    def test_a_dropped_posting_is_retried_once_and_posted_once(self):
        with Relay(self.server.socket_path) as relay:
            conn = qrole.connect(relay.path)
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
            e.GrabarAsiento()  # posted by the server; its answer lost
            self.assertTrue(conn.last.retried)
            self.assertEqual(len(relay.requests), 2)

            # The new connection built the object again: the company, its
            # settings and the pending entry of F-2 only, then the same call
            # with the same key, which the server answered from what it kept.
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

            # The program's objects go on: those built again are usable, and
            # the object is as the posting left it (its entry posted, the
            # number of the entry posted)...
            self.assertEqual(e.Canal, "005")
            self.assertEqual(line.Cuenta, "4770000")
            self.assertEqual(e.ContadorApuntes, 0)
            self.assertEqual(e.Número, "000002")
            # ...the others are gone with the old connection.
            with self.assertRaises(qrole.ConnectionClosed):
                len(empresas)
            with self.assertRaises(qrole.ConnectionClosed):
                builder.ToString()
            self.assertEqual(record.Factura.strip(), "F-2")
            # And it posts on.
            add_entry(e, "F-3", 30)
            e.GrabarAsiento()
            self.assertFalse(conn.last.retried)
            conn.close()
        # Nothing was written twice. (The rebuilt object was proposed a
        # number of its own, which it never posted: proposals reserve their
        # numbers, so the next entry leaves that one as a gap.)
        self.assertEqual(
            self.entries(path),
            {"000001": [-10.0, 10.0], "000002": [-20.0, 0.0, 20.0], "000004": [-30.0, 30.0]},
        )

    def test_a_warning_after_the_posting_leaves_no_lines_for_the_next_retry(self):
        with Relay(self.server.socket_path) as relay:
            conn = qrole.connect(relay.path)
            e, path = company(conn, "Aviso")
            add_entry(e, "F-1", 100)
            # A VAT type the company does not have: posted, then reported.
            e.AñadirIVA("4300001", "4770000", "F-1", "31/12/25", "0", "S", 100, 100)
            with self.assertRaises(qrole.AutomationError) as caught:
                e.GrabarAsiento()
            self.assertEqual(caught.exception.number, 50011)
            add_entry(e, "F-2", 20)
            relay.drop_after("GrabarAsiento")
            e.GrabarAsiento()
            self.assertTrue(conn.last.retried)
            conn.close()
        self.assertEqual(self.entries(path), {"000001": [-100.0, 100.0], "000002": [-20.0, 20.0]})

    def test_a_drop_without_a_key_is_not_retried(self):
        with Relay(self.server.socket_path) as relay:
            conn = qrole.connect(relay.path, idempotency=False)
            e, path = company(conn, "SinReintento")
            add_entry(e, "F-1", 10)
            relay.drop_after("GrabarAsiento")
            with self.assertRaises(qrole.PostingOutcomeUnknown) as caught:
                e.GrabarAsiento()
            self.assertIsInstance(caught.exception, qrole.ConnectionLost)
            self.assertEqual(caught.exception.member, "GrabarAsiento")
            self.assertEqual(len(relay.requests), 1)  # no second connection
            self.assertNotIn("idempotency_key", relay.invokes(0)[-1])
            with self.assertRaises(qrole.ConnectionLost):
                e.Version()
            conn.close()
        # It was posted, once; the program has to find that out itself.
        self.assertEqual(self.entries(path), {"000001": [-10.0, 10.0]})

    def test_an_older_server_that_refuses_keys(self):
        refusal = {
            "error": {
                "code": -32602,
                "message": 'Invalid params: unknown parameter "idempotency_key"',
            }
        }
        with Relay(self.server.socket_path) as relay:
            relay.answer = lambda r: refusal if "idempotency_key" in r.get("params", {}) else None
            # Asked for keys: the refusal is the answer.
            with qrole.connect(relay.path, idempotency=True) as conn:
                e, _ = company(conn, "Rechazo")
                add_entry(e, "F-1", 10)
                with self.assertRaises(qrole.ProtocolError) as caught:
                    e.GrabarAsiento()
                self.assertIn("idempotency=False", str(caught.exception))
                self.assertEqual(caught.exception.code, -32602)
                self.assertEqual(e.ContadorApuntes, 2)  # nothing was posted
            # By default: the call goes again without the key, and no key
            # is sent any more.
            with qrole.connect(relay.path) as conn:
                e, path = company(conn, "Antiguo")
                add_entry(e, "F-1", 10)
                e.GrabarAsiento()
                self.assertFalse(conn.idempotency)
                self.assertIsNone(conn.last.idempotency_key)
                add_entry(e, "F-2", 20)
                e.GrabarAsiento()
            postings = [p for p in relay.invokes(1) if p["member"] == "GrabarAsiento"]
            self.assertEqual(["idempotency_key" in p for p in postings], [True, False, False])
        self.assertEqual(self.entries(path), {"000001": [-10.0, 10.0], "000002": [-20.0, 20.0]})

    def test_objects_in_web_mode_send_no_key(self):
        login = {"result": {"value": None, "byref": {}}}
        with Relay(self.server.socket_path) as relay:
            relay.answer = lambda r: login if r["params"].get("member") == "Login" else None
            with qrole.connect(relay.path) as conn:
                web = conn.create("Enlace")
                web.Login("usuario", "clave")  # answered by the relay
                local, _ = company(conn, "Local")
                for e in (web, local):
                    try:
                        e.GrabarAsiento()
                    except qrole.AutomationError:
                        pass  # the web object has no company: what matters is the key
            postings = [p for p in relay.invokes(0) if p["member"] == "GrabarAsiento"]
            self.assertEqual(["idempotency_key" in p for p in postings], [False, True])

    def test_no_retry_when_turned_off_or_when_the_server_is_gone(self):
        with Relay(self.server.socket_path) as relay:
            conn = qrole.connect(relay.path, retry=False)
            e, _ = company(conn, "SinServidor")
            add_entry(e, "F-1", 10)
            relay.drop_after("GrabarAsiento")
            with self.assertRaises(qrole.PostingOutcomeUnknown) as caught:
                e.GrabarAsiento()
            self.assertIn("turned off", str(caught.exception))
            self.assertIsNotNone(conn.last.idempotency_key)
            conn.close()

            conn = qrole.connect(relay.path)
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
