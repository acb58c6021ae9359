"""The package installs offline, as docs/python.md tells a user to install
it, and the installed copy works on its own."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from .support import ServerProcess

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REPO = os.path.dirname(os.path.dirname(SOURCE))

SCRIPT = r"""
import os, sys
import qrole
here = os.path.dirname(qrole.__file__)
assert not here.startswith(sys.argv[1]), here  # the installed copy, not the source
assert not os.path.islink(os.path.join(here, "interface.json"))
with qrole.connect(sys.argv[2]) as conn:
    e = conn.create("QROLE75.Enlace")
    e.Canal = 3
    print(e.Canal)
"""


def installer_python():
    """Debian's interpreter when there is one (the package targets it)."""
    chosen = os.environ.get("QROLE_INSTALL_PYTHON")
    if chosen:
        return chosen
    return "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


class InstallTest(unittest.TestCase):
    def test_pip_installs_offline_into_a_virtual_environment(self):
        python = installer_python()
        probe = subprocess.run(
            [python, "-c", "import venv, ensurepip, setuptools, pip"], capture_output=True
        )
        if probe.returncode != 0:
            self.skipTest("%s has no venv, pip or setuptools" % python)
        work = tempfile.mkdtemp(prefix="qrole-install-")
        try:
            # A copy of the two places the package is built from, so that
            # the build leaves nothing in the source tree.
            tree = os.path.join(work, "tree")
            shutil.copytree(
                SOURCE,
                os.path.join(tree, "clients", "python"),
                symlinks=True,
                ignore=shutil.ignore_patterns("__pycache__", "build", "*.egg-info"),
            )
            os.makedirs(os.path.join(tree, "src", "typelib"))
            shutil.copy(
                os.path.join(REPO, "src", "typelib", "interface.json"),
                os.path.join(tree, "src", "typelib"),
            )
            env_dir = os.path.join(work, "venv")
            subprocess.run([python, "-m", "venv", "--system-site-packages", env_dir], check=True)
            pip = subprocess.run(
                [
                    os.path.join(env_dir, "bin", "python"),
                    "-m",
                    "pip",
                    "install",
                    "--no-build-isolation",
                    "--no-index",
                    "--disable-pip-version-check",
                    "clients/python",
                ],
                cwd=tree,
                capture_output=True,
                text=True,
            )
            self.assertEqual(pip.returncode, 0, pip.stdout + pip.stderr)
            with ServerProcess() as server:
                env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
                run = subprocess.run(
                    [
                        os.path.join(env_dir, "bin", "python"),
                        "-c",
                        SCRIPT,
                        tree,
                        server.socket_path,
                    ],
                    cwd=work,
                    env=env,
                    capture_output=True,
                    text=True,
                )
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            self.assertEqual(run.stdout.strip(), "003")
        finally:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
