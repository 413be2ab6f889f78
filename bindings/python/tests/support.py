"""Shared set-up of the Python tests: the package from this source tree,
small generator tables in a temporary cache directory, and the repository's
published vectors."""

import atexit
import os
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGE_ROOT = os.path.dirname(HERE)
REPO = os.path.dirname(os.path.dirname(PACKAGE_ROOT))
HEADER = os.path.join(REPO, "include", "qorvex.h")
VECTORS = os.path.join(REPO, "tests", "vectors")

if PACKAGE_ROOT not in sys.path:
    sys.path.insert(0, PACKAGE_ROOT)

import qorvex  # noqa: E402
from qorvex import _core  # noqa: E402

CACHE_DIR = tempfile.mkdtemp(prefix="qorvex-python-tests-")
atexit.register(shutil.rmtree, CACHE_DIR, True)
if not _core.context_exists():
    # 8-bit tables (0.5 MB, built in milliseconds) unless the environment
    # asks for another width.
    qorvex.configure(window_bits=int(os.environ.get("SECP256K1_WINDOW_BITS", "8")),
                     cache_dir=CACHE_DIR)


def vector_path(*parts):
    return os.path.join(VECTORS, *parts)


def subprocess_env(**extra):
    """The environment for a child Python that imports this package."""
    env = dict(os.environ)
    env["PYTHONPATH"] = PACKAGE_ROOT + os.pathsep + env.get("PYTHONPATH", "")
    env.setdefault("SECP256K1_WINDOW_BITS", "8")
    env["SECP256K1_CACHE_DIR"] = CACHE_DIR
    env.update({k: v for k, v in extra.items() if v is not None})
    for k, v in extra.items():
        if v is None:
            env.pop(k, None)
    return env


def h(hexstr):
    return bytes.fromhex(hexstr)


N = 0xFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFEBAAEDCE6AF48A03BBFD25E8CD0364141
N_BYTES = N.to_bytes(32, "big")


def key(i):
    return i.to_bytes(32, "big")
