"""Private keys, public keys, x-only keys and prepared key pairs."""

from __future__ import annotations

import ctypes
import os
from typing import Iterable, Optional, Tuple

from . import _core
from ._core import ctx as _ctx, failure as _failure, fixed as _fixed, verdict as _verdict
from ._ffi import C
from .errors import ErrorCode
from ._types import BytesLike, Network, SecretKeyLike, SecretText, PublicKeyLike

__all__ = ["PrivateKey", "PublicKey", "XOnlyPublicKey", "KeyPair"]

_B32 = _core.array_type(32)
_B33 = _core.array_type(33)
_B64 = _core.array_type(64)
_B65 = _core.array_type(65)
_B96 = _core.array_type(96)

# Field prime, for writing a parsed key uncompressed (y from x, public data).
_P = 2**256 - 2**32 - 977

_SIG_FALSE = (ErrorCode.VERIFY_FAIL, ErrorCode.BAD_SIG)

_ecdsa_sign = C.qorvex_ecdsa_sign
_ecdsa_verify = C.qorvex_ecdsa_verify
_schnorr_sign = C.qorvex_schnorr_sign
_schnorr_verify = C.qorvex_schnorr_verify
_urandom = os.urandom


def _secret_of(key, what="secret key"):
    """The 32-byte secret of a PrivateKey or a bytes-like value."""
    if isinstance(key, PrivateKey):
        return key._k
    return _fixed(key, 32, what)


def _pub33(key, what="public key"):
    """The compressed bytes of a PublicKey, or 33 bytes-like."""
    if isinstance(key, PublicKey):
        return key._b
    return _fixed(key, 33, what)


def _xonly32(key, what="x-only public key"):
    if isinstance(key, XOnlyPublicKey):
        return key._b
    return _fixed(key, 32, what)


