"""The one exception type of the library's failures."""

import enum


class ErrorCode(enum.IntEnum):
    """The library's error codes (include/qorvex.h, QORVEX_OK and QORVEX_ERR_*)."""

    OK = 0
    NULL_ARG = 1
    BAD_KEY = 2
    BAD_PUBKEY = 3
    BAD_SIG = 4
    BAD_INPUT = 5
    VERIFY_FAIL = 6
    ARITH = 7
    SELFTEST = 8
    INTERNAL = 9
    BUF_TOO_SMALL = 10
    NOT_FOUND = 11
    DEPRECATED = 12


def code_name(code):
    """The header's name of a code: "QORVEX_ERR_BAD_KEY" for 2."""
    try:
        member = ErrorCode(code)
    except ValueError:
        return "QORVEX_ERR_UNKNOWN"
    return "QORVEX_OK" if member is ErrorCode.OK else "QORVEX_ERR_" + member.name


class QorvexError(Exception):
    """A call into libqorvex failed.

    ``code`` is the integer the function returned (an ``ErrorCode`` when it
    is one of the known codes), ``name`` its name in the header
    ("QORVEX_ERR_BAD_KEY") and ``message`` the library's message for the
    failure, as ``qorvex_last_error_msg`` reports it ("privkey is zero or >=
    n"), or the code's fixed text for a function that records no message.
    """

    def __init__(self, code, message):
        try:
            code = ErrorCode(code)
        except ValueError:
            pass
        self.code = code
        self.name = code_name(code)
        self.message = message
        super().__init__("%s (%s, code %d)" % (message, self.name, int(code)))

    def __reduce__(self):
        return (type(self), (int(self.code), self.message))
