"""No call of the Python layer reaches the library with a buffer of the
wrong size.

The C functions take fixed-size buffers and cannot see a short one, so the
package checks every size before the call. This test watches the boundary:
every bound C function is replaced by a spy that knows, from the parameter
names and the header's record sizes, how many bytes each pointer argument
must hold (exactly, for a fixed-size input: a longer one would be cut short
silently), and records any call that breaks that. A workload (the other
test modules and the example wallet) is run with every public function and
method recorded; each recorded call is then replayed with each of its byte
arguments one byte short and one byte long, and none may get through to the
library.
"""

import contextlib
import ctypes
import importlib
import importlib.util
import inspect
import io
import os
import re
import sys
import unittest

import support
import test_api_surface
from qorvex import _ffi, constants as K

# Parameters whose size the name does not carry.
_NAMED_SIZES = {
    "qorvex_bip32_": {"key": K.BIP32_KEY_SIZE, "key_out": K.BIP32_KEY_SIZE, "parent": K.BIP32_KEY_SIZE,
                      "child_out": K.BIP32_KEY_SIZE},
    "qorvex_bip85_": {"key": K.BIP32_KEY_SIZE},
    "qorvex_musig2_": {"aggnonce": K.MUSIG2_AGGNONCE_SIZE, "aggnonce_out": K.MUSIG2_AGGNONCE_SIZE,
                       "keyagg": K.MUSIG2_KEYAGG_SIZE, "keyagg_out": K.MUSIG2_KEYAGG_SIZE,
                       "partial_sig": K.MUSIG2_PARTIAL_SIG_SIZE, "partial_sig_out": K.MUSIG2_PARTIAL_SIG_SIZE,
                       "pubnonce": K.MUSIG2_PUBNONCE_SIZE, "pubnonce_out": K.MUSIG2_PUBNONCE_SIZE,
                       "secnonce": K.MUSIG2_SECNONCE_SIZE, "secnonce_out": K.MUSIG2_SECNONCE_SIZE,
                       "session": K.MUSIG2_SESSION_SIZE, "session_out": K.MUSIG2_SESSION_SIZE},
    "qorvex_frost_": {"keypkg": K.FROST_KEYPKG_SIZE, "keypkg_out": K.FROST_KEYPKG_SIZE,
                      "nonce": K.FROST_NONCE_SIZE, "nonce_out": K.FROST_NONCE_SIZE,
                      "nonce_commit_out": K.FROST_NONCE_COMMIT_SIZE,
                      "partial_sig": K.FROST_PARTIAL_SIG_SIZE, "partial_sig_out": K.FROST_PARTIAL_SIG_SIZE},
    "qorvex_bip322_": {"aux32_or_null": 32},
    "qorvex_psbt_": {"aux32_or_null": 32, "key": K.BIP32_KEY_SIZE},
    "qorvex_zk_ecdsa_snark": {"witness_out": K.ZK_ECDSA_SNARK_WITNESS_SIZE},
    "qorvex_zk_schnorr_snark": {"witness_out": K.ZK_SCHNORR_SNARK_WITNESS_SIZE},
}

# Names whose digits are not a size (Base64 texts).
_NOT_SIZES = {"sig_b64", "sig_b64_out", "signature_b64"}

