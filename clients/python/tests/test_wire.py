"""What the client does with unusual answers and broken streams."""

import unittest

import qrole

from .relay import Relay
from .support import ServerTestCase


class WireTest(ServerTestCase):
    def test_an_error_carries_the_boxes_the_call_showed(self):
        box = {"text": "No hay saldo", "title": "AVISO", "icon": "warning", "buttons": "ok"}
        with Relay(self.server.socket_path) as relay:
            relay.answer = lambda r: (
                {
                    "error": {
                        "code": 50011,
                        "message": "Cuenta bloqueada",
                        "data": {
                            "number": 50011,
                            "source": "Valdrix OLE Server",
                            "description": "Cuenta bloqueada",
                            "messages": [box],
                        },
                    }
                }
                if r.get("params", {}).get("member") == "GrabarAsiento"
                else None
            )
            with qrole.connect(relay.path) as conn:
                e = conn.create("Enlace")
                with self.assertRaises(qrole.AutomationError) as caught:
                    e.GrabarAsiento()
                err = caught.exception
                self.assertEqual((err.number, err.source), (50011, "Valdrix OLE Server"))
                self.assertEqual(
                    err.messages, [qrole.Message("No hay saldo", "AVISO", "warning", "ok")]
                )
                self.assertEqual(conn.last.messages, err.messages)
                self.assertEqual(e.Canal, "000")  # the connection goes on

    def test_an_answer_to_another_request_breaks_the_connection(self):
        with Relay(self.server.socket_path) as relay:
            relay.answer = lambda r: (
                {"id": 424242, "result": {"value": 1}}
                if r.get("params", {}).get("member") == "Version"
                else None
            )
            with qrole.connect(relay.path) as conn:
                e = conn.create("Enlace")
                with self.assertRaises(qrole.ProtocolError):
                    e.Version()
                with self.assertRaises(qrole.ConnectionLost):
                    e.Canal

    def test_a_dropped_connection_is_connection_lost(self):
        with Relay(self.server.socket_path) as relay:
            conn = qrole.connect(relay.path)
            e = conn.create("Enlace")
            relay.drop_after("Version")
            with self.assertRaises(qrole.ConnectionLost) as caught:
                e.Version()
            self.assertNotIsInstance(caught.exception, qrole.PostingOutcomeUnknown)
            self.assertIsInstance(caught.exception, ConnectionError)
            with self.assertRaises(qrole.ConnectionLost):
                e.Canal
            conn.close()

    def test_a_call_that_outlasts_the_timeout(self):
        import time

        with Relay(self.server.socket_path) as relay:
            relay.answer = lambda r: (
                time.sleep(3.0) if r.get("params", {}).get("member") == "Version" else None
            )
            # Long enough for a server built with the sanitizers to create the
            # object, far shorter than the delayed answer.
            conn = qrole.connect(relay.path, timeout=1.0)
            e = conn.create("Enlace")
            with self.assertRaises(qrole.ConnectionLost):
                e.Version()
            with self.assertRaises(qrole.ConnectionLost):
                e.Canal  # an answer may still come: the stream cannot be trusted
            conn.close()


if __name__ == "__main__":
    unittest.main()
