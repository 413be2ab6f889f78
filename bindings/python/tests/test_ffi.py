"""The low-level layer against the header, the loader and the context
functions."""

import ctypes
import os
import re
import subprocess
import sys
import unittest

import support
from qorvex import _ffi, constants, errors, QorvexError
from qorvex._ffi import C


def header_text():
    with open(support.HEADER) as f:
        return f.read()


@unittest.skipUnless(os.path.exists(support.HEADER), "include/qorvex.h not found")
class HeaderAgreementTest(unittest.TestCase):
    def header_declarations(self):
        """{name: declaration text as the header spells it} of every export."""
        text = re.sub(r"/\*.*?\*/", " ", header_text(), flags=re.S)
        decls = re.findall(r"QORVEX_API\s+([^;]*?\))\s*;", text, flags=re.S)
        out = {}
        for d in decls:
            d = " ".join(d.split())
            out[re.search(r"\b(qorvex_\w+)\s*\(", d).group(1)] = d + ";"
        return out

    def test_every_export_is_declared_with_the_header_types(self):
        texts = self.header_declarations()
        header = _ffi.parse_declarations("\n".join(texts.values()))
        self.assertGreater(len(header), 100)
        missing = sorted(set(header) - set(_ffi.DECLARATIONS))
        if missing:
            self.fail("%d function(s) exported in include/qorvex.h are missing from PROTOTYPES in "
                      "bindings/python/qorvex/_ffi.py; paste these declarations into it, under a "
                      "heading for their family:\n\n%s\n" % (len(missing), "\n".join(texts[n] for n in missing)))
        extra = sorted(set(_ffi.DECLARATIONS) - set(header))
        self.assertEqual(extra, [], "in PROTOTYPES but no longer in include/qorvex.h: remove them")
        for name, decl in header.items():
            self.assertEqual(_ffi.DECLARATIONS[name], decl,
                             "%s differs between PROTOTYPES and the header; the header has:\n%s"
                             % (name, texts[name]))
            result, params = decl
            self.assertIn(result, _ffi.CTYPES, "%s: result type %r has no ctypes mapping in CTYPES" % (name, result))
            for p in params:
                self.assertIn(p, _ffi.CTYPES, "%s: parameter type %r has no ctypes mapping in CTYPES" % (name, p))

    def test_every_function_is_bound_with_its_prototype(self):
        for name, (result, params) in _ffi.DECLARATIONS.items():
            f = getattr(C, name)
            self.assertIsNot(f, None)
            self.assertEqual(f.restype, _ffi.CTYPES[result], name)
            self.assertEqual(list(f.argtypes), [_ffi.CTYPES[p] for p in params], name)

    def test_constants_match_the_header(self):
        defines = re.findall(r"^#define QORVEX_(\w+)\s+(0x[0-9a-fA-F]+|\d+|\"[^\"]*\")u?\b",
                             header_text(), flags=re.M)
        self.assertGreater(len(defines), 50)
        for name, value in defines:
            if name == "OK" or name.startswith("ERR_"):
                code = "OK" if name == "OK" else name[4:]
                self.assertEqual(int(errors.ErrorCode[code]), int(value), name)
                continue
            self.assertTrue(hasattr(constants, name), "QORVEX_%s missing from qorvex.constants" % name)
            expected = value.strip('"') if value.startswith('"') else int(value, 0)
            self.assertEqual(getattr(constants, name), expected, name)
        for t in (2, 3, 7):
            self.assertEqual(constants.FROST_COMMITMENT_SIZE(t), 33 * t + 72)
            self.assertEqual(constants.FROST_SHARES_SIZE(t), 36 * t)
        self.assertIn("#define QORVEX_FROST_COMMITMENT_SIZE(t) (33 * (size_t)(t) + 72)", header_text())

    def test_a_declaration_missing_from_the_table_is_reported(self):
        table = _ffi.parse_declarations(_ffi.PROTOTYPES)
        self.assertEqual(table, _ffi.DECLARATIONS)
        parsed = _ffi.parse_declarations("int qorvex_new_family(qorvex_ctx *ctx, const uint8_t *const *items,\n"
                                         "    size_t n, uint64_t *out);")
        self.assertEqual(parsed, {"qorvex_new_family": (
            "int", ("qorvex_ctx *", "const uint8_t * const *", "size_t", "uint64_t *"))})
        with self.assertRaises(ValueError):
            _ffi.parse_declarations("not a declaration")
        # A record type of a future family, and unnamed parameters.
        self.assertEqual(_ffi.parse_declarations("uint32_t qorvex_f(const qorvex_coin *coin, qorvex_coin c, "
                                                 "size_t, const uint8_t *);"),
                         {"qorvex_f": ("uint32_t", ("const qorvex_coin *", "qorvex_coin", "size_t",
                                                    "const uint8_t *"))})


