"""The examples of docs/python.md run as written."""

import contextlib
import io
import os
import re
import unittest
from unittest import mock

import qrole

from .support import ServerTestCase

GUIDE = os.path.join(os.path.dirname(__file__), "..", "..", "..", "docs", "python.md")


def examples():
    with open(GUIDE, encoding="utf-8") as f:
        text = f.read()
    return [b for b in re.findall(r"```python\n(.*?)```", text, re.S) if "import qrole" in b]


class GuideTest(ServerTestCase):
    def test_the_posting_examples_post(self):
        blocks = examples()
        self.assertEqual(len(blocks), 2)
        with qrole.connect(self.server.socket_path) as conn:
            conn.create("Enlace").CrearEmpresa("Demo", "2025", "43000")
        out = io.StringIO()
        with mock.patch.dict(os.environ, {"QROLE_SOCKET": self.server.socket_path}):
            for block in blocks:
                with contextlib.redirect_stdout(out):
                    exec(compile(block, GUIDE, "exec"), {})
        self.assertEqual(
            out.getvalue().split("\n"),
            ["4300001 1 121.0", "7000000 2 -100.0", "4770000 2 -21.0", ""],
        )
        with qrole.connect(self.server.socket_path) as conn:
            e = conn.create("Enlace")
            e.AbrirEmpresa("Demo", "")
            e.LeerAsiento("31/12/25", "000001")
            self.assertEqual(sorted(e.Apunte(i).Importe for i in (1, 2)), [-121.0, 121.0])
            e.LeerAsiento("31/12/25", "000002")
            self.assertEqual(e.ContadorApuntes, 3)
            e.CalcularMoneda(100, 0, 0)
            self.assertEqual(sorted(conn.last.byref), [0, 1, 2])


if __name__ == "__main__":
    unittest.main()