# Arrays of count records: {function: {array: (count parameter, record size)}}.
_ARRAYS = {
    "qorvex_pubkey_combine": {"keys": ("count", 33)},
    "qorvex_musig2_key_agg": {"pubkeys": ("n_pubkeys", 33)},
    "qorvex_musig2_nonce_agg": {"pubnonces": ("n_pubnonces", K.MUSIG2_PUBNONCE_SIZE)},
    "qorvex_musig2_partial_sig_agg": {"partial_sigs": ("n_partial_sigs", K.MUSIG2_PARTIAL_SIG_SIZE)},
    "qorvex_frost_sign": {"nonce_commits": ("n_signers", K.FROST_NONCE_COMMIT_SIZE)},
    "qorvex_frost_verify_partial": {"nonce_commits": ("n_signers", K.FROST_NONCE_COMMIT_SIZE)},
    "qorvex_frost_aggregate": {"nonce_commits": ("n_signers", K.FROST_NONCE_COMMIT_SIZE),
                               "partial_sigs": ("n_partial_sigs", K.FROST_PARTIAL_SIG_SIZE)},
    "qorvex_pedersen_verify_sum": {"positives": ("n_positives", 33), "negatives": ("n_negatives", 33)},
    "qorvex_pedersen_blind_sum": {"input_blinds": ("n_input_blinds", 32),
                                  "output_blinds": ("n_output_blinds", 32)},
    "qorvex_ecdsa_batch_verify": {"items": ("count", K.ECDSA_BATCH_ITEM_SIZE)},
    "qorvex_ecdsa_batch_verify_mt": {"items": ("count", K.ECDSA_BATCH_ITEM_SIZE)},
    "qorvex_ecdsa_batch_identify_invalid": {"items": ("count", K.ECDSA_BATCH_ITEM_SIZE)},
    "qorvex_schnorr_batch_verify": {"items": ("count", K.SCHNORR_BATCH_ITEM_SIZE)},
    "qorvex_schnorr_batch_identify_invalid": {"items": ("count", K.SCHNORR_BATCH_ITEM_SIZE)},
    "qorvex_ecdsa_verify_opaque_batch": {"msgs32": ("count", 32), "pubs33": ("count", 33),
                                         "opaque_sigs64": ("count", 64), "results": ("count", 1)},
    "qorvex_ecdsa_sign_batch": {"msgs32": ("count", 32), "seckeys32": ("count", 32),
                                "sigs64_out": ("count", 64)},
    "qorvex_schnorr_sign_batch": {"msgs32": ("count", 32), "seckeys32": ("count", 32),
                                  "aux32": ("count", 32), "sigs64_out": ("count", 64)},
    "qorvex_multi_scalar_mul": {"scalars": ("n", 32), "points": ("n", 33)},
}

_BUFFER_TYPES = ("uint8_t *", "const uint8_t *", "char *", "const char *", "qorvex_bip32_key *",
                 "const qorvex_bip32_key *")


def parameter_names():
    """{function: [(type, name), ...]} from the prototype table."""
    text = re.sub(r"(?m)^\s*#.*$", " ", _ffi.PROTOTYPES)
    out = {}
    for decl in text.split(";"):
        decl = " ".join(decl.split())
        if not decl:
            continue
        name, params = re.match(r"^.*?\b(qorvex_\w+)\s*\((.*)\)$", decl).groups()
        out[name] = [] if params in ("", "void") else [
            (_ffi.normalize(p), re.findall(r"\w+", p)[-1]) for p in params.split(",")]
    return out


def buffer_size(obj):
    """Bytes available behind an argument, or None when unknown (NULL,
    pointer arrays, byref)."""
    if isinstance(obj, bytes):
        return len(obj)
    if isinstance(obj, ctypes.Array):
        return ctypes.sizeof(obj)
    return None


def value_of(obj):
    if isinstance(obj, int):
        return obj
    if hasattr(obj, "_obj"):  # ctypes.byref
        return obj._obj.value
    return getattr(obj, "value", None)


