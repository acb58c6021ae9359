"""Posting an invoice entry and reading it back, as docs/python.md shows."""

import unittest

import qrole

from .support import ServerTestCase


class PostingTest(ServerTestCase):
    def test_post_an_invoice_and_read_it_back(self):
        with qrole.connect(self.server.socket_path) as conn:
            e = conn.create("Enlace")
            path = e.CrearEmpresa("Facturas", "2025", "43000")
            e.AbrirEmpresa(path, "")
            e.Fecha = "31/12/25"
            e.Número = ""
            number = e.Número
            self.assertEqual(number, "000001")
            line = e.AñadirApunte("4300001", "Factura A-1", 1, 121, "1")
            self.assertIsInstance(line, qrole.RemoteRecord)
            self.assertEqual(line.Cuenta, "4300001")
            e.AñadirApunte("7000000", "Factura A-1", 2, 100, "1")
            e.AñadirApunte(
                Cuenta="4770000", Descripción="Factura A-1", TIPO=2, Importe=21, Diario="1"
            )
            e.AñadirIVA("4300001", "4770000", "A-1", "31/12/25", "21", "R", 100, 121)
            self.assertEqual(e.ContadorApuntes, 3)
            self.assertEqual(e.ContadorIva, 1)
            e.GrabarAsiento()
            self.assertEqual(conn.last.messages, [])
            self.assertEqual(e.ContadorApuntes, 0)

        # Another connection reads it back.
        with qrole.connect(self.server.socket_path) as conn:
            e = conn.create("Enlace")
            e.AbrirEmpresa(path, "")
            e.LeerAsiento("31/12/25", number)
            self.assertEqual(e.ContadorApuntes, 3)
            lines = [e.Apunte(i) for i in range(1, e.ContadorApuntes + 1)]
            got = sorted((a.Cuenta, a.TIPO, a.Importe, a.Descripción.rstrip()) for a in lines)
            self.assertEqual(
                got,
                [
                    ("4300001", 1, 121.0, "Factura A-1"),
                    # Credit lines come back with the journal's sign.
                    ("4770000", 2, -21.0, "Factura A-1"),
                    ("7000000", 2, -100.0, "Factura A-1"),
                ],
            )
            vat = e.iva(1)
            self.assertEqual((vat.Base, vat.TOTAL, vat.TipoIva.strip()), (100.0, 121.0, "21"))
            self.assertEqual(vat._asdict()["Factura"].strip(), "A-1")
            # The chart's balances saw it: December debit of the customer.
            e.LeerPlan("4300001")
            self.assertEqual(e.ContadorPlan, 1)
            self.assertEqual(e.Plan(1).Cuenta, "4300001")
            self.assertEqual(e.PlanDebe(1, 12), 121.0)
            self.assertEqual(e.PlanHaber(1, 12), 0.0)


if __name__ == "__main__":
    unittest.main()
