"""pip installs the package without network or build isolation, and the
installed package finds a library placed next to it."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import support


# setuptools before 70.1 builds wheels only with the wheel package beside it.
_CAN_BUILD = ("import setuptools, pip\n"
              "try:\n    import wheel\n"
              "except ImportError:\n    from setuptools.command import bdist_wheel\n")


def builder():
    """An interpreter that can pip-install without build isolation: this
    one, else the system's (Debian's python3-pip, -setuptools and -wheel)."""
    for exe in (sys.executable, "/usr/bin/python3"):
        if os.path.exists(exe) and subprocess.run([exe, "-c", _CAN_BUILD], capture_output=True).returncode == 0:
            return exe
    return None


PYTHON = builder()


@unittest.skipUnless(PYTHON, "no interpreter with pip, setuptools and wheel")
class InstallTest(unittest.TestCase):
    def test_pip_install_and_library_next_to_the_package(self):
        import qorvex
        with tempfile.TemporaryDirectory() as tmp:
            src = os.path.join(tmp, "src")
            shutil.copytree(support.PACKAGE_ROOT, src,
                            ignore=shutil.ignore_patterns("tests", "bench", "examples", "build", "*.egg-info",
                                                          "__pycache__"))
            site = os.path.join(tmp, "site")
            r = subprocess.run([PYTHON, "-m", "pip", "install", "--quiet", "--no-build-isolation",
                                "--no-index", "--no-deps", "--target", site, src],
                               capture_output=True, text=True, timeout=300)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            lib = os.path.realpath(qorvex.library_path)
            shutil.copy(lib, os.path.join(site, "qorvex", "libqorvex.so"))
            env = support.subprocess_env(QORVEX_LIBRARY=None)
            env["PYTHONPATH"] = site
            r = subprocess.run([PYTHON, "-c",
                                "import qorvex; print(qorvex.__file__); print(qorvex.library_path);"
                                "print(qorvex.PrivateKey(bytes(31) + b'\\x01').public_key)"],
                               env=env, capture_output=True, text=True, timeout=60, cwd=tmp)
            self.assertEqual(r.returncode, 0, r.stderr)
            lines = r.stdout.split("\n")
            self.assertEqual(lines[0], os.path.join(site, "qorvex", "__init__.py"))
            self.assertEqual(lines[1], os.path.join(site, "qorvex", "libqorvex.so"))
            self.assertIn("79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798", lines[2])


if __name__ == "__main__":
    unittest.main()
