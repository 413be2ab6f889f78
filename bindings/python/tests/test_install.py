"""The documented installation: pip without network or build isolation in a
virtual environment that sees Debian's setuptools and wheel, and the
installed package finding a library placed next to it."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import support


# setuptools before 70.1 builds wheels only with the wheel package beside it.
_CAN_BUILD = ("import setuptools, pip, venv\n"
              "try:\n    import wheel\n"
              "except ImportError:\n    from setuptools.command import bdist_wheel\n")


def builder():
    """An interpreter whose virtual environments can pip-install without
    build isolation: this one, else the system's (Debian's python3-venv,
    -pip, -setuptools and -wheel)."""
    for exe in (sys.executable, "/usr/bin/python3"):
        if os.path.exists(exe) and subprocess.run([exe, "-c", _CAN_BUILD], capture_output=True).returncode == 0:
            return exe
    return None


PYTHON = builder()


@unittest.skipUnless(PYTHON, "no interpreter with venv, pip, setuptools and wheel")
class InstallTest(unittest.TestCase):
    def run_checked(self, *cmd, **kwargs):
        r = subprocess.run(cmd, capture_output=True, text=True, timeout=300, **kwargs)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        return r.stdout

    def test_pip_install_in_a_venv_and_library_next_to_the_package(self):
        import qorvex
        with tempfile.TemporaryDirectory() as tmp:
            src = os.path.join(tmp, "src")
            shutil.copytree(support.PACKAGE_ROOT, src,
                            ignore=shutil.ignore_patterns("tests", "bench", "examples", "build", "*.egg-info",
                                                          "__pycache__"))
            venv = os.path.join(tmp, "venv")
            self.run_checked(PYTHON, "-m", "venv", "--system-site-packages", "--without-pip", venv)
            python = os.path.join(venv, "bin", "python")
            # The documented command, offline: the system's pip, seen through
            # the environment, installs into the environment.
            env = dict(os.environ, PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1")
            site = self.run_checked(python, "-c", "import sysconfig; print(sysconfig.get_paths()['purelib'])").strip()
            self.run_checked(python, "-m", "pip", "install", "--quiet", "--no-build-isolation", "--no-deps", src,
                             env=env)
            self.assertTrue(os.path.exists(os.path.join(site, "qorvex", "__init__.py")))
            self.assertTrue(os.path.exists(os.path.join(site, "qorvex", "py.typed")))
            lib = os.path.realpath(qorvex.library_path)
            shutil.copy(lib, os.path.join(site, "qorvex", "libqorvex.so"))
            env = support.subprocess_env(QORVEX_LIBRARY=None)
            env.pop("PYTHONPATH", None)
            out = self.run_checked(python, "-c",
                                   "import qorvex; print(qorvex.__file__); print(qorvex.library_path);"
                                   "print(qorvex.PrivateKey(bytes(31) + b'\\x01').public_key)", env=env, cwd=tmp)
            lines = out.split("\n")
            self.assertEqual(lines[0], os.path.join(site, "qorvex", "__init__.py"))
            self.assertEqual(lines[1], os.path.join(site, "qorvex", "libqorvex.so"))
            self.assertIn("79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798", lines[2])


if __name__ == "__main__":
    unittest.main()