class PrivateKey(_core.SecretHolder):
    """A secp256k1 private key: 32 bytes, big-endian, 1 <= key < n.

    The key is copied into a buffer this object owns, which ``wipe()``
    zeroes; so does leaving a ``with`` block and the object's finalizer.
    Python cannot wipe an immutable ``bytes``: pass a ``bytearray`` (and wipe
    it yourself) where no copy of the key may remain, and avoid ``secret``,
    which hands out a new ``bytes`` copy.
    """

    __slots__ = ("_k", "_pub", "__weakref__")
    _SECRET = "_k"

    def __init__(self, secret: BytesLike) -> None:
        src = _fixed(secret, 32, "secret key")
        k = _B32()
        ctypes.memmove(k, src, 32)
        rc = C.qorvex_seckey_verify(_ctx(), k)
        if rc:
            _core.wipe(k)
            raise _failure(rc)  # records no message
        self._k = k
        self._pub = None

    @classmethod
    def _adopt(cls, buf):
        """Wraps a buffer that already holds a valid key (no copy)."""
        self = super()._adopt(buf)
        self._pub = None
        return self

    @classmethod
    def generate(cls) -> "PrivateKey":
        """A fresh random key from the operating system's generator."""
        c = _ctx()
        while True:
            # Read straight into the key's own buffer: no bytes copy is left.
            k = _core.random_buffer(32)
            rc = C.qorvex_seckey_verify(c, k)
            if rc == 0:
                return cls._adopt(k)
            _core.wipe(k)
            if rc != ErrorCode.BAD_KEY:
                raise _failure(rc)  # records no message

    @classmethod
    def from_wif(cls, text: SecretText) -> "PrivateKey":
        """The key of a WIF string (use ``qorvex.bitcoin.wif_decode`` for its
        compression flag and network)."""
        from .bitcoin import wif_decode
        return wif_decode(text)[0]

    def to_wif(self, compressed: bool = True, network: Network = 0) -> str:
        """The WIF text of the key (``network`` 0 mainnet, 1 testnet)."""
        from .bitcoin import wif_encode
        return wif_encode(self, compressed, network)

    @property
    def secret(self) -> bytes:
        """The 32 key bytes, as a new immutable ``bytes`` object."""
        return self._k.raw

    def __repr__(self):
        return "PrivateKey(<secret>)"

    # -- public keys ------------------------------------------------------

    @property
    def public_key(self) -> "PublicKey":
        """The compressed public key, as a PublicKey (computed once)."""
        pub = self._pub
        if pub is None:
            out = _B33()
            rc = C.qorvex_pubkey_create(_ctx(), self._k, out)
            if rc:
                raise _failure(rc, _ctx())
            pub = self._pub = PublicKey._trusted(out.raw)
        return pub

    def public_key_uncompressed(self) -> bytes:
        """The 65-byte uncompressed public key."""
        out = _B65()
        c = _ctx()
        rc = C.qorvex_pubkey_create_uncompressed(c, self._k, out)
        if rc:
            raise _failure(rc, c)
        return out.raw

    @property
    def x_only_public_key(self) -> "XOnlyPublicKey":
        """The x-only public key (BIP-340), as an XOnlyPublicKey."""
        out = _B32()
        c = _ctx()
        rc = C.qorvex_pubkey_xonly(c, self._k, out)
        if rc:
            raise _failure(rc, c)
        return XOnlyPublicKey._trusted(out.raw)

    # -- tweaks -------------------------------------------------------------

    def _modified(self, fn, tweak):
        k = _core.copy_buffer(self._k, 32)
        c = _ctx()
        rc = fn(c, k) if tweak is None else fn(c, k, _fixed(tweak, 32, "tweak"))
        if rc:
            _core.wipe(k)
            raise _failure(rc, c)
        return PrivateKey._adopt(k)

    def negate(self) -> "PrivateKey":
        """The key n - k."""
        return self._modified(C.qorvex_seckey_negate, None)

    def tweak_add(self, tweak32: BytesLike) -> "PrivateKey":
        """The key (k + tweak) mod n. QorvexError: 5 tweak >= n, 7 a zero sum."""
        return self._modified(C.qorvex_seckey_tweak_add, tweak32)

    def tweak_mul(self, tweak32: BytesLike) -> "PrivateKey":
        """The key k * tweak mod n. QorvexError: 5 tweak zero or >= n."""
        return self._modified(C.qorvex_seckey_tweak_mul, tweak32)

    def taproot_tweak(self, merkle_root: Optional[BytesLike] = None) -> "PrivateKey":
        """The key that signs for the Taproot output key of this key's x-only
        key (BIP-341; ``merkle_root`` None for a key-path-only output)."""
        root = _core.fixed_or_none(merkle_root, 32, "merkle_root")
        out = _B32()
        c = _ctx()
        rc = C.qorvex_taproot_tweak_seckey(c, self._k, root, out)
        if rc:
            raise _failure(rc, c)
        return PrivateKey._adopt(out)

    # -- signing --------------------------------------------------------------

    def sign_ecdsa(self, msg32: BytesLike, *, verified: bool = False) -> bytes:
        """The 64-byte compact ECDSA signature (r || s, low-S, RFC 6979) of a
        32-byte message hash. ``verified=True`` checks it against the public
        key before returning it."""
        if type(msg32) is not bytes or len(msg32) != 32:
            msg32 = _fixed(msg32, 32, "msg32")
        out = _B64()
        c = _ctx()
        fn = C.qorvex_ecdsa_sign_verified if verified else _ecdsa_sign
        rc = fn(c, msg32, self._k, out)
        if rc:
            raise _failure(rc, c)
        return out.raw

    def sign_recoverable(self, msg32: BytesLike) -> Tuple[bytes, int]:
        """(signature64, recovery id 0..3) for ``PublicKey.recover``."""
        msg32 = _fixed(msg32, 32, "msg32")
        out = _B64()
        recid = ctypes.c_int()
        c = _ctx()
        rc = C.qorvex_ecdsa_sign_recoverable(c, msg32, self._k, out, ctypes.byref(recid))
        if rc:
            raise _failure(rc, c)
        return out.raw, recid.value

    def sign_schnorr(self, msg32: BytesLike, aux32: Optional[BytesLike] = None, *,
                         verified: bool = False) -> bytes:
        """The 64-byte BIP-340 signature of a 32-byte message. ``aux32`` is
        the auxiliary randomness: None takes 32 fresh bytes from the operating
        system (BIP-340's recommendation); pass bytes for reproducible
        signatures. ``verified=True`` verifies the signature before returning
        it."""
        if type(msg32) is not bytes or len(msg32) != 32:
            msg32 = _fixed(msg32, 32, "msg32")
        if aux32 is None:
            aux32 = _urandom(32)
        elif type(aux32) is not bytes or len(aux32) != 32:
            aux32 = _fixed(aux32, 32, "aux32")
        out = _B64()
        c = _ctx()
        fn = C.qorvex_schnorr_sign_verified if verified else _schnorr_sign
        rc = fn(c, msg32, self._k, aux32, out)
        if rc:
            raise _failure(rc, c)
        return out.raw

    def sign_schnorr_message(self, message: BytesLike, aux32: Optional[BytesLike] = None) -> bytes:
        """BIP-340 signature of a message of any length: its "BIP0340/msg"
        tagged hash is signed (verify with XOnlyPublicKey.verify_message)."""
        msg, n = _core.var(message, "message")
        aux32 = _urandom(32) if aux32 is None else _fixed(aux32, 32, "aux32")
        out = _B64()
        c = _ctx()
        rc = C.qorvex_schnorr_sign_msg(c, self._k, msg, n, aux32, out)
        if rc:
            raise _failure(rc, c)
        return out.raw

    def keypair(self) -> "KeyPair":
        """A prepared KeyPair for repeated BIP-340 signing."""
        return KeyPair(self)

    # -- ECDH and ECIES -------------------------------------------------------

    def _ecdh(self, fn, peer):
        out = _B32()
        c = _ctx()
        rc = fn(c, self._k, _pub33(peer, "peer public key"), out)
        if rc:
            raise _failure(rc, c)
        return _core.take_secret(out)

    def ecdh(self, peer: PublicKeyLike) -> bytes:
        """SHA-256 of the compressed shared point (libsecp256k1's default)."""
        return self._ecdh(C.qorvex_ecdh, peer)

    def ecdh_xonly(self, peer: PublicKeyLike) -> bytes:
        """SHA-256 of the x coordinate of the shared point."""
        return self._ecdh(C.qorvex_ecdh_xonly, peer)

    def ecdh_raw(self, peer: PublicKeyLike) -> bytes:
        """The x coordinate of the shared point, unhashed."""
        return self._ecdh(C.qorvex_ecdh_raw, peer)

    def decrypt(self, envelope: BytesLike) -> bytes:
        """The plaintext of an ECIES envelope made for this key's public key."""
        from .ecies import decrypt
        return decrypt(self, envelope)