def requirements(fn, params):
    """[(argument index, name, size in bytes as a function of the args,
    whether the size is exact rather than a minimum)]."""
    reqs = []
    index = {name: i for i, (_t, name) in enumerate(params)}
    for i, (ctype, name) in enumerate(params):
        if ctype not in _BUFFER_TYPES:
            continue
        if name in _ARRAYS.get(fn, {}):
            count, size = _ARRAYS[fn][name]
            reqs.append((i, name, lambda a, c=index[count], s=size: value_of(a[c]) * s, False))
            continue
        fixed = next((sizes[name] for prefix, sizes in _NAMED_SIZES.items()
                      if fn.startswith(prefix) and name in sizes), None)
        m = None if name in _NOT_SIZES else re.search(r"(\d+)(_out)?$", name)
        if fixed is None and m:
            fixed = int(m.group(1))
        if fixed is not None:
            # An input of a fixed size must be exact: a longer one would be
            # cut short silently.
            exact = ctype.startswith("const ") and name not in _ARRAYS.get(fn, {})
            reqs.append((i, name, lambda a, s=fixed: s, exact))
            continue
        nxt = params[i + 1] if i + 1 < len(params) else None
        if nxt and nxt[0] == "size_t" and nxt[1].endswith("len"):
            reqs.append((i, name, lambda a, j=i + 1: value_of(a[j]), False))  # (data, data_len)
        elif nxt and nxt[0] == "size_t *":
            reqs.append((i, name, lambda a, j=i + 1: value_of(a[j]), False))  # (out, &capacity)
        elif name == "rows":  # count rows of stride bytes, the last one 129 bytes at least
            reqs.append((i, name, lambda a, j=i: value_of(a[j + 1]) * (value_of(a[j + 2]) - 1) + 129
                         if value_of(a[j + 2]) else 0, False))
    return reqs


@contextlib.contextmanager
def spy():
    """Replaces every bound C function by a checker; yields the list of
    violations it records."""
    violations = []
    originals = {}
    names = parameter_names()
    for fn, params in names.items():
        original = getattr(_ffi.C, fn)
        reqs = requirements(fn, params)

        def checked(*args, _f=original, _fn=fn, _reqs=reqs):
            for i, pname, need, exact in _reqs:
                have = buffer_size(args[i])
                if have is None:
                    continue
                want = need(args)
                if want is not None and (have < want or exact and have != want):
                    violations.append("%s: %s gets %d bytes, needs %d" % (_fn, pname, have, want))
                    raise RuntimeError("wrong-size buffer stopped before the library")
            return _f(*args)

        originals[fn] = original
        setattr(_ffi.C, fn, checked)
    # Modules that bound a function to a name of their own at import.
    aliases = []
    by_id = {id(f): n for n, f in originals.items()}
    for mname, module in list(sys.modules.items()):
        if mname == "qorvex" or mname.startswith("qorvex."):
            for attr, value in list(vars(module).items()):
                if id(value) in by_id:
                    aliases.append((module, attr, value))
                    setattr(module, attr, getattr(_ffi.C, by_id[id(value)]))
    try:
        yield violations
    finally:
        for fn, original in originals.items():
            setattr(_ffi.C, fn, original)
        for module, attr, value in aliases:
            setattr(module, attr, value)


@contextlib.contextmanager
def recorder(per_function=2):
    """Wraps every public function and method; yields the list of recorded
    (callable, args, kwargs), at most per_function of each."""
    calls, counts, undo = [], {}, []

    def wrap(qualname, fn):
        def recorded(*args, **kwargs):
            if counts.get(qualname, 0) < per_function:
                counts[qualname] = counts.get(qualname, 0) + 1
                calls.append((qualname, fn, args, kwargs))
            return fn(*args, **kwargs)
        recorded.__wrapped__ = fn
        return recorded

    for qualname, fn, cls in test_api_surface.public_callables():
        if cls is None:
            module = inspect.getmodule(fn)
            for mod in [module] + [sys.modules["qorvex"]]:
                if getattr(mod, fn.__name__, None) is fn:
                    undo.append((mod, fn.__name__, fn))
                    setattr(mod, fn.__name__, wrap(qualname, fn))
            continue
        attr = qualname.rsplit(".", 1)[1]
        raw = vars(cls)[attr]
        if isinstance(raw, property):
            continue
        if isinstance(raw, classmethod):
            undo.append((cls, attr, raw))
            setattr(cls, attr, classmethod(wrap(qualname, raw.__func__)))
        elif isinstance(raw, staticmethod):
            undo.append((cls, attr, raw))
            setattr(cls, attr, staticmethod(wrap(qualname, raw.__func__)))
        else:
            undo.append((cls, attr, raw))
            setattr(cls, attr, wrap(qualname, raw))
    try:
        yield calls
    finally:
        for owner, attr, value in reversed(undo):
            setattr(owner, attr, value)


