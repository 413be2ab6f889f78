"""Finds and loads libqorvex.so.

Order: the file named by QORVEX_LIBRARY; else a copy next to the package
(inside it, then beside it); else the system loader's search path. A
QORVEX_LIBRARY that does not load is an error, never a reason to fall back to
another copy: whoever sets it wants that build and no other.
"""

import ctypes
import ctypes.util
import os

ABI_VERSION = 4
_SONAMES = ("libqorvex.so.%d" % ABI_VERSION, "libqorvex.so")


def _candidates():
    here = os.path.dirname(os.path.abspath(__file__))
    explicit = os.environ.get("QORVEX_LIBRARY")
    if explicit:
        return [explicit], True
    paths = [os.path.join(d, name) for d in (here, os.path.dirname(here)) for name in _SONAMES]
    paths = [p for p in paths if os.path.exists(p)]
    found = ctypes.util.find_library("qorvex")
    return paths + list(_SONAMES) + ([found] if found else []), False


def load():
    """Returns (CDLL, the path or name it was loaded from)."""
    candidates, explicit = _candidates()
    tried = []
    for path in candidates:
        try:
            lib = ctypes.CDLL(path)
        except OSError as exc:
            tried.append("%s (%s)" % (path, exc))
            if explicit:
                break
            continue
        try:
            abi = ctypes.CFUNCTYPE(ctypes.c_int)(("qorvex_abi_version", lib))()
        except AttributeError:
            tried.append("%s (not a qorvex library: no qorvex_abi_version)" % path)
            continue
        if abi != ABI_VERSION:
            tried.append("%s (ABI version %d, this package needs %d)" % (path, abi, ABI_VERSION))
            if explicit:
                break
            continue
        return lib, getattr(lib, "_name", path)
    hint = ("set QORVEX_LIBRARY to the path of libqorvex.so (for a build tree: "
            "build/release/libqorvex.so)")
    raise ImportError("cannot load libqorvex; tried:\n  " + "\n  ".join(tried) + "\n" + hint)
