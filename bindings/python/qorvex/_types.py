"""Names for the argument types of the public functions (for type hints)."""

from typing import TYPE_CHECKING, Union

if TYPE_CHECKING:  # pragma: no cover
    from .keys import PrivateKey, PublicKey, XOnlyPublicKey

#: Any contiguous buffer: bytes, bytearray, memoryview (or a ctypes c_char
#: array). A bytearray or writable memoryview is read in place, never copied.
BytesLike = Union[bytes, bytearray, memoryview]

#: 0 or "mainnet"; 1 or "testnet" (also "signet", "regtest").
Network = Union[int, str]

#: Public text such as a path or a WIF string: str (UTF-8) or bytes.
Text = Union[str, bytes]

#: Secret text (a mnemonic, a passphrase): a bytearray can be wiped afterwards.
SecretText = Union[str, bytes, bytearray, memoryview]

#: A PrivateKey or its 32 bytes.
SecretKeyLike = Union["PrivateKey", BytesLike]

#: A PublicKey or its 33 compressed bytes.
PublicKeyLike = Union["PublicKey", BytesLike]

#: An XOnlyPublicKey or its 32 bytes.
XOnlyLike = Union["XOnlyPublicKey", BytesLike]
