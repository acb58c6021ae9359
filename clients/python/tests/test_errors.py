"""Automation errors and their subclasses; protocol errors."""

import pickle
import unittest

import qrole

from .support import ServerTestCase


class ErrorsTest(ServerTestCase):
    def setUp(self):
        self.conn = qrole.connect(self.server.socket_path)
        self.e = self.conn.create("Enlace")

    def tearDown(self):
        self.conn.close()

    def test_runtime_errors_have_their_classes(self):
        with self.assertRaises(qrole.Overflow) as caught:
            self.e.Canal = "40000"
        err = caught.exception
        self.assertIsInstance(err, qrole.AutomationError)
        self.assertEqual((err.number, err.source, err.description), (6, "QROLE75", "Overflow"))
        self.assertEqual(self.e.Canal, "000")  # left as it was

        with self.assertRaises(qrole.WrongArgumentCount) as caught:
            self.e._get("Usuario", 1)
        self.assertEqual(caught.exception.number, 450)
        with self.assertRaises(qrole.WrongArgumentCount):
            self.e.Version = "x"
        with self.assertRaises(qrole.TypeMismatch) as caught:
            self.e.AñadirApunte("4300001", "x", "uno", 1, "1")
        self.assertEqual(caught.exception.number, 13)
        self.assertIsInstance(caught.exception, qrole.Error)

    def test_unknown_member_is_the_servers_438_and_an_attribute_error(self):
        with self.assertRaises(qrole.MemberNotFound) as caught:
            self.e.NoSuchThing
        err = caught.exception
        self.assertEqual(err.number, 438)
        self.assertEqual(err.description, "Object doesn't support this property or method")
        self.assertIsInstance(err, AttributeError)
        self.assertFalse(hasattr(self.e, "NoSuchThing"))
        self.assertTrue(hasattr(self.e, "Canal"))
        with self.assertRaises(qrole.MemberNotFound):
            self.e._call("NoSuchThing", 1)
        with self.assertRaises(AttributeError):
            self.e._private

    def test_server_refusals_keep_number_source_and_text(self):
        with self.assertRaises(qrole.AutomationError) as caught:
            self.e.Fecha = "31/12/24"  # no company open
        err = caught.exception
        self.assertIs(type(err), qrole.AutomationError)
        self.assertEqual(err.number, -2147171498)  # 0x8004C356
        self.assertEqual(err.source, "Valdrix OLE Server")
        self.assertEqual(err.description, "Empresa No Abierta ... Abrir Empresa y reintentar")
        self.assertIn("0x8004C356", str(err))
        self.assertEqual(self.conn.last.messages, err.messages)
        copy = pickle.loads(pickle.dumps(err))
        self.assertEqual((copy.number, copy.description), (err.number, err.description))

    def test_not_a_request_is_a_protocol_error(self):
        with self.assertRaises(qrole.ProtocolError) as caught:
            self.conn.request("nothing", {})
        self.assertEqual(caught.exception.code, -32601)
        with self.assertRaises(qrole.ProtocolError) as caught:
            self.conn.request("invoke", {"object": 999999, "member": "Canal"})
        self.assertEqual(caught.exception.code, -32602)
        # The connection goes on.
        self.assertEqual(self.e.Canal, "000")

    def test_an_object_of_another_connection(self):
        with qrole.connect(self.server.socket_path) as other:
            foreign = other.create("ApunteClass")
            c = self.conn.create("Collection")
            with self.assertRaises(ValueError):
                c.Add(foreign)


if __name__ == "__main__":
    unittest.main()