class LoaderTest(unittest.TestCase):
    def run_python(self, code, **env):
        return subprocess.run([sys.executable, "-c", code], env=support.subprocess_env(**env),
                              capture_output=True, text=True, timeout=60)

    def test_a_missing_library_names_the_paths_tried(self):
        r = self.run_python("import qorvex", QORVEX_LIBRARY="/nonexistent/libqorvex.so")
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("ImportError: cannot load libqorvex; tried:", r.stderr)
        self.assertIn("/nonexistent/libqorvex.so", r.stderr)
        self.assertIn("QORVEX_LIBRARY", r.stderr)

    def test_a_library_that_is_not_qorvex_is_refused(self):
        import ctypes.util
        libc = ctypes.util.find_library("c")
        r = self.run_python("import qorvex", QORVEX_LIBRARY=libc)
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("not a qorvex library", r.stderr)

    def test_the_loaded_library(self):
        import qorvex
        self.assertEqual(qorvex.abi_version(), 4)
        self.assertEqual(qorvex.library_version(), (4, 4, 0))
        self.assertEqual(qorvex.library_version_string(), "4.4.0")
        self.assertTrue(os.path.exists(qorvex.library_path) or "/" not in qorvex.library_path)
        if os.environ.get("QORVEX_LIBRARY"):
            self.assertEqual(qorvex.library_path, os.environ["QORVEX_LIBRARY"])


class ContextFunctionsTest(unittest.TestCase):
    def test_error_texts_and_null_context(self):
        self.assertEqual(C.qorvex_error_str(0), b"OK")
        self.assertEqual(C.qorvex_error_str(13), b"unknown error")
        self.assertEqual(C.qorvex_error_str(-1), b"unknown error")
        self.assertEqual(C.qorvex_last_error_msg(None), b"NULL context")
        self.assertEqual(C.qorvex_last_error(None), 1)
        for code in errors.ErrorCode:
            self.assertEqual(QorvexError(code, "x").name, errors.code_name(code))

    def test_create_clone_destroy(self):
        self.assertEqual(C.qorvex_ctx_size(), constants.CTX_SIZE)
        a = ctypes.c_void_p()
        self.assertEqual(C.qorvex_ctx_create(ctypes.byref(a)), 0)
        self.assertEqual(C.qorvex_pubkey_create(a, bytes(32), ctypes.create_string_buffer(33)), 2)
        self.assertEqual(C.qorvex_last_error(a), 2)
        b = ctypes.c_void_p()
        self.assertEqual(C.qorvex_ctx_clone(a, ctypes.byref(b)), 0)
        self.assertEqual(C.qorvex_last_error(b), 0)
        self.assertEqual(C.qorvex_last_error_msg(b), b"OK")
        self.assertEqual(C.qorvex_ctx_create(None), 1)
        C.qorvex_ctx_destroy(a)
        C.qorvex_ctx_destroy(b)
        C.qorvex_ctx_destroy(None)

    def test_the_disabled_musig2_signer_maps_to_deprecated(self):
        from qorvex import _core
        c = _core.ctx()
        secnonce = ctypes.create_string_buffer(b"\x01" * 64, 64)
        out = ctypes.create_string_buffer(b"\x07" * 32, 32)
        rc = C.qorvex_musig2_partial_sign(c, secnonce, bytes(31) + b"\x01", bytes(165), bytes(165), 0, out)
        err = _core.failure(rc, c)
        self.assertEqual(err.code, errors.ErrorCode.DEPRECATED)
        self.assertEqual(err.name, "QORVEX_ERR_DEPRECATED")
        self.assertTrue(err.message.startswith("qorvex_musig2_partial_sign (v1) is disabled"), err.message)
        self.assertEqual(len(err.message), constants.MAX_MESSAGE_LEN)  # cut to 127 characters
        self.assertEqual(secnonce.raw, bytes(64))
        self.assertEqual(out.raw, bytes(32))


if __name__ == "__main__":
    unittest.main()
