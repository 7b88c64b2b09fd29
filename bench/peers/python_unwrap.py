#!/usr/bin/env python3
"""Unwraps every thunder://, flashget:// and qqdl:// link found in standard input.

Writes one address per line, as the raw bytes it decodes to, in input order. A link runs from
its scheme to the first whitespace, quote, "<", ">" or end of text. The rules are those of the
C++ core: every occurrence of the matched prefix is removed, the leading run of Base64 symbols
is decoded ("=" or any other byte ends it, padding is optional), the bytes are cut at the first
zero byte, then the scheme's markers are cut by count from the end and then from the start.
Only the standard library is used: re to find links, base64 to decode.
"""
import base64
import re
import sys

LINK = re.compile(rb"(thunder|flashget|qqdl)://[^ \t\n\v\f\r\"'<>]*")
SYMBOLS = re.compile(rb"[A-Za-z0-9+/]*")
TRIM = {b"thunder": 2, b"flashget": 10, b"qqdl": 0}
BLOCK = 1 << 20


def unwrap(scheme, link):
    rest = link.replace(scheme + b"://", b"")
    run = SYMBOLS.match(rest).group()
    left = len(run) % 4
    if left == 1:
        run = run[:-1]  # a lone trailing symbol carries no whole byte
    elif left:
        run += b"=" * (4 - left)
    data = base64.b64decode(run)
    zero = data.find(b"\0")
    if zero >= 0:
        data = data[:zero]
    k = TRIM[scheme]
    if k:
        data = data[:-k] if len(data) > k else b""
        data = data[k:]
    return data


def unwrap_all(text, write):
    out = [unwrap(m.group(1), m.group(0)) for m in LINK.finditer(text)]
    if out:
        out.append(b"")
        write(b"\n".join(out))


def main():
    read = sys.stdin.buffer.read
    write = sys.stdout.buffer.write
    carry = b""
    # Blocks end at a line break, so no link is split and memory stays bounded.
    while True:
        block = read(BLOCK)
        if not block:
            break
        block = carry + block
        cut = block.rfind(b"\n") + 1
        carry = block[cut:]
        unwrap_all(block[:cut], write)
    unwrap_all(carry, write)
    sys.stdout.buffer.flush()


if __name__ == "__main__":
    main()
