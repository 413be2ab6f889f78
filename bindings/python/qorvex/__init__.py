"""qorvex: elliptic-curve cryptography on secp256k1, over libqorvex.so.

Bytes in, bytes out. The main objects::

    from qorvex import PrivateKey, PublicKey, XOnlyPublicKey, HDKey, Mnemonic

Families live in modules: ``qorvex.ecdsa`` (signature formats, recovery),
``hashes``, ``bitcoin`` (addresses, WIF, segwit scripts), ``bip32``,
``bip39``, ``tx`` (BIP-143/144/341/342 digests), ``taproot``, ``batch``,
``eth``, ``musig2``, ``frost``, ``ecies``, ``pedersen``, ``zk`` (proofs and
SNARK witnesses), ``adaptor``, ``filters`` (BIP-158), ``messages``
(signmessage and BIP-322), ``psbt`` (partial signatures). Every failure of the
library raises ``QorvexError``; a wrong input size or type raises
ValueError or TypeError before the library is called.

The library is found through QORVEX_LIBRARY, then next to the package, then
the system loader. Call ``configure()`` before anything else to choose the
generator-table size and cache directory (see its docstring).

Secrets: PrivateKey, KeyPair, HDKey, Mnemonic and the protocol secrets keep
their bytes in buffers that ``wipe()`` zeroes. Python cannot wipe an
immutable ``bytes`` or ``str``: pass a ``bytearray`` where you need to wipe an
input yourself; it is read in place, never copied.
"""

from __future__ import annotations
from typing import Optional, Tuple


from . import constants
from . import (adaptor, batch, bitcoin, ecdsa, ecies, eth, filters, frost, hashes, messages,  # noqa: F401
               musig2, pedersen, psbt, taproot, tx, zk)
from ._core import cache_location, configure
from ._ffi import C as _C, library_path
from .bip32 import HARDENED, HDKey
from .bip39 import Mnemonic
from .errors import ErrorCode, QorvexError
from .keys import KeyPair, PrivateKey, PublicKey, XOnlyPublicKey
from ._types import BytesLike


__version__ = "4.4.0"

MAINNET = constants.NETWORK_MAINNET
TESTNET = constants.NETWORK_TESTNET

__all__ = ["PrivateKey", "PublicKey", "XOnlyPublicKey", "KeyPair", "HDKey", "HARDENED", "Mnemonic",
           "QorvexError", "ErrorCode", "configure", "cache_location", "library_path",
           "abi_version", "library_version", "library_version_string", "randomize",
           "MAINNET", "TESTNET", "constants"]


def abi_version() -> int:
    """The loaded library's ABI version (4)."""
    return _C.qorvex_abi_version()


def library_version() -> Tuple[int, int, int]:
    """(major, minor, patch) of the loaded library."""
    v = _C.qorvex_version()
    return (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF


def library_version_string() -> str:
    """The loaded library's version as text ("4.4.0")."""
    return _C.qorvex_version_string().decode("ascii")


def randomize(seed32: Optional[BytesLike]) -> None:
    """Turns on blinding of the secret multiplications for the calling thread
    (each thread calls this itself), derived from a 32-byte seed; None turns
    it off. Results are identical either way."""
    from . import _core
    seed = _core.fixed_or_none(seed32, 32, "seed32")
    c = _core.ctx()
    rc = _C.qorvex_context_randomize(c, seed)
    if rc:
        raise _core.failure(rc, c)
