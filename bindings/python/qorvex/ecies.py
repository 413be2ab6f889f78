"""ECIES: encryption to a public key.

Envelope: ephemeral key (33) || IV (16) || ciphertext || HMAC-SHA256 tag
(32), keys from HKDF-SHA256, AES-256-CTR; ``OVERHEAD`` = 81 bytes.
"""

from __future__ import annotations

import ctypes
from typing import Optional

from . import _core
from ._core import ctx as _ctx, failure as _failure
from ._ffi import C
from .constants import ECIES_MIN_ENVELOPE_SIZE, ECIES_OVERHEAD
from ._types import BytesLike, SecretKeyLike, PublicKeyLike

__all__ = ["encrypt", "decrypt", "OVERHEAD"]

OVERHEAD = ECIES_OVERHEAD


def encrypt(recipient: PublicKeyLike, plaintext: BytesLike) -> bytes:
    """The envelope of a non-empty plaintext for a public key (PublicKey or
    33 bytes), with a fresh ephemeral key and IV."""
    from .keys import _pub33
    src, n = _core.var(plaintext, "plaintext")
    if n == 0:
        raise ValueError("plaintext must not be empty")
    size = n + ECIES_OVERHEAD
    out = _core.array_type(size)()
    length = ctypes.c_size_t(size)
    c = _ctx()
    rc = C.qorvex_ecies_encrypt(c, _pub33(recipient, "recipient"), src, n, out, ctypes.byref(length))
    if rc:
        raise _failure(rc, c)
    return out.raw[:length.value]


def decrypt(seckey: SecretKeyLike, envelope: BytesLike, *,
            into: Optional[bytearray] = None) -> Optional[bytes]:
    """The plaintext of an envelope. QorvexError 6 "ECIES decryption failed
    (bad key or tampered)" for a wrong key and a modified envelope alike.
    ``into``: a bytearray of exactly the plaintext's size to decrypt into
    (so that the caller can wipe it); the plaintext is then not returned."""
    from .keys import _secret_of
    src, n = _core.var(envelope, "envelope")
    if n < ECIES_MIN_ENVELOPE_SIZE:
        raise ValueError("envelope must be at least %d bytes, got %d" % (ECIES_MIN_ENVELOPE_SIZE, n))
    size = n - ECIES_OVERHEAD
    if into is not None:
        if not isinstance(into, bytearray) or len(into) != size:
            raise ValueError("into must be a bytearray of %d bytes" % size)
        out = _core.array_type(size).from_buffer(into)
    else:
        out = _core.array_type(size)()
    length = ctypes.c_size_t(size)
    c = _ctx()
    rc = C.qorvex_ecies_decrypt(c, _secret_of(seckey), src, n, out, ctypes.byref(length))
    if rc:
        raise _failure(rc, c)
    if into is not None:
        return None
    return _core.take_secret(out, length.value)
