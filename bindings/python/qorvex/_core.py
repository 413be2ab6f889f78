"""What every module shares: the per-thread context, start-up configuration,
argument checks and error reporting."""

from __future__ import annotations

import ctypes
import os
import threading
from hmac import compare_digest as _compare_digest
from typing import Optional, Union

from ._ffi import C
from .errors import ErrorCode, QorvexError

c_char = ctypes.c_char
_memset = ctypes.memset
_memmove = ctypes.memmove

# ---------------------------------------------------------------------------
# Contexts. A context holds only the last error code, and the message that
# goes with it is kept per thread, so each thread gets a context of its own:
# a code stored by another thread between our call and our reading it would
# name the wrong failure.

_tls = threading.local()
_state_lock = threading.Lock()
_first_context_made = False


class _Owned:
    """Destroys its context when the thread that made it goes away."""

    __slots__ = ("ptr",)

    def __init__(self, ptr):
        self.ptr = ptr

    def __del__(self, _destroy=C.qorvex_ctx_destroy):
        try:
            _destroy(self.ptr)
        except Exception:  # interpreter shutdown: the library may be gone
            pass


def _make_context():
    global _first_context_made
    with _state_lock:
        ptr = ctypes.c_void_p()
        rc = C.qorvex_ctx_create(ctypes.byref(ptr))
        if rc:
            raise QorvexError(rc, C.qorvex_error_str(rc).decode())
        _first_context_made = True
    _tls.owner = _Owned(ptr)
    _tls.ctx = ptr
    return ptr


def ctx():
    """The calling thread's context (made on first use)."""
    try:
        return _tls.ctx
    except AttributeError:
        return _make_context()


def context_exists():
    return _first_context_made


def configure(window_bits: Optional[int] = None,
              cache_dir: Optional[Union[str, bytes, "os.PathLike[str]"]] = None) -> None:
    """Chooses the generator tables, before the first call that needs a context.

    The first context of a process builds or loads tables of multiples of G
    that verification, key recovery and public-key tweaks use. The library's
    default is 18-bit windows: 255 MB in memory and in the cache file, about
    half a second to load (a second to build the first time), and the fastest
    verification. ``window_bits=8`` takes 0.5 MB and a few milliseconds, with
    verification and recovery about 10% slower (public tweak add about 35%):
    the choice for short-lived programs and tests. Any width from 2 to 30 is
    accepted. ``None`` keeps the library's default (or the
    SECP256K1_WINDOW_BITS of the environment).

    ``cache_dir`` is the directory of the table cache file (by default
    $XDG_CACHE_HOME/qorvex or ~/.cache/qorvex). A path that is not a
    directory, such as "/dev/null", keeps the tables off disk. ``None``
    leaves the location alone.

    Signing and key creation never use these tables. The settings are read
    when the first context is made, so calling this afterwards raises
    QorvexError (QORVEX_ERR_BAD_INPUT) and changes nothing; so does a width
    outside 2..30 (ValueError). Setting SECP256K1_WINDOW_BITS in the
    environment before start-up has the same effect as ``window_bits``.
    """
    if window_bits is not None:
        if isinstance(window_bits, bool) or not isinstance(window_bits, int):
            raise TypeError("window_bits must be an int")
        if not 2 <= window_bits <= 30:
            raise ValueError("window_bits must be between 2 and 30, got %d" % window_bits)
    if cache_dir is not None:
        cache_dir = os.fsencode(cache_dir)
        if b"\0" in cache_dir:
            raise ValueError("cache_dir must not contain a NUL character")
    with _state_lock:
        if _first_context_made:
            raise QorvexError(ErrorCode.BAD_INPUT,
                              "configure() must be called before the first context is made")
        if window_bits is not None:
            os.environ["SECP256K1_WINDOW_BITS"] = str(window_bits)
        if cache_dir is not None:
            rc = C.qorvex_set_cache_dir(cache_dir)
            if rc:
                raise failure(rc)


def cache_location() -> Optional[str]:
    """The generator-table cache file in use (once the first context exists;
    before, the one it would use), or None when the tables are kept in
    memory only. The file need not exist yet."""
    size = 4096
    while True:
        buf = ctypes.create_string_buffer(size)
        n = ctypes.c_size_t(size)
        rc = C.qorvex_cache_location(buf, ctypes.byref(n))
        if rc == ErrorCode.NOT_FOUND:
            return None
        if rc == ErrorCode.BUF_TOO_SMALL and size < (1 << 20):
            size *= 16
            continue
        if rc:
            raise failure(rc)
        return os.fsdecode(buf.raw[:n.value])


# ---------------------------------------------------------------------------
# Errors