def leaves(value, path=(), depth=0):
    """Paths to every bytes-like leaf of an argument (inside lists and
    tuples, three levels deep)."""
    if isinstance(value, (bytes, bytearray)) and 0 < len(value) <= 4096:
        yield path
    elif isinstance(value, (list, tuple)) and depth < 3:
        for i, item in enumerate(value[:3]):
            yield from leaves(item, path + (i,), depth + 1)


def replace(value, path, new):
    if not path:
        return new
    items = list(value)
    items[path[0]] = replace(items[path[0]], path[1:], new)
    return type(value)(items) if isinstance(value, tuple) else items


def mutations(args, kwargs):
    """(args, kwargs) with one byte leaf one byte short or one byte long."""
    slots = [("a", i, v) for i, v in enumerate(args)] + [("k", k, v) for k, v in kwargs.items()]
    for kind, key, value in slots:
        for path in leaves(value):
            leaf = value
            for p in path:
                leaf = leaf[p]
            for new in (bytes(leaf[:-1]), bytes(leaf) + b"\x00"):
                v = replace(value, path, new)
                if kind == "a":
                    yield args[:key] + (v,) + args[key + 1:], kwargs
                else:
                    yield args, dict(kwargs, **{key: v})


WORKLOAD = ["test_keys", "test_protocols", "test_bitcoin", "test_batch_eth", "test_vectors", "test_messages"]


class LengthGuardTest(unittest.TestCase):
    def test_the_spy_sees_a_short_buffer(self):
        with spy() as violations:
            with self.assertRaises(RuntimeError):
                _ffi.C.qorvex_ecdsa_sign(support.qorvex._core.ctx(), bytes(32), bytes(16),
                                         ctypes.create_string_buffer(64))
        self.assertEqual(violations, ["qorvex_ecdsa_sign: seckey32 gets 16 bytes, needs 32"])
        self.assertEqual(len(requirements("qorvex_frost_aggregate",
                                          parameter_names()["qorvex_frost_aggregate"])), 5)

    def test_no_call_reaches_the_library_with_a_wrong_size(self):
        loader = unittest.TestLoader()
        suite = unittest.TestSuite(loader.loadTestsFromModule(importlib.import_module(m)) for m in WORKLOAD)
        wallet = os.path.join(support.PACKAGE_ROOT, "examples", "wallet.py")
        with spy() as violations, recorder() as calls:
            result = unittest.TextTestRunner(stream=io.StringIO(), verbosity=0).run(suite)
            self.assertTrue(result.wasSuccessful(), result.errors + result.failures)
            # Calls no test module above makes.
            qorvex = support.qorvex
            qorvex.randomize(bytes(range(32)))
            qorvex.randomize(None)
            qorvex.PrivateKey(support.key(3)).keypair()
            qorvex.taproot.tweak_seckey(support.key(3), bytes(32))
            spec = importlib.util.spec_from_file_location("wallet_example", wallet)
            example = importlib.util.module_from_spec(spec)
            spec.loader.exec_module(example)
            argv, configure = sys.argv, support.qorvex.configure
            sys.argv = ["wallet.py", "--mnemonic", "abandon " * 11 + "about"]
            support.qorvex.configure = lambda **_settings: None  # this process has its tables
            try:
                with contextlib.redirect_stdout(io.StringIO()):
                    example.main()
            finally:
                sys.argv, support.qorvex.configure = argv, configure
        self.assertEqual(violations, [], "a valid call passed a buffer of the wrong size")
        names = {c[0] for c in calls}
        self.assertGreater(len(names), 120, "the workload should reach most of the package")

        replayed = 0
        with spy() as violations:
            for qualname, fn, args, kwargs in calls:
                for a, k in mutations(args, kwargs):
                    replayed += 1
                    try:
                        fn(*a, **k)
                    except Exception:
                        pass
        self.assertGreater(replayed, 500)
        support.qorvex.randomize(None)
        self.assertEqual(violations, [], "a wrong-size argument reached the library")


if __name__ == "__main__":
    unittest.main()