class PublicKey:
    """A point of secp256k1, held as its 33-byte compressed encoding.

    ``PublicKey(data)`` parses 33 (02/03) or 65 (04) bytes.
    """

    __slots__ = ("_b",)

    def __init__(self, data: BytesLike) -> None:
        src, n = _core.var(data, "public key")
        if n not in (33, 65):
            raise ValueError("public key must be 33 or 65 bytes, got %d" % n)
        out = _B33()
        c = _ctx()
        rc = C.qorvex_pubkey_parse(c, src, n, out)
        if rc:
            raise _failure(rc, c)
        self._b = out.raw

    @classmethod
    def _trusted(cls, b33):
        self = object.__new__(cls)
        self._b = b33
        return self

    @classmethod
    def recover(cls, msg32: BytesLike, signature64: BytesLike, recid: int) -> "PublicKey":
        """The key that made a compact signature with recovery id 0..3."""
        from .ecdsa import recover
        return recover(msg32, signature64, recid)

    @classmethod
    def combine(cls, keys: Iterable[PublicKeyLike]) -> "PublicKey":
        """The sum of a list of public keys, added in order."""
        blob, n = _core.records([_pub33(k, "keys") for k in _core.sequence(keys, "keys")], 33, "keys")
        if n == 0:
            raise ValueError("keys must not be empty")
        out = _B33()
        c = _ctx()
        rc = C.qorvex_pubkey_combine(c, blob, n, out)
        if rc:
            raise _failure(rc, c)
        return cls._trusted(out.raw)

    def format(self, compressed: bool = True) -> bytes:
        """33 bytes compressed, or 65 bytes uncompressed (04 || x || y)."""
        if compressed:
            return self._b
        x = int.from_bytes(self._b[1:], "big")
        y = pow((pow(x, 3, _P) + 7) % _P, (_P + 1) // 4, _P)
        if (y & 1) != (self._b[0] & 1):
            y = _P - y
        return b"\x04" + self._b[1:] + y.to_bytes(32, "big")

    def __bytes__(self):
        return self._b

    def __eq__(self, other):
        if not isinstance(other, PublicKey):
            return NotImplemented
        return self._b == other._b

    def __hash__(self):
        return hash(self._b)

    def __repr__(self):
        return "PublicKey(%s)" % self._b.hex()

    def x_only(self) -> Tuple["XOnlyPublicKey", int]:
        """(XOnlyPublicKey, parity): parity 1 when y is odd."""
        return XOnlyPublicKey._trusted(self._b[1:]), self._b[0] & 1

    # -- verification -------------------------------------------------------

    def verify(self, signature64: BytesLike, msg32: BytesLike) -> bool:
        """True when the 64-byte compact ECDSA signature (low-S) of the
        32-byte message hash is valid for this key; False when it is not,
        including a signature whose r or s is out of range or high-S. Other
        failures raise QorvexError."""
        if type(msg32) is not bytes or len(msg32) != 32:
            msg32 = _fixed(msg32, 32, "msg32")
        if type(signature64) is not bytes or len(signature64) != 64:
            signature64 = _fixed(signature64, 64, "signature")
        c = _ctx()
        rc = _ecdsa_verify(c, msg32, signature64, self._b)
        if rc == 0:
            return True
        return _verdict(rc, c, _SIG_FALSE)

    def verify_opaque(self, opaque64: BytesLike, msg32: BytesLike) -> bool:
        """As verify, for an opaque signature (each half little-endian); a
        high-S signature is accepted."""
        c = _ctx()
        rc = C.qorvex_ecdsa_verify_opaque(c, _fixed(msg32, 32, "msg32"),
                                          _fixed(opaque64, 64, "opaque signature"), self._b)
        return _verdict(rc, c, _SIG_FALSE)

    # -- arithmetic -----------------------------------------------------------

    def _op(self, fn, *args):
        out = _B33()
        c = _ctx()
        rc = fn(c, self._b, *args, out)
        if rc:
            raise _failure(rc, c)
        return PublicKey._trusted(out.raw)

    def negate(self) -> "PublicKey":
        """The point -P."""
        return self._op(C.qorvex_pubkey_negate)

    def add(self, other: PublicKeyLike) -> "PublicKey":
        """self + other. QorvexError 7 when the sum is the point at infinity."""
        return self._op(C.qorvex_pubkey_add, _pub33(other, "other"))

    def __add__(self, other):
        if not isinstance(other, PublicKey):
            return NotImplemented
        return self.add(other)

    def __neg__(self):
        return self.negate()

    def tweak_add(self, tweak32: BytesLike) -> "PublicKey":
        """P + tweak * G (a zero tweak is allowed)."""
        return self._op(C.qorvex_pubkey_tweak_add, _fixed(tweak32, 32, "tweak"))

    def tweak_mul(self, tweak32: BytesLike) -> "PublicKey":
        """tweak * P."""
        return self._op(C.qorvex_pubkey_tweak_mul, _fixed(tweak32, 32, "tweak"))

    # -- formats --------------------------------------------------------------

    def p2pkh(self, network: Network = 0) -> str:
        """The P2PKH address of this key (see ``qorvex.bitcoin.p2pkh``)."""
        from .bitcoin import p2pkh
        return p2pkh(self, network)

    def p2wpkh(self, network: Network = 0) -> str:
        """The P2WPKH address of this key (see ``qorvex.bitcoin.p2wpkh``)."""
        from .bitcoin import p2wpkh
        return p2wpkh(self, network)

    def p2sh_p2wpkh(self, network: Network = 0) -> str:
        """The P2SH-P2WPKH address of this key (see ``qorvex.bitcoin.p2sh_p2wpkh``)."""
        from .bitcoin import p2sh_p2wpkh
        return p2sh_p2wpkh(self, network)

    def eth_address(self) -> str:
        """The EIP-55 checksummed Ethereum address text ("0x...")."""
        from .eth import address_checksummed
        return address_checksummed(self)

    def encrypt(self, plaintext: BytesLike) -> bytes:
        """An ECIES envelope of plaintext for this key."""
        from .ecies import encrypt
        return encrypt(self, plaintext)


class XOnlyPublicKey:
    """A BIP-340 x-only public key: the 32-byte x coordinate of a point with
    even y. ``XOnlyPublicKey(x32)`` checks that x is on the curve."""

    __slots__ = ("_b",)

    def __init__(self, data: BytesLike) -> None:
        x = bytes(_fixed(data, 32, "x-only public key"))
        c = _ctx()
        rc = C.qorvex_pubkey_parse(c, b"\x02" + x, 33, _B33())
        if rc:
            raise _failure(rc, c)
        self._b = x

    @classmethod
    def _trusted(cls, b32):
        self = object.__new__(cls)
        self._b = b32
        return self

    def __bytes__(self):
        return self._b

    def format(self) -> bytes:
        """The 32 bytes of the x coordinate."""
        return self._b

    def __eq__(self, other):
        if not isinstance(other, XOnlyPublicKey):
            return NotImplemented
        return self._b == other._b

    def __hash__(self):
        return hash(self._b)

    def __repr__(self):
        return "XOnlyPublicKey(%s)" % self._b.hex()

    def public_key(self) -> PublicKey:
        """The full key with even y."""
        return PublicKey._trusted(b"\x02" + self._b)

    def verify(self, signature64: BytesLike, msg32: BytesLike) -> bool:
        """True when the BIP-340 signature of the 32-byte message is valid;
        False when it is not (a signature with r >= p or s >= n included)."""
        if type(msg32) is not bytes or len(msg32) != 32:
            msg32 = _fixed(msg32, 32, "msg32")
        if type(signature64) is not bytes or len(signature64) != 64:
            signature64 = _fixed(signature64, 64, "signature")
        c = _ctx()
        rc = _schnorr_verify(c, msg32, signature64, self._b)
        if rc == 0:
            return True
        return _verdict(rc, c, _SIG_FALSE)

    def verify_message(self, signature64: BytesLike, message: BytesLike) -> bool:
        """As verify, for a signature made by PrivateKey.sign_schnorr_message."""
        msg, n = _core.var(message, "message")
        c = _ctx()
        rc = C.qorvex_schnorr_verify_msg(c, self._b, msg, n, _fixed(signature64, 64, "signature"))
        return _verdict(rc, c, _SIG_FALSE)

    def taproot_tweak(self, merkle_root: Optional[BytesLike] = None) -> Tuple["XOnlyPublicKey", int]:
        """(output key, parity) of the Taproot output of this internal key
        (BIP-341; ``merkle_root`` None for a key-path-only output, BIP-86)."""
        from .taproot import output_key
        return output_key(self, merkle_root)

    def p2tr(self, network: Network = 0) -> str:
        """The P2TR address with this key as the output key, as given (no
        tweak: use ``taproot_tweak()`` first for an internal key)."""
        from .bitcoin import p2tr
        return p2tr(self, network)


class KeyPair(_core.SecretHolder):
    """A private key prepared for BIP-340 signing: the secret key with its
    public point (96 bytes), so each signature skips one multiplication. The
    record holds the secret key; it is wiped like a PrivateKey's."""

    __slots__ = ("_r", "__weakref__")
    _SECRET = "_r"
    _STORED = "private key"

    def __init__(self, key: SecretKeyLike) -> None:
        out = _B96()
        c = _ctx()
        rc = C.qorvex_keypair_create(c, _secret_of(key), out)
        if rc:
            raise _failure(rc, c)
        self._r = out

    @property
    def x_only_public_key(self) -> XOnlyPublicKey:
        """The x-only public key (the x coordinate of the record's point)."""
        return XOnlyPublicKey._trusted(self._r[32:64])

    def sign_schnorr(self, msg32: BytesLike, aux32: Optional[BytesLike] = None) -> bytes:
        """Byte for byte PrivateKey.sign_schnorr of the same key."""
        if type(msg32) is not bytes or len(msg32) != 32:
            msg32 = _fixed(msg32, 32, "msg32")
        aux32 = _urandom(32) if aux32 is None else _fixed(aux32, 32, "aux32")
        out = _B64()
        c = _ctx()
        rc = C.qorvex_schnorr_sign_keypair(c, msg32, self._r, aux32, out)
        if rc:
            raise _failure(rc, c)
        return out.raw

    def __repr__(self):
        return "KeyPair(<secret>)"
