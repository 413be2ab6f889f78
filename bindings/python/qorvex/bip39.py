"""BIP-39 mnemonics (English word list)."""

from __future__ import annotations

import ctypes
from typing import TYPE_CHECKING, List

from . import _core
from ._core import ctx as _ctx, failure as _failure
from ._ffi import C
from .constants import BIP39_MNEMONIC_MAX_SIZE
from ._types import BytesLike, SecretText

if TYPE_CHECKING:  # pragma: no cover
    from .bip32 import HDKey

__all__ = ["Mnemonic"]

_MNEMONIC_MAX = BIP39_MNEMONIC_MAX_SIZE
_WORDS_TO_BYTES = {12: 16, 15: 20, 18: 24, 21: 28, 24: 32}


def _words_of(entropy_len):
    """The word count of a mnemonic of entropy_len bytes: 3 words per 4 bytes."""
    return entropy_len * 3 // 4


class Mnemonic(_core.SecretHolder):
    """A valid BIP-39 mnemonic. ``Mnemonic(phrase)`` checks the words and the
    checksum (QorvexError 5 "invalid mnemonic"). The phrase is kept in a
    buffer that ``wipe()`` zeroes; the str you passed, and ``phrase``, are
    immutable copies Python cannot wipe (pass a bytearray to keep control of
    the input).
    """

    __slots__ = ("_buf", "_n", "_words", "__weakref__")
    _SECRET = "_buf"
    _STORED = "phrase"

    def __init__(self, phrase: SecretText) -> None:
        text = _core.SecretText(phrase, "mnemonic")
        with text as src:
            out = _core.array_type(32)()
            n = ctypes.c_size_t(32)
            c = _ctx()
            rc = C.qorvex_bip39_to_entropy(c, src, out, ctypes.byref(n))
            _core.wipe(out)
            if rc:
                raise _failure(rc, c)
            self._buf = _core.copy_buffer(src, text.n + 1)
            self._n = text.n
            self._words = _words_of(n.value)

    @classmethod
    def _adopt(cls, buf, n, words):
        self = super()._adopt(buf)
        self._n = n
        self._words = words
        return self

    @classmethod
    def _generate(cls, n_bytes, entropy):
        buf = ctypes.create_string_buffer(_MNEMONIC_MAX)
        n = ctypes.c_size_t(_MNEMONIC_MAX)
        c = _ctx()
        rc = C.qorvex_bip39_generate(c, n_bytes, entropy, buf, ctypes.byref(n))
        if rc:
            raise _failure(rc, c)
        return cls._adopt(buf, n.value, _words_of(n_bytes))

    @classmethod
    def generate(cls, words: int = 12) -> "Mnemonic":
        """A new mnemonic of 12, 15, 18, 21 or 24 words from the operating
        system's random generator."""
        if words not in _WORDS_TO_BYTES:
            raise ValueError("words must be 12, 15, 18, 21 or 24, got %r" % (words,))
        return cls._generate(_WORDS_TO_BYTES[words], None)

    @classmethod
    def from_entropy(cls, entropy: BytesLike) -> "Mnemonic":
        """The mnemonic of 16, 20, 24, 28 or 32 bytes of entropy."""
        src, n = _core.var(entropy, "entropy")
        return cls._generate(n, src)

    @staticmethod
    def is_valid(phrase: SecretText) -> bool:
        """True for a valid mnemonic (English words, any white space, checksum)."""
        with _core.SecretText(phrase, "mnemonic") as src:
            return C.qorvex_bip39_validate(_ctx(), src) == 0

    @property
    def phrase(self) -> str:
        """The words separated by single spaces, as a new immutable ``str``."""
        return self._buf[:self._n].decode("utf-8")

    @property
    def words(self) -> List[str]:
        """The list of words."""
        return self.phrase.split()

    @property
    def entropy(self) -> bytes:
        """The 16 to 32 bytes of entropy the words encode."""
        out = _core.array_type(32)()
        n = ctypes.c_size_t(32)
        c = _ctx()
        rc = C.qorvex_bip39_to_entropy(c, self._buf, out, ctypes.byref(n))
        if rc:
            raise _failure(rc, c)
        return _core.take_secret(out, n.value)

    def _seed(self, passphrase):
        out = _core.array_type(64)()
        with _core.SecretText(passphrase, "passphrase") as pw:
            c = _ctx()
            rc = C.qorvex_bip39_to_seed(c, self._buf, pw, out)
        if rc:
            raise _failure(rc, c)
        return out

    def to_seed(self, passphrase: SecretText = "") -> bytes:
        """The 64-byte seed (PBKDF2-HMAC-SHA512 of the NFKD forms of the
        phrase as given and of "mnemonic" + passphrase)."""
        return _core.take_secret(self._seed(passphrase))

    def to_hd_key(self, passphrase: SecretText = "") -> "HDKey":
        """The BIP-32 master key of the seed (no copy of the seed is left)."""
        from .bip32 import HDKey
        seed = self._seed(passphrase)
        try:
            return HDKey.from_seed(seed)
        finally:
            _core.wipe(seed)

    def wipe(self) -> None:
        """Zeroes the phrase buffer; the object is unusable afterwards."""
        super().wipe()
        self._n = self._words = 0

    def _compared(self):
        return memoryview(self._buf)[:self._n]  # the buffer's tail is spare room

    def __repr__(self):
        return "Mnemonic(<%d words>)" % self._words
