"""BIP-32 hierarchical deterministic keys (mainnet xprv/xpub)."""

from __future__ import annotations

import ctypes
from typing import TYPE_CHECKING, Union

from . import _core
from ._core import ctx as _ctx, failure as _failure
from ._ffi import C
from .constants import BIP32_HARDENED, BIP32_KEY_SIZE, BIP32_TEXT_SIZE
from ._types import BytesLike, Network, SecretText, Text

if TYPE_CHECKING:  # pragma: no cover
    from .bip39 import Mnemonic
    from .keys import PrivateKey, PublicKey

__all__ = ["HDKey", "HARDENED"]

HARDENED = BIP32_HARDENED
_Record = _core.array_type(BIP32_KEY_SIZE)
_XPUB_VERSION = b"\x04\x88\xb2\x1e"


class HDKey(_core.SecretHolder):
    """An extended key: the library's 82-byte record (BIP-32's 78-byte
    serialization, a kind byte and three reserved bytes).

    A private HDKey holds its key and chain code in a buffer that ``wipe()``,
    a ``with`` block and the finalizer zero. Texts and ``record`` are new
    immutable copies that Python cannot wipe.
    """

    __slots__ = ("_r", "__weakref__")
    _SECRET = "_r"
    _STORED = "record or text"

    def __init__(self, record: BytesLike) -> None:
        """An HDKey from an 82-byte record, checked as every library call
        checks it."""
        src = _core.fixed(record, BIP32_KEY_SIZE, "BIP-32 record")
        r = _Record()
        ctypes.memmove(r, src, BIP32_KEY_SIZE)
        c = _ctx()
        rc = C.qorvex_bip32_pubkey(c, r, _core.array_type(33)())
        if rc:
            _core.wipe(r)
            raise _failure(rc, c)
        self._r = r

    @classmethod
    def from_seed(cls, seed: BytesLike) -> "HDKey":
        """The master key of a 16- to 64-byte seed (HMAC-SHA512 "Bitcoin seed")."""
        src, n = _core.var(seed, "seed")
        if not 16 <= n <= 64:
            raise ValueError("seed must be 16 to 64 bytes, got %d" % n)
        r = _Record()
        c = _ctx()
        rc = C.qorvex_bip32_master(c, src, n, r)
        if rc:
            raise _failure(rc, c)
        return cls._adopt(r)

    @classmethod
    def from_text(cls, text: SecretText) -> "HDKey":
        """Reads xprv or xpub text. An xprv is a secret: pass a bytearray to
        wipe it afterwards (a str cannot be wiped)."""
        r = _Record()
        c = _ctx()
        with _core.SecretText(text, "extended key text") as t:
            rc = C.qorvex_bip32_from_base58(c, t, r)
        if rc:
            raise _failure(rc, c)
        return cls._adopt(r)

    def derive(self, path: Union[str, int]) -> "HDKey":
        """The key at a path ("m/84'/0'/0'/0/0"; ', h or H mark hardened
        steps) or the child at an index (hardened from HARDENED = 2**31)."""
        r = _Record()
        c = _ctx()
        if isinstance(path, str):
            rc = C.qorvex_bip32_derive_path(c, self._r, _core.text(path, "path"), r)
        else:
            index = _core.check_int(path, "index", 0, 0xFFFFFFFF)
            rc = C.qorvex_bip32_derive(c, self._r, index, r)
        if rc:
            raise _failure(rc, c)
        return HDKey._adopt(r)

    # -- fields -----------------------------------------------------------

    @property
    def record(self) -> bytes:
        """The 82-byte record (holds the private key of a private HDKey)."""
        return self._r.raw

    @property
    def is_private(self) -> bool:
        """True for a private key (xprv), False for a public one (xpub)."""
        return self._r[78] == b"\x01"

    @property
    def depth(self) -> int:
        """0 for a master key, one more at each derivation step."""
        return self._r[4][0]

    @property
    def parent_fingerprint(self) -> bytes:
        """The 4-byte fingerprint of the parent key (zero for a master key)."""
        return self._r[5:9]

    @property
    def child_number(self) -> int:
        """The index this key was derived at (hardened from HARDENED on)."""
        return int.from_bytes(self._r[9:13], "big")

    @property
    def chain_code(self) -> bytes:
        """The 32-byte chain code (a secret for a private key's descendants)."""
        return self._r[13:45]

    @property
    def fingerprint(self) -> bytes:
        """The first 4 bytes of Hash160 of the public key (BIP-32's key identifier)."""
        from .hashes import hash160
        return hash160(self.public_key.format())[:4]

    @property
    def private_key(self) -> "PrivateKey":
        """The PrivateKey (QorvexError 2 "key is public, not private" for an xpub)."""
        from .keys import PrivateKey
        out = _core.array_type(32)()
        c = _ctx()
        rc = C.qorvex_bip32_privkey(c, self._r, out)
        if rc:
            raise _failure(rc, c)
        return PrivateKey._adopt(out)

    @property
    def public_key(self) -> "PublicKey":
        """The compressed PublicKey of this extended key."""
        from .keys import PublicKey
        out = _core.array_type(33)()
        c = _ctx()
        rc = C.qorvex_bip32_pubkey(c, self._r, out)
        if rc:
            raise _failure(rc, c)
        return PublicKey._trusted(out.raw)

    def public(self) -> "HDKey":
        """The public HDKey of this key (itself when already public)."""
        if not self.is_private:
            return self
        pub = self.public_key.format()
        # Depth, parent fingerprint, child number and chain code are shared;
        # the private key is not read out of its record.
        r = _Record()
        ctypes.memmove(r, _XPUB_VERSION, 4)
        ctypes.memmove(ctypes.byref(r, 4), ctypes.byref(self._r, 4), 41)
        ctypes.memmove(ctypes.byref(r, 45), pub, 33)
        return HDKey._adopt(r)

    @staticmethod
    def _text(record, secret):
        c = _ctx()
        return _core.text_out(lambda b, n: C.qorvex_bip32_to_base58(c, record, b, n), BIP32_TEXT_SIZE, c,
                              secret)

    @property
    def xprv(self) -> str:
        """The xprv text (ValueError for a public key)."""
        if not self.is_private:
            raise ValueError("a public HDKey has no xprv")
        return self._text(self._r, True)

    @property
    def xpub(self) -> str:
        """The xpub text, also of a private key."""
        return self._text(self.public()._r, False)

    def address(self, kind: str = "p2wpkh", network: Network = 0) -> str:
        """The address of this key's public key: "p2pkh" (BIP-44), "p2sh-p2wpkh"
        (BIP-49), "p2wpkh" (BIP-84) or "p2tr" (BIP-86: the key-path-only
        Taproot output of the x-only key)."""
        from . import bitcoin
        pub = self.public_key
        if kind == "p2pkh":
            return bitcoin.p2pkh(pub, network)
        if kind == "p2sh-p2wpkh":
            return bitcoin.p2sh_p2wpkh(pub, network)
        if kind == "p2wpkh":
            return bitcoin.p2wpkh(pub, network)
        if kind == "p2tr":
            output, _parity = pub.x_only()[0].taproot_tweak()
            return bitcoin.p2tr(output, network)
        raise ValueError("kind must be p2pkh, p2sh-p2wpkh, p2wpkh or p2tr, got %r" % (kind,))

    # -- BIP-85 -----------------------------------------------------------

    def bip85_entropy(self, path: Text, length: int = 32) -> bytes:
        """The first ``length`` (1..32) bytes of BIP-85 entropy at ``path``
        below this private key."""
        _core.check_int(length, "length", 1, 32)
        out = _core.array_type(length)()
        c = _ctx()
        rc = C.qorvex_bip85_entropy(c, self._r, _core.text(path, "path"), out, length)
        if rc:
            raise _failure(rc, c)
        return _core.take_secret(out)

    def bip85_mnemonic(self, words: int = 12, index: int = 0, language: int = 0) -> "Mnemonic":
        """The BIP-85 child mnemonic (12, 18 or 24 English words) at
        m/83696968'/39'/0'/words'/index'."""
        from .bip39 import Mnemonic, _MNEMONIC_MAX
        _core.check_int(words, "words", 0, 0xFFFFFFFF)
        _core.check_int(index, "index", 0, 0xFFFFFFFF)
        buf = ctypes.create_string_buffer(_MNEMONIC_MAX)
        n = ctypes.c_size_t(_MNEMONIC_MAX)
        c = _ctx()
        rc = C.qorvex_bip85_bip39(c, self._r, words, language, index, buf, ctypes.byref(n))
        if rc:
            raise _failure(rc, c)
        return Mnemonic._adopt(buf, n.value, words)

    # -- lifetime ---------------------------------------------------------

    def __del__(self):
        # Only a private record is a secret; a public one may still be read
        # through a buffer taken from a temporary (``self.public()._r``).
        try:
            if self._r[78] == b"\x01":
                self.wipe()
        except Exception:
            pass

    def __repr__(self):
        if self.is_private:
            return "HDKey(<private>, depth=%d)" % self.depth
        return "HDKey(%s)" % self.xpub