def failure(rc, c=None):
    """The QorvexError of return code rc: the message recorded in context c
    when it holds that code, else the code's fixed text (for functions that
    take no context or record no message)."""
    if c is not None and C.qorvex_last_error(c) == rc:
        msg = C.qorvex_last_error_msg(c)
    else:
        msg = C.qorvex_error_str(rc)
    return QorvexError(rc, msg.decode("utf-8", "replace"))


# ---------------------------------------------------------------------------
# Inputs. bytes go to C in place (ctypes passes a pointer to their buffer);
# a bytearray or writable memoryview is read in place too, so a caller that
# wipes it afterwards leaves no copy behind; a read-only memoryview is copied.

_ARRAY_TYPES = {}


def array_type(n):
    t = _ARRAY_TYPES.get(n)
    if t is None:
        t = _ARRAY_TYPES[n] = c_char * n
    return t


def _view(value, what):
    if isinstance(value, ctypes.Array) and value._type_ is c_char:
        return value, ctypes.sizeof(value)
    try:
        mv = memoryview(value)
    except TypeError:
        raise TypeError("%s must be bytes-like, not %s" % (what, type(value).__name__)) from None
    if not mv.c_contiguous:
        raise ValueError("%s must be a contiguous buffer" % what)
    mv = mv.cast("B")
    if mv.readonly:
        return mv.tobytes(), mv.nbytes
    return array_type(mv.nbytes).from_buffer(mv), mv.nbytes


def fixed(value, size, what):
    """A fixed-size input: ValueError unless it holds exactly ``size`` bytes."""
    if type(value) is bytes:
        if len(value) == size:
            return value
        raise ValueError("%s must be %d bytes, got %d" % (what, size, len(value)))
    obj, n = _view(value, what)
    if n != size:
        raise ValueError("%s must be %d bytes, got %d" % (what, size, n))
    return obj


def fixed_or_none(value, size, what):
    return None if value is None else fixed(value, size, what)


def var(value, what):
    """A variable-length input: (object to pass, length). An empty input is
    passed as a valid pointer, never NULL."""
    if type(value) is bytes:
        return value, len(value)
    obj, n = _view(value, what)
    if n == 0:
        return b"", 0
    return obj, n


def sequence(items, what):
    """A list of the items; TypeError for one buffer, whose iteration would
    give ints."""
    if isinstance(items, (bytes, bytearray, memoryview, str)):
        raise TypeError("%s must be a sequence of items, not one buffer" % what)
    return list(items)


def records(items, size, what):
    """A list of fixed-size items as one run of bytes: (bytes, count)."""
    items = sequence(items, what)
    parts = []
    for i, item in enumerate(items):
        if type(item) is bytes and len(item) == size:
            parts.append(item)
            continue
        obj = fixed(item, size, "%s[%d]" % (what, i))
        parts.append(bytes(obj) if not isinstance(obj, bytes) else obj)
    return b"".join(parts), len(parts)


def text(value, what):
    """A NUL-terminated text input from str (UTF-8) or bytes."""
    if isinstance(value, str):
        value = value.encode("utf-8")
    elif not isinstance(value, bytes):
        raise TypeError("%s must be str or bytes, not %s" % (what, type(value).__name__))
    if b"\0" in value:
        raise ValueError("%s must not contain a NUL character" % what)
    return value


class SecretText:
    """A secret text input (mnemonic, passphrase) in a buffer of our own,
    wiped when done. Accepts str, bytes, bytearray and writable buffers; only
    the caller's bytearray can be wiped on the caller's side."""

    __slots__ = ("buf", "n")

    def __init__(self, value, what):
        if isinstance(value, str):
            value = value.encode("utf-8")
        obj, n = _view(value, what) if not isinstance(value, bytes) else (value, len(value))
        # Checked in the source: reading our copy back would make another.
        if (b"\0" in obj) if isinstance(obj, bytes) else (0 in memoryview(obj).cast("B")):
            raise ValueError("%s must not contain a NUL character" % what)
        buf = ctypes.create_string_buffer(n + 1)
        _memmove(buf, obj, n)
        self.buf = buf
        self.n = n

    def __enter__(self):
        return self.buf

    def __exit__(self, *exc):
        wipe(self.buf)


def wipe(buf):
    """Zeroes a ctypes buffer."""
    _memset(buf, 0, ctypes.sizeof(buf))


