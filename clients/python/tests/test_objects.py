"""Proxies: methods, properties, parametered properties, collections, record
objects, by-reference outputs and message boxes."""

import unittest

import qrole

from .support import ServerTestCase


class ObjectsTest(ServerTestCase):
    def setUp(self):
        self.conn = qrole.connect(self.server.socket_path)
        self.e = self.conn.create("Enlace")

    def tearDown(self):
        self.conn.close()

    def company(self, name):
        path = self.e.CrearEmpresa(name, "2025", "43000")
        self.e.AbrirEmpresa(path, "")
        return path

    def test_methods_and_properties(self):
        self.assertIsInstance(self.e, qrole.RemoteObject)
        self.assertTrue(self.e.Version())
        self.assertEqual(self.e.Canal, "000")
        self.e.Canal = "7"
        self.assertEqual(self.e.Canal, "007")
        # Letter case is ignored, accents are not.
        self.assertEqual(self.e.canal, "007")
        self.e.CANAL = 9
        self.assertEqual(self.e.Canal, "009")
        self.assertIn("AñadirApunte", dir(self.e))
        self.assertEqual(repr(self.e.Version).split()[:3], ["<qrole", "method", "Version"])

    def test_keyword_and_missing_arguments(self):
        # MASTER(NUMFUNCION, Parametros, CLAVE_MASTER, [optional]) shows FUNCIÓN n.
        self.e.MASTER("6", clave_master="QV7501", Parametros="p")
        self.assertEqual(self.conn.last.messages[0].text, "FUNCIÓN 6")
        self.assertEqual(self.conn.last.byref, {0: 6, "Parametros": "p", "clave_master": "QV7501"})
        self.e.MASTER("5", "", "x", qrole.Missing)
        self.assertEqual(self.conn.last.byref, {0: 5, 1: "", 2: "x"})
        with self.assertRaises(qrole.ArgumentNotOptional):
            self.e.MASTER("5", qrole.Missing, "x")
        with self.assertRaises(qrole.NamedArgumentNotFound):
            self.e.MASTER("1", "", "x", Nada=1)

    def test_by_reference_outputs(self):
        # Text to number follows the Spanish conventions: "7,6" rounds to 8.
        self.assertIsNone(self.e.MASTER("7,6", "", "otra"))
        self.assertEqual(self.conn.last.byref, {0: 8, 1: "", 2: "otra"})
        sb = self.conn.create("StrBuilder")
        sb.Append("abc")
        sb.Append(12)
        self.assertEqual(self.conn.last.byref, {0: "12"})
        self.assertEqual(sb.ToString(), "abc12")
        self.assertTrue(sb.Found("c1"))
        # A property read has none.
        self.e.Canal
        self.assertEqual(self.conn.last.byref, {})

    def test_message_boxes_of_the_last_call(self):
        self.e.MASTER(5, "", "QV7501")
        self.assertEqual(
            self.conn.last.messages,
            [qrole.Message(text="FUNCIÓN 5", title="", icon="none", buttons="ok")],
        )
        self.assertTrue(self.server.wait_for_log("FUNCIÓN 5"))
        self.e.Version()
        self.assertEqual(self.conn.last.messages, [])

    def test_property_with_parameters(self):
        self.company("Parametros")
        self.e.Config["CP"] = "28001"
        self.assertEqual(self.e.Config["cp"], "28001")
        self.e.Config["NIF"] = "B12345678"
        # The NIF comes back in its field's width.
        self.assertEqual(self.e.Config["NIF"].rstrip(), "B12345678")
        self.assertEqual(self.e.Config("nif").rstrip(), "B12345678")
        # Another object on the same company reads what was written.
        other = self.conn.create("Enlace")
        other.AbrirEmpresa(self.e.Empresa(), "")
        self.assertEqual(other.Config["NIF"].rstrip(), "B12345678")

    def test_collections(self):
        self.company("Coleccion1")
        self.e.CrearEmpresa("Coleccion2", "2025")
        empresas = self.e.Empresas
        self.assertIsInstance(empresas, qrole.RemoteCollection)
        self.assertGreaterEqual(len(empresas), 2)
        items = list(empresas)
        self.assertEqual(len(items), len(empresas))
        self.assertEqual(empresas[0], items[0])
        self.assertEqual(empresas[-1], items[-1])
        self.assertEqual(empresas[0:2], items[0:2])
        self.assertEqual(empresas.Item(1), items[0])
        with self.assertRaises(qrole.SubscriptOutOfRange):
            empresas[len(items)]

        c = self.conn.create("Collection")
        self.assertEqual(len(c), 0)
        self.assertEqual(list(c), [])
        c.Add("uno")
        c.Add(2)
        c.Add(self.e)
        self.assertEqual(c.Count, 3)
        self.assertEqual(c[0], "uno")
        self.assertIs(c[2], self.e)  # the same object comes back as the same proxy
        c.Remove(1)
        self.assertEqual(list(c)[:1], [2])

    def test_record_objects(self):
        a = self.conn.create("ApunteClass")
        self.assertIsInstance(a, qrole.RemoteRecord)
        a.Cuenta = "4300001"
        a.Importe = "3"
        a.TIPO = "7"
        a.Descripción = "Añadir € ñ"
        self.assertEqual(a.Cuenta, "4300001")
        self.assertEqual(a.Importe, 3.0)
        self.assertEqual(a.TIPO, 7)
        self.assertEqual(a.descripción, "Añadir € ñ")
        fields = a._asdict()
        self.assertEqual(fields["Cuenta"], "4300001")
        self.assertEqual(fields["Descripción"], "Añadir € ñ")
        self.assertEqual(len(fields), 12)
        with self.assertRaises(qrole.TypeMismatch):
            a.Importe = "abc"
        with self.assertRaises(qrole.Overflow):
            a.TIPO = 300
        self.assertEqual(a.TIPO, 7)

    def test_values(self):
        arr = self.e.Util_TextoToArray("a\tb\r\nc")
        self.assertIsInstance(arr, qrole.Array)
        self.assertTrue(arr)
        c = self.conn.create("Collection")
        c.Add(qrole.Null)
        c.Add(None)
        c.Add([1, "x"])
        c.Add(2.5)
        c.Add(2**40)
        self.assertIs(c[0], qrole.Null)
        self.assertIsNone(c[1])
        self.assertEqual(c[2], [1, "x"])
        self.assertEqual(c[2].lbound, (0,))
        self.assertEqual(c[3], 2.5)
        self.assertEqual(c[4], float(2**40))
        with self.assertRaises(ValueError):
            c.Add(float("nan"))
        with self.assertRaises(TypeError):
            c.Add(object())
        with self.assertRaises(ValueError):
            c.Add("\udc80")
        self.assertEqual(len(c), 5)  # nothing was sent by the refused calls


if __name__ == "__main__":
    unittest.main()
