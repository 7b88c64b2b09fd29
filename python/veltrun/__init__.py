"""Unwrap thunder://, flashget:// and qqdl:// links into the addresses they carry, find them in
any text, and make them.

Every record holds what ``veltrun --json`` writes for the same link, field for field::

    >>> import veltrun
    >>> veltrun.unwrap("thunder://QUFodHRwOi8vZXhhbXBsZS5jb20vYS56aXBaWg==").address
    'http://example.com/a.zip'
"""

from __future__ import annotations

import base64
import builtins
import json
from dataclasses import dataclass
from typing import Iterator, Optional, Tuple, Union

from . import _core

__all__ = ["Record", "unwrap", "find", "wrap", "SCHEMES"]
__version__: str = _core.version

#: The schemes a link may have, as `wrap` and `Record.scheme` name them.
SCHEMES: Tuple[str, ...] = _core.schemes


@dataclass(frozen=True)
class Record:
    """What reading one link gave: the fields of its ``veltrun --json`` record.

    ``outcome`` is ``"Decoded"`` (a scheme matched), ``"NotALink"`` (a "/" but no scheme),
    ``"Ignored"`` (no "/" at all), or, in lenient reading only, ``"NotAnAddress"`` (the link
    decodes to text that is no address) or ``"CutShort"`` (the text cut the link off); for
    these two, ``detail`` is what the link decodes to, as text, and None otherwise.
    ``address`` is the address as text, bytes that are no character written ``\\xNN``;
    ``bytes`` is the exact address. Both, and ``charset`` (the one used to read the address:
    ``"utf8"`` or ``"gbk"``), are None unless the link was Decoded; a Decoded link with an
    empty address holds none. ``input`` is the link as read, ``line`` its 1-based line in the
    text `find` searched (None for `unwrap`), ``repairs`` the ids of the repairs lenient
    reading made.
    """

    input: str
    line: Optional[int]
    scheme: Optional[str]
    outcome: str
    address: Optional[str]
    charset: Optional[str]
    bytes: Optional[builtins.bytes]
    repairs: Tuple[str, ...]
    detail: Optional[str]


def _record(line: str) -> Record:
    fields = json.loads(line)
    if fields["bytes"] is not None:
        fields["bytes"] = base64.b64decode(fields["bytes"])
    fields["repairs"] = tuple(fields["repairs"])
    return Record(**fields)


def _as_bytes(value: Union[str, builtins.bytes], name: str) -> builtins.bytes:
    if isinstance(value, str):
        # Text decoded with errors="surrogateescape" gives its bytes back.
        return value.encode("utf-8", "surrogateescape")
    if isinstance(value, (builtins.bytes, bytearray)):
        return builtins.bytes(value)
    raise TypeError("%s must be str or bytes, not %s" % (name, type(value).__name__))


def _check(value: object, kind: type, name: str) -> None:
    if not isinstance(value, kind):
        raise TypeError("%s must be %s, not %s" % (name, kind.__name__, type(value).__name__))


def _check_options(lenient: bool, charset: str) -> None:
    _check(lenient, bool, "lenient")
    _check(charset, str, "charset")


def unwrap(link: Union[str, builtins.bytes], *, lenient: bool = False,
           charset: str = "auto") -> Record:
    """Reads `link`, one link given whole, and returns its record.

    Strict reading (the default) follows the original download managers' rules exactly;
    ``lenient=True`` also repairs what web pages do to links and names each repair in
    ``Record.repairs``, reading a clean link as strict reading does. `charset` says how to show
    the address: ``"auto"`` (UTF-8 when it is valid UTF-8, else GBK), ``"gbk"`` or ``"utf8"``.

    Raises TypeError for an argument of the wrong type, ValueError for an unknown charset.
    """
    data = _as_bytes(link, "link")
    _check_options(lenient, charset)
    return _record(_core.read(data, lenient, charset))


def find(text: Union[str, builtins.bytes], *, lenient: bool = False,
         charset: str = "auto") -> Iterator[Record]:
    """Yields the record of each link in `text` (a web page, a list, a mail), in text order.

    A link runs from its scheme to the first space, line break, quote, "<" or ">"; lenient
    reading also finds links in capitals or percent-encoded and joins a payload a line break cut.
    The options are those of `unwrap`, checked when `find` is called. A link longer than 1 MiB
    is skipped, as the command-line tool skips it.
    """
    data = _as_bytes(text, "text")
    _check_options(lenient, charset)
    finder = _core.Finder(data, lenient, charset)

    def records() -> Iterator[Record]:
        while True:
            lines = finder.next()
            if lines is None:
                return
            for line in lines:
                yield _record(line)

    return records()


def wrap(address: Union[str, builtins.bytes], scheme: str, *, charset: str = "utf8") -> str:
    """Returns the link of `scheme` (``"thunder"``, ``"flashget"`` or ``"qqdl"``) for `address`.

    A str address is taken as UTF-8, bytes as they are. With ``charset="gbk"`` the UTF-8 address
    is converted to GBK (GB18030) first, as old Chinese links carry it. `unwrap` of the link
    gives the address bytes back.

    Raises ValueError with the reason for an address no link can carry (empty, a zero byte,
    with "gbk" not UTF-8 or a character GBK lacks), or for an unknown scheme or charset, and
    TypeError for an argument of the wrong type.
    """
    data = _as_bytes(address, "address")
    _check(scheme, str, "scheme")
    _check(charset, str, "charset")
    return _core.wrap(data, scheme, charset)