class SecretHolder:
    """The lifetime of an object that keeps a secret in a ctypes buffer (the
    slot named by _SECRET): wipe(), a with-block that wipes when it ends, and
    a wipe when the object is collected. Two holders are equal when their
    secrets are (compared in constant time, without copies); they are not
    hashable, and refuse pickling (the message names _STORED, what to store
    instead)."""

    __slots__ = ()
    _SECRET = ""
    _STORED = "secret"

    @classmethod
    def _adopt(cls, buf):
        """Wraps a buffer that already holds a valid secret (no copy)."""
        self = object.__new__(cls)
        setattr(self, cls._SECRET, buf)
        return self

    def _compared(self):
        """The bytes that equality compares: the whole secret buffer."""
        return getattr(self, self._SECRET)

    def wipe(self) -> None:
        """Zeroes the secret; the object is unusable afterwards."""
        wipe(getattr(self, self._SECRET))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.wipe()

    def __del__(self):
        try:
            self.wipe()
        except Exception:
            pass

    def __eq__(self, other):
        if not isinstance(other, type(self)):
            return NotImplemented
        return _compare_digest(self._compared(), other._compared())

    __hash__ = None

    def __reduce__(self):
        raise TypeError("%s is not picklable: store its %s deliberately" % (type(self).__name__, self._STORED))


class SingleUseNonce(SecretHolder):
    """A secret nonce that signs once: ``_take()`` hands the secret to one
    signing call and refuses every later one (ValueError), as does a wiped
    nonce. It cannot be copied or pickled, and equals only itself. _WHAT
    names it in messages."""

    __slots__ = ("_sec", "_used")
    _SECRET = "_sec"
    _WHAT = "secret nonce"

    @property
    def used(self) -> bool:
        """True once the nonce has signed (or was handed to a signing call)."""
        return self._used

    def _take(self):
        if self._used:
            raise ValueError("this %s has already signed: a nonce signs once" % self._WHAT)
        self._used = True
        return self._sec

    def wipe(self) -> None:
        """Zeroes the secret nonce; it can no longer sign."""
        self._used = True  # a zeroed nonce must never reach a signing call
        wipe(self._sec)

    def __copy__(self):
        raise TypeError("a secret nonce must not be copied")

    def __deepcopy__(self, memo):
        raise TypeError("a secret nonce must not be copied")

    def __reduce__(self):
        raise TypeError("a secret nonce must not be pickled or stored")

    __eq__ = object.__eq__
    __hash__ = object.__hash__

    def __repr__(self):
        return "%s(%s)" % (type(self).__name__, "used" if self._used else "unused")


def text_out(call, size, c, secret=False):
    """The ASCII text that call(buffer, byref(length)) writes into a buffer
    of ``size`` bytes; QorvexError on a failure (its message from context c).
    The buffer of a secret text (WIF, xprv) is wiped on every path; the
    bytes read from it and the str returned are copies Python cannot wipe."""
    buf = ctypes.create_string_buffer(size)
    n = ctypes.c_size_t(size)
    try:
        rc = call(buf, ctypes.byref(n))
        if rc:
            raise failure(rc, c)
        return ctypes.string_at(buf, n.value).decode("ascii")
    finally:
        if secret:
            wipe(buf)


def take_secret(buf, n=None):
    """The bytes of a secret output buffer (its first n bytes, all of it
    for None), which is then wiped (the bytes object is the caller's to
    keep, and Python cannot wipe it)."""
    out = buf.raw if n is None else ctypes.string_at(buf, n)
    _memset(buf, 0, ctypes.sizeof(buf))
    return out


def random_buffer(n):
    """A new ctypes buffer of n bytes from the operating system's generator.
    The bytes are read straight into it (os.urandom and os.getrandom return
    bytes objects, which could not be wiped): wipe() it when done."""
    buf = array_type(n)()
    view = memoryview(buf).cast("B")
    got = 0
    with open("/dev/urandom", "rb", buffering=0) as f:
        while got < n:
            k = f.readinto(view[got:])
            if not k:
                wipe(buf)
                raise OSError("/dev/urandom gave no bytes")
            got += k
    return buf


def copy_buffer(src, size):
    """A new ctypes buffer holding the bytes of a buffer of our own."""
    dst = array_type(size)()
    _memmove(dst, src, size)
    return dst


def check_int(value, what, lo, hi):
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError("%s must be an int, not %s" % (what, type(value).__name__))
    if not lo <= value <= hi:
        raise ValueError("%s must be between %d and %d, got %d" % (what, lo, hi, value))
    return value


def network(value):
    """0 (mainnet) or 1 (testnet, signet, regtest); also the names."""
    if value in ("mainnet", "main", "bitcoin"):
        return 0
    if value in ("testnet", "test", "signet", "regtest"):
        return 1
    return check_int(value, "network", 0, 1)


def verdict(rc, c, false_codes):
    """True for 0, False for a code that means "does not verify", else raise."""
    if rc == 0:
        return True
    if rc in false_codes:
        return False
    raise failure(rc, c)
