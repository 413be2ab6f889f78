"""Every public function and method of the Pythonic layer has type hints and
a docstring, and its hints resolve (a stale name in an annotation fails)."""

import importlib
import inspect
import typing
import unittest

import support  # noqa: F401  (loads the package from this tree)
import qorvex

MODULES = ["qorvex", "qorvex.keys", "qorvex.ecdsa", "qorvex.hashes", "qorvex.bitcoin", "qorvex.bip32",
           "qorvex.bip39", "qorvex.tx", "qorvex.taproot", "qorvex.batch", "qorvex.eth", "qorvex.musig2",
           "qorvex.frost", "qorvex.ecies", "qorvex.pedersen", "qorvex.zk", "qorvex.adaptor", "qorvex.filters",
           "qorvex.messages", "qorvex.psbt"]


def public_callables():
    """(qualified name, function) of every public function, method and
    property getter."""
    seen = set()
    for module_name in MODULES:
        module = importlib.import_module(module_name)
        for name in module.__all__:
            obj = getattr(module, name)
            if id(obj) in seen or not callable(obj) or isinstance(obj, type) and issubclass(obj, Exception):
                continue
            seen.add(id(obj))
            if inspect.isclass(obj):
                if obj is qorvex.ErrorCode:
                    continue
                for attr, member in vars(obj).items():
                    if attr.startswith("_") and attr != "__init__":
                        continue
                    if isinstance(member, property):
                        member = member.fget
                    elif isinstance(member, (classmethod, staticmethod)):
                        member = member.__func__
                    if inspect.isfunction(member):
                        yield "%s.%s.%s" % (module_name, name, attr), member, obj
            elif inspect.isfunction(obj):
                yield "%s.%s" % (module_name, name), obj, None


class ApiSurfaceTest(unittest.TestCase):
    def test_hints_and_docstrings(self):
        missing_doc, missing_hint = [], []
        count = 0
        for qualname, fn, cls in public_callables():
            count += 1
            if fn.__name__ != "__init__" and not (fn.__doc__ or "").strip():
                missing_doc.append(qualname)
            sig = inspect.signature(fn)
            params = [p for p in sig.parameters.values() if p.name not in ("self", "cls")]
            if sig.return_annotation is inspect.Signature.empty or any(
                    p.annotation is inspect.Parameter.empty for p in params):
                missing_hint.append(qualname)
            # Resolves every name used in the hints (forward references included).
            namespace = dict(vars(inspect.getmodule(fn)))
            namespace.update({n: getattr(qorvex, n) for n in ("PrivateKey", "PublicKey", "XOnlyPublicKey",
                                                              "HDKey", "Mnemonic", "KeyPair")})
            typing.get_type_hints(fn, globalns=namespace)
        self.assertGreater(count, 150)
        self.maxDiff = None
        self.assertEqual(missing_hint, [], "public callables without complete type hints")
        self.assertEqual(missing_doc, [], "public callables without a docstring")


if __name__ == "__main__":
    unittest.main()
