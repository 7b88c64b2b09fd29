#!/usr/bin/env python3
"""Tests of the veltrun command-line tool through its real binary, one group per ctest test.

Natively every case runs with real standard streams. Under Wine (--wine WRAPPER) the wrapper
gives the program no standard input and mixes its two output streams into one file, so text
meant for standard input goes through --file instead, and the output is compared as the
multiset of lines of both streams together.
"""

import argparse
import base64
import json
import os
import pty
import random
import select
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from group_runner import groups_in, run_groups  # noqa: E402

ESC = b"\x1b"


def b64(data: bytes) -> str:
    return base64.b64encode(data).decode("ascii")


# Links built with Python's own Base64, apart from the tool's encoder.
def thunder(address: bytes) -> str:
    return "thunder://" + b64(b"AA" + address + b"ZZ")


def flashget(address: bytes) -> str:
    return "flashget://" + b64(b"[FLASHGET]" + address + b"[FLASHGET]")


def qqdl(address: bytes) -> str:
    return "qqdl://" + b64(address)


WRAP = {"thunder": thunder, "flashget": flashget, "qqdl": qqdl}

FILM_UTF8 = "http://例子.cn/电影.mkv".encode("utf-8")
FILM_GBK = "http://例子.cn/电影.mkv".encode("gbk")


class Failure(Exception):
    pass


class Skip(Exception):
    """The group does not apply to this build."""


SKIPPED = 77  # ctest's SKIP_RETURN_CODE for a group that does not apply


class Result:
    def __init__(self, rc, out, err):
        self.rc, self.out, self.err = rc, out, err


class Tool:
    def __init__(self, exe, wine, version):
        self.exe, self.wine, self.version = exe, wine, version
        self.tmp = tempfile.mkdtemp(prefix="veltrun-cli-")

    def temp_file(self, data: bytes) -> str:
        fd, path = tempfile.mkstemp(dir=self.tmp)
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        return path

    # What messages call the text a case feeds in: standard input, or the file under Wine.
    def stdin_name(self, path):
        return "standard input" if self.wine is None else path

    def run(self, args, stdin=None, timeout=120):
        """Runs the tool; `stdin` (bytes) is fed as standard input, or as a file under Wine."""
        args = [a if isinstance(a, bytes) else a.encode("utf-8") for a in args]
        path = None
        if self.wine is None:
            proc = subprocess.run([self.exe] + args, input=stdin if stdin is not None else b"",
                                  capture_output=True, timeout=timeout)
            return Result(proc.returncode, proc.stdout, proc.stderr), path
        if stdin is not None:
            path = self.temp_file(stdin)
            if b"-" in args:
                i = args.index(b"-")
                args[i:i + 1] = [b"-f", path.encode()]
            else:
                args += [b"-f", path.encode()]
        log = os.path.join(self.tmp, "wine.log")
        with open(log, "wb") as out:
            proc = subprocess.run(self.wine + [self.exe] + args, stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=subprocess.STDOUT, timeout=timeout)
        with open(log, "rb") as f:
            return Result(proc.returncode, f.read(), None), path


def lines(data: bytes):
    return sorted(data.splitlines(keepends=True))


def check(tool, name, result, out=None, err=None, rc=None, err_contains=None):
    """Compares one run; under Wine `out` and `err` are compared together, as lines."""
    problems = []
    if rc is not None and result.rc != rc:
        problems.append(f"exit status {result.rc}, wanted {rc}")
    if tool.wine is None:
        if out is not None and result.out != out:
            problems.append(f"stdout {result.out!r}, wanted {out!r}")
        if err is not None and result.err != err:
            problems.append(f"stderr {result.err!r}, wanted {err!r}")
        if err_contains is not None:
            for part in err_contains:
                if part not in result.err:
                    problems.append(f"stderr {result.err!r} lacks {part!r}")
    else:
        if out is not None and err is not None and lines(result.out) != lines(out + err):
            problems.append(f"output {result.out!r}, wanted the lines of {out + err!r}")
        elif out is not None and err is None:
            for line in out.splitlines(keepends=True):
                if line not in result.out.splitlines(keepends=True):
                    problems.append(f"output {result.out!r} lacks line {line!r}")
        if err_contains is not None:
            for part in err_contains:
                if part not in result.out:
                    problems.append(f"output {result.out!r} lacks {part!r}")
    if problems:
        raise Failure(name + ": " + "; ".join(problems))


def run_table(tool, cases):
    """Each case: (name, args, stdin or None, expected stdout, expected stderr, exit status)."""
    for name, args, stdin, out, err, rc in cases:
        result, path = tool.run(args, stdin)
        if isinstance(err, str):
            if "{stdin}" in err:
                err = err.replace("{stdin}", tool.stdin_name(path))
            err = err.encode("utf-8")
        check(tool, name, result, out=out, err=err, rc=rc)


# ---------------------------------------------------------------------------------------------
# Groups


def group_help(tool):
    for args in (["-h"], ["--help"], ["-h", "--bogus"], ["thunder://x", "--help"], ["-lh"]):
        result, _ = tool.run(args)
        check(tool, " ".join(args), result, rc=0, err=b"" if tool.wine is None else None)
        text = result.out.decode("utf-8")
        for needed in ("Usage: veltrun", "--lenient", "--charset", "--json", "--percent-encode",
                       "--encode", "--file", "--version", "Exit status"):
            if needed not in text:
                raise Failure(f"{args}: help lacks {needed!r}")
        if max(len(line) for line in text.splitlines()) > 80:
            raise Failure(f"{args}: help has lines wider than 80 columns")
    for args in (["-V"], ["--version"]):
        result, _ = tool.run(args)
        check(tool, " ".join(args), result, rc=0, out=f"veltrun {tool.version}\n".encode(),
              err=b"")


def group_usage(tool):
    cases = [
        ("UnknownLong", ["--bogus"], "'--bogus'"),
        ("UnknownShort", ["-x"], "'-x'"),
        ("UnknownInGroup", ["-lz"], "'-z'"),
        ("UnknownAfterLinks", [thunder(b"http://a/b"), "--colour"], "'--colour'"),
        ("MissingCharset", ["--charset"], "'--charset'"),
        ("MissingEncode", ["-e"], "'-e'"),
        ("MissingFile", ["--file"], "'--file'"),
        ("BadCharset", ["--charset", "latin1", "x"], "'latin1'"),
        ("BadCharsetGlued", ["-clatin1"], "'latin1'"),
        ("BadScheme", ["--encode=ed2k", "x"], "'ed2k'"),
        ("ValueOnFlag", ["--json=yes"], "'--json'"),
        ("JsonWithEncode", ["--json", "-e", "qqdl", "x"], "'--json'"),
        ("LenientWithEncode", ["-e", "qqdl", "-l", "x"], "'--lenient'"),
        ("PercentWithEncode", ["-pe", "qqdl", "x"], "'--percent-encode'"),
    ]
    for name, args, named in cases:
        result, _ = tool.run(args)
        check(tool, name, result, rc=2, err_contains=[named.encode(), b"--help"])
        text = result.out if tool.wine is not None else result.err
        if text.count(b"\n") != 1 or not text.startswith(b"veltrun: "):
            raise Failure(f"{name}: wanted one 'veltrun: ' line, got {text!r}")
        if tool.wine is None and result.out:
            raise Failure(f"{name}: usage error wrote to stdout: {result.out!r}")


def group_decode(tool):
    t, f, q = thunder(b"http://example.com/file.zip"), flashget(b"http://dl.example.com/a.rar"), \
        qqdl(b"http://down.example.com/setup.exe")
    run_table(tool, [
        ("Thunder", [t], None, b"http://example.com/file.zip\n", b"", 0),
        ("FlashGet", [f], None, b"http://dl.example.com/a.rar\n", b"", 0),
        ("Qqdl", [q], None, b"http://down.example.com/setup.exe\n", b"", 0),
        ("InArgumentOrder", [q, t, f], None,
         b"http://down.example.com/setup.exe\nhttp://example.com/file.zip\n"
         b"http://dl.example.com/a.rar\n", b"", 0),
        ("FlashGetTagSuffix", [f + "&1926"], None, b"http://dl.example.com/a.rar\n", b"", 0),
        ("NoSlashIsNoLink", ["hello"], None, b"", "veltrun: hello: not a link (no '/' in it)\n", 1),
        ("HttpIsRefused", ["http://a/b"], None, b"",
         "veltrun: http://a/b: not a thunder://, flashget:// or qqdl:// link\n", 1),
        ("ArgumentIsOneLinkExactly", [" " + t], None, b"",
         f"veltrun:  {t}: not a thunder://, flashget:// or qqdl:// link"
         " (a link stands further in: give the text on standard input to find it)\n", 1),
        ("LinkInProseArgument", ["see:" + q], None, b"",
         f"veltrun: see:{q}: not a thunder://, flashget:// or qqdl:// link"
         " (a link stands further in: give the text on standard input to find it)\n", 1),
        # The message's excerpt, cut inside a character, still reads as the UTF-8 it is.
        ("LongChineseArgument", ["a" + "电" * 200 + "/x"], None, b"",
         "veltrun: a" + "电" * 23 + "...: not a thunder://, flashget:// or qqdl:// link\n", 1),
        ("EmptyAddress", ["thunder://"], None, b"",
         "veltrun: thunder://: the link holds no address\n", 1),
        ("OthersStillWritten", ["hello", t, "thunder://QUFaWg=="], None,
         b"http://example.com/file.zip\n",
         "veltrun: hello: not a link (no '/' in it)\n"
         "veltrun: thunder://QUFaWg==: the link holds no address\n", 1),
        ("DashDashEndsOptions", ["--", "-h"], None, b"", "veltrun: -h: not a link (no '/' in it)\n",
         1),
        # 18 bytes need no padding, so the second payload, its prefix removed, decodes on.
        ("SameSchemeRunsOn", [thunder(b"http://a.cn/xz") + thunder(b"ftp://c/d")], None,
         b"http://a.cn/xzZZAAftp://c/d\n", b"", 0),
    ])


def group_find(tool):
    a, b, c = thunder(b"http://a/1.zip"), flashget(b"http://b/2.rar"), qqdl(b"http://c/3.exe")
    page = (f'<html><a href="{a}">one</a>\r\n<a href=\'{b}\'>two</a><{c}>\n'
            f'<p>Also {a} and {c}, or "{b}".</p></html>\n').encode()
    want = b"http://a/1.zip\nhttp://b/2.rar\nhttp://c/3.exe\nhttp://a/1.zip\nhttp://c/3.exe\n" \
           b"http://b/2.rar\n"
    prose = f"下载地址：{a}\t备用:{c}".encode("gbk") + b"\n"
    run_table(tool, [
        ("HtmlPage", [], page, want, b"", 0),
        ("HtmlPageWithDash", ["-"], page, want, b"", 0),
        ("GbkProse", [], prose, b"http://a/1.zip\nhttp://c/3.exe\n", b"", 0),
        ("NoLinkInText", [], b"nothing here\nhttp://x/y\n", b"",
         "veltrun: {stdin}: no thunder://, flashget:// or qqdl:// link found\n", 1),
        ("EmptyInput", [], b"", b"", "veltrun: {stdin}: no thunder://, flashget:// or qqdl:// "
         "link found\n", 1),
        ("CapitalSchemeNotFound", [], b"Thunder://QUFodHRwOi8vYS9iWlo=\n", b"",
         "veltrun: {stdin}: no thunder://, flashget:// or qqdl:// link found "
         "(--lenient finds 1 link, repairing scheme letter case)\n", 1),
        ("EveryMissedLinkNamed", [], b"QQDL://eA== qqdl:\\/\\/eA== x qqdl%3A%2F%2FeA==\n", b"",
         "veltrun: {stdin}: no thunder://, flashget:// or qqdl:// link found (--lenient finds 3 "
         "links, repairing scheme letter case, percent escapes (%3A %2F %2B %3D), JSON escapes "
         "(\\/))\n", 1),
        ("NoLinkAnywhere", [], b"http://a/b and thunder: talk\n", b"",
         "veltrun: {stdin}: no thunder://, flashget:// or qqdl:// link found\n", 1),
        ("BareSchemeInProse", [], f"use thunder:// links like {c}\n".encode(),
         b"http://c/3.exe\n", "veltrun: {stdin}, line 1: thunder://: the link holds no address\n",
         1),
        ("LineNumbers", [], b"\n\nx thunder://QUFaWg==\n", b"",
         "veltrun: {stdin}, line 3: thunder://QUFaWg==: the link holds no address\n", 1),
        ("ArgumentsThenText", [c, "-"], f"{a}\n".encode(), b"http://c/3.exe\nhttp://a/1.zip\n", b"",
         0),
    ])
    # Where each link ends shows in its input: at the quote, "<", ">", comma-free whitespace.
    tail = f"{c}</p>\n{a},x\n".encode()
    result, _ = tool.run(["--json"], page + tail)
    check(tool, "JsonInputs", result, rc=0)
    inputs = [(json.loads(l)["input"], json.loads(l)["line"]) for l in result.out.splitlines()
              if l.startswith(b"{")]
    if inputs != [(a, 1), (b, 2), (c, 2), (a, 3), (c + ",", 3), (b, 3), (c, 4), (a + ",x", 5)]:
        raise Failure(f"JsonInputs: {inputs}")


def group_charset(tool):
    gbk_link = thunder(FILM_GBK)
    utf8_link = qqdl(FILM_UTF8)
    # 0x80 and 0xFF start no GB18030 character; 0xB5 is a lead byte cut by a space.
    broken = qqdl(b"http://a/\x80\xb5\xe7 \xb5 \xff")
    run_table(tool, [
        ("AutoConvertsGbk", [gbk_link], None, FILM_UTF8 + b"\n", b"", 0),
        ("AutoKeepsUtf8", [utf8_link], None, FILM_UTF8 + b"\n", b"", 0),
        ("GbkOnGbk", ["--charset", "gbk", gbk_link], None, FILM_UTF8 + b"\n", b"", 0),
        # GBK can look like UTF-8 in places: D3 B0 is U+04F0.
        ("Utf8OnGbk", ["--charset=utf8", gbk_link], None,
         "http://\\xC0\\xFD\\xD7\\xD3.cn/\\xB5\\xE7\u04f0.mkv\n".encode(), b"", 0),
        ("RawKeepsBytes", ["-c", "raw", gbk_link], None, FILM_GBK + b"\n", b"", 0),
        ("RawKeepsUtf8Bytes", ["-craw", utf8_link], None, FILM_UTF8 + b"\n", b"", 0),
        ("BrokenBytesShownNotDropped", [broken], None,
         "http://a/\\x80电 \\xB5 \\xFF\n".encode(), b"", 0),
        ("BrokenUtf8", ["-c", "utf8", qqdl(b"http://a/\xe7\x94 \xc0\xaf")], None,
         b"http://a/\\xE7\\x94 \\xC0\\xAF\n", b"", 0),
    ])
    if tool.wine is None:
        # Four-byte GB18030 (Wine's code pages stop at GBK).
        run_table(tool, [
            ("FourByteGb18030", ["-c", "gbk", qqdl("http://a/😀".encode("gb18030"))], None,
             "http://a/😀\n".encode(), b"", 0),
        ])


def group_escape(tool):
    hostile = b"http://a/" + ESC + b"]0;pwned\x07" + ESC + b"[2J\r\x7f\x01"
    shown = b"http://a/\\x1B]0;pwned\\x07\\x1B[2J\\x0D\\x7F\\x01"
    c1 = "http://a/\u009b31m".encode("utf-8")
    for charset in ("auto", "utf8", "gbk", "raw"):
        run_table(tool, [(f"Controls-{charset}", ["-c", charset, qqdl(hostile)], None,
                          shown + b"\n", b"", 0)])
    run_table(tool, [
        ("C1InUtf8", [qqdl(c1)], None, b"http://a/\\xC2\\x9B31m\n", b"", 0),
        # Direction overrides would show "exe.jpg" for "gpj.exe"; a hyphen is left alone.
        ("BidiOverride", [qqdl("http://a/\u202egpj.exe\u200f\u2010".encode())], None,
         "http://a/\\xE2\\x80\\xAEgpj.exe\\xE2\\x80\\x8F\u2010\n".encode(), b"", 0),
        ("ControlsPercent", ["-p", qqdl(hostile)], None,
         b"http://a/%1B]0;pwned%07%1B[2J%0D%7F%01\n", b"", 0),
    ])
    # Messages echo the input escaped too, and JSON escapes every control.
    result, _ = tool.run([b"x" + ESC + b"[2J"])
    check(tool, "MessageEcho", result, rc=1, out=b"", err=b"veltrun: x\\x1B[2J: not a link "
          b"(no '/' in it)\n")
    tail = "\u009b\u202e".encode()
    result, _ = tool.run(["--json", qqdl(hostile + tail)])
    check(tool, "Json", result, rc=0)
    if any(byte < 0x20 and byte != 0x0A for byte in result.out) or b"\xc2\x9b" in result.out \
            or b"\xe2\x80\xae" in result.out:
        raise Failure(f"Json: raw control in {result.out!r}")
    record = json.loads(result.out.decode("utf-8").splitlines()[-1])
    if record["address"] != (hostile + tail).decode("utf-8"):
        raise Failure(f"Json: address {record['address']!r}")


def group_json(tool):
    rnd = random.Random(1926)
    link = thunder(FILM_GBK)
    result, _ = tool.run(["--json", link, "hello", "http://a/b", "thunder://"])
    check(tool, "Outcomes", result, rc=1)
    records = [json.loads(l) for l in result.out.decode("utf-8").splitlines()
               if l.startswith("{")]
    want = [("Decoded", "thunder", "http://例子.cn/电影.mkv", "gbk", b64(FILM_GBK)),
            ("Ignored", None, None, None, None), ("NotALink", None, None, None, None),
            ("Decoded", "thunder", "", "utf8", "")]
    got = [(r["outcome"], r["scheme"], r["address"], r["charset"], r["bytes"]) for r in records]
    if got != want:
        raise Failure(f"Outcomes: {got}")
    if [r["input"] for r in records] != [link, "hello", "http://a/b", "thunder://"] or \
            any(r["line"] is not None or r["repairs"] != [] for r in records):
        raise Failure(f"Outcomes: inputs {records}")

    # Random bytes around and inside links: every line is an object and all of it is UTF-8.
    chunks = []
    addresses = []
    for i in range(300):
        junk = bytes(rnd.randrange(256) for _ in range(rnd.randrange(40)))
        address = bytes(rnd.randrange(1, 256) for _ in range(rnd.randrange(1, 60)))
        scheme = rnd.choice(list(WRAP))
        chunks.append(junk + b" " + WRAP[scheme](address).encode() + b"\n")
        addresses.append(address)
        chunks.append(b"qqdl://" + bytes(rnd.randrange(256) for _ in range(rnd.randrange(30))))
    data = b"".join(chunks)
    for charset in ("auto", "gbk", "utf8", "raw"):
        result, _ = tool.run(["--json", "-c", charset], data)
        if result.rc not in (0, 1):
            raise Failure(f"Random-{charset}: exit status {result.rc}")
        text = result.out.decode("utf-8")  # raises on any invalid UTF-8
        records = [json.loads(l) for l in text.splitlines() if l.startswith("{")]
        if len(records) < 300:
            raise Failure(f"Random-{charset}: {len(records)} objects")
        decoded = [base64.b64decode(r["bytes"]) for r in records if r["outcome"] == "Decoded"]
        missing = [a for a in addresses if a not in decoded]
        if missing:
            raise Failure(f"Random-{charset}: addresses lost, e.g. {missing[0]!r}")
        for r in records:
            if r["charset"] not in ("utf8", "gbk", "raw", None):
                raise Failure(f"Random-{charset}: charset {r['charset']!r}")
            if charset != "auto" and r["charset"] not in (charset, None):
                raise Failure(f"Random-{charset}: charset {r['charset']!r}")


def group_roundtrip(tool):
    rnd = random.Random(20261208)
    for scheme, wrap in WRAP.items():
        # Any bytes but zero (no link carries one) and the line ends that split the input.
        addresses = [bytes(rnd.choice([b for b in range(1, 256) if b not in (10, 13)])
                           for _ in range(rnd.randrange(1, 80))) for _ in range(150)]
        result, _ = tool.run(["-e", scheme], b"\n".join(addresses) + b"\n")
        check(tool, f"Encode-{scheme}", result, rc=0)
        links = result.out.decode("ascii").splitlines()
        if links != [wrap(a) for a in addresses]:
            raise Failure(f"Encode-{scheme}: links differ from the reference encoding")
        result, _ = tool.run(["--json", "-c", "raw"] + links)
        check(tool, f"Decode-{scheme}", result, rc=0)
        back = [base64.b64decode(json.loads(l)["bytes"]) for l in result.out.splitlines()]
        if back != addresses:
            raise Failure(f"Decode-{scheme}: addresses do not come back")

        # Chinese text through GBK: common characters, ASCII and a few symbols.
        texts = ["http://例子.cn/" + "".join(chr(rnd.choice([rnd.randrange(0x4E00, 0x9FA6),
                                                              rnd.randrange(0x21, 0x7F)]))
                                               for _ in range(rnd.randrange(1, 30)))
                 for _ in range(60)]
        result, _ = tool.run(["-e", scheme, "--charset", "gbk"] + texts)
        check(tool, f"EncodeGbk-{scheme}", result, rc=0)
        links = result.out.decode("ascii").splitlines()
        if links != [wrap(t.encode("gbk")) for t in texts]:
            raise Failure(f"EncodeGbk-{scheme}: links differ from the reference encoding")
        result, _ = tool.run(["-c", "gbk"] + links)
        check(tool, f"DecodeGbk-{scheme}", result, rc=0,
              out="".join(t + "\n" for t in texts).encode("utf-8"))


def group_encode(tool):
    run_table(tool, [
        ("Thunder", ["-e", "thunder", "http://example.com/file.zip"], None,
         (thunder(b"http://example.com/file.zip") + "\n").encode(), b"", 0),
        ("FlashGet", ["--encode", "flashget", "http://a/b"], None,
         (flashget(b"http://a/b") + "\n").encode(), b"", 0),
        ("QqdlGlued", ["-eqqdl", "http://a/b"], None, (qqdl(b"http://a/b") + "\n").encode(), b"", 0),
        ("Utf8AsGiven", ["-e", "qqdl", "http://例子.cn/"], None,
         (qqdl("http://例子.cn/".encode()) + "\n").encode(), b"", 0),
        ("GbkConverted", ["-e", "thunder", "-c", "gbk", "http://例子.cn/电影.mkv"], None,
         (thunder(FILM_GBK) + "\n").encode(), b"", 0),
        ("LinesOfInput", ["-e", "qqdl"], b"http://a/1\r\n\nhttp://a/2", (qqdl(b"http://a/1") + "\n" +
                                                                         qqdl(b"http://a/2") + "\n").encode(), b"", 0),
        ("EmptyArgument", ["-e", "qqdl", "", "http://a/b"], None,
         (qqdl(b"http://a/b") + "\n").encode(), "veltrun: empty address\n", 1),
        ("ZeroByte", ["-e", "qqdl"], b"http://a/\x00b\nhttp://c/d\n", (qqdl(b"http://c/d") + "\n")
         .encode(), "veltrun: {stdin}, line 1: http://a/\\x00b: holds a zero byte, which no link "
         "can carry\n", 1),
        ("NotUtf8ForGbk", ["-e", "qqdl", "-c", "gbk"], b"http://a/\xb5\xe7\n", b"",
         "veltrun: {stdin}, line 1: http://a/电: not valid UTF-8, so not converted to GBK\n", 1),
    ])


def group_lenient(tool):
    base = b"http://a/?????~"  # its Base64 holds "+" and "/"
    link = qqdl(base)
    assert "+" in link and "/" in link[7:]
    urlsafe = link.replace("+", "-").replace("/", "_").replace("qqdl:__", "qqdl://")
    padded = thunder(b"http://a/xyz")
    assert padded.endswith("=")
    percent = "thunder%3A%2F%2F" + padded[10:].replace("=", "%3D")
    html = "qqdl://" + link[7:].replace("+", "&#43;")
    inner_plus = b"http://a/>>>x.rar"  # a "+" inside its payload
    spaced = qqdl(inner_plus).replace("+", " ")
    page = (f'<a href="/go?url={percent}&amp;n=1">a</a>\n'
            f"wrapped: {padded[:20]}\n{padded[20:]}\n").encode()
    nomarkers = "thunder://" + b64(b"http://a/b.zip")
    chinese = thunder("http://a/茅.mp3".encode("gbk"))  # GBK C3 A9, UTF-8 for "é"
    run_table(tool, [
        ("SchemeCase", ["-l", "THUNDER" + padded[7:]], None, b"http://a/xyz\n",
         f"veltrun: THUNDER{padded[7:]}: repaired scheme letter case\n", 0),
        ("UrlSafe", ["--lenient", urlsafe], None, base + b"\n",
         f"veltrun: {urlsafe}: repaired URL-safe Base64 (- _)\n", 0),
        ("PercentEncodedLink", ["-l", percent], None, b"http://a/xyz\n",
         f"veltrun: {percent}: repaired percent escapes (%3A %2F %2B %3D)\n", 0),
        ("HtmlEntity", ["-l", html], None, base + b"\n",
         f"veltrun: {html}: repaired HTML entities\n", 0),
        ("SpaceWasPlus", ["-l", spaced], None, inner_plus + b"\n",
         f"veltrun: {spaced}: repaired spaces that were '+'\n", 0),
        ("MissingMarkers", ["-l", nomarkers], None, b"http://a/b.zip\n",
         f"veltrun: {nomarkers}: repaired missing markers around the address\n", 0),
        ("ChineseReading", ["-l", chinese], None, "http://a/茅.mp3\n".encode(),
         f"veltrun: {chinese}: repaired the reading (GBK, not the UTF-8 it also is)\n", 0),
        ("StrictReadsUtf8", [chinese], None, "http://a/é.mp3\n".encode(), b"", 0),
        ("SoundLinkNoReport", ["-l", link], None, base + b"\n", b"", 0),
        ("HarmlessDamageNoReport", ["-l", padded + "&amp;1926"], None, b"http://a/xyz\n", b"",
         0),
        ("FoundInAnyCaseInText", ["-l"], f'<a href="Thunder{padded[7:]}">'.encode(),
         b"http://a/xyz\n",
         f"veltrun: {{stdin}}, line 1: Thunder{padded[7:]}: repaired scheme letter case\n", 0),
        ("FoundEncodedAndWrapped", ["-l"], page, b"http://a/xyz\nhttp://a/xyz\n",
         f"veltrun: {{stdin}}, line 1: {percent}&amp;n=1: repaired percent escapes "
         "(%3A %2F %2B %3D)\n"
         f"veltrun: {{stdin}}, line 2: {padded[:20]}\\x0A{padded[20:]}: repaired a line break "
         "or space in the payload\n", 0),
        ("StrictSaysLenientFinds", [], f'<a href="/go?url={percent}">'.encode(), b"",
         "veltrun: {stdin}: no thunder://, flashget:// or qqdl:// link found "
         "(--lenient finds 1 link, repairing percent escapes (%3A %2F %2B %3D))\n", 1),
        ("StrictRefusesCase", ["THUNDER" + padded[7:]], None, b"",
         f"veltrun: THUNDER{padded[7:]}: not a thunder://, flashget:// or qqdl:// link "
         "(--lenient would repair it)\n", 1),
        ("LenientFindsFurtherIn", ["-l", "x Qqdl://eA=="], None, b"",
         "veltrun: x Qqdl://eA==: not a thunder://, flashget:// or qqdl:// link "
         "(a link stands further in: give the text on standard input to find it)\n", 1),
    ])
    # Strict reading of the URL-safe link decodes only up to the first "-" or "_".
    result, _ = tool.run([urlsafe])
    if result.out.startswith(base):
        raise Failure("UrlSafeStrict: strict reading repaired the link")
    result, _ = tool.run(["-l", "--json", "THUNDER" + percent[7:]])
    # Under Wine stderr shares the stream, in either order: take the JSON line itself.
    record = json.loads(next(l for l in result.out.decode().splitlines() if l.startswith("{")))
    if record["repairs"] != ["scheme-case", "percent-escapes"] or record["address"] != "http://a/xyz":
        raise Failure(f"Json: {record}")


def group_percent(tool):
    run_table(tool, [
        ("GbkAsUtf8", ["-p", thunder(FILM_GBK)], None,
         b"http://%E4%BE%8B%E5%AD%90.cn/%E7%94%B5%E5%BD%B1.mkv\n", b"", 0),
        ("GbkRaw", ["-p", "-c", "raw", thunder(FILM_GBK)], None,
         b"http://%C0%FD%D7%D3.cn/%B5%E7%D3%B0.mkv\n", b"", 0),
        ("SpaceAndPercentSign", ["--percent-encode", qqdl(b"http://a/my file%20x")], None,
         b"http://a/my%20file%20x\n", b"", 0),
        ("InvalidBytesAsThemselves", ["-p", "-c", "utf8", qqdl(b"http://a/\xff\xe7\x94\xb5")],
         None, b"http://a/%FF%E7%94%B5\n", b"", 0),
        ("AsciiUntouched", ["-p", qqdl(b"http://a/b?c=d&e=f#g")], None,
         b"http://a/b?c=d&e=f#g\n", b"", 0),
    ])
    result, _ = tool.run(["-p", "--json", thunder(FILM_GBK)])
    # Under Wine stderr shares the stream, in either order: take the JSON line itself.
    record = json.loads(next(l for l in result.out.decode().splitlines() if l.startswith("{")))
    if record["address"] != "http://%E4%BE%8B%E5%AD%90.cn/%E7%94%B5%E5%BD%B1.mkv" or \
            record["bytes"] != b64(FILM_GBK):
        raise Failure(f"Json: {record}")


def group_io(tool):
    missing = os.path.join(tool.tmp, "missing.txt")
    good = thunder(b"http://a/b")
    result, _ = tool.run(["-f", missing, good])
    check(tool, "MissingFile", result, rc=2, out=b"http://a/b\n", err_contains=[b"missing.txt: "])
    result, _ = tool.run(["-f", missing, "hello"])
    check(tool, "ErrorOutranksRefusal", result, rc=2)
    path = tool.temp_file(f"{good}\n".encode())
    result, _ = tool.run(["--file", path, "-f", path])
    check(tool, "FileTwice", result, rc=0, out=b"http://a/b\nhttp://a/b\n")
    if tool.wine is not None:
        return
    with open("/dev/full", "wb") as full:
        proc = subprocess.run([tool.exe, good], stdout=full, stderr=subprocess.PIPE)
    if proc.returncode != 2 or b"veltrun: standard output: " not in proc.stderr:
        raise Failure(f"FullDisk: {proc.returncode} {proc.stderr!r}")
    fd = os.open(tool.tmp, os.O_RDONLY)
    try:
        proc = subprocess.run([tool.exe], stdin=fd, capture_output=True)
    finally:
        os.close(fd)
    if proc.returncode != 2 or not proc.stderr.startswith(b"veltrun: standard input: "):
        raise Failure(f"DirectoryAsInput: {proc.returncode} {proc.stderr!r}")


def group_pipe(tool):
    if tool.wine is not None:
        raise Skip("the Wine wrapper writes the output to a file, not a pipe")
    # A reader that stops early: the tool ends at once and says nothing.
    data = (thunder(b"http://a/" + b"x" * 200) + "\n").encode() * 200000
    path = tool.temp_file(data)
    proc = subprocess.Popen([tool.exe, "-f", path], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    proc.stdout.readline()
    proc.stdout.close()
    _, err = proc.communicate(timeout=60)
    if err or proc.returncode not in (-signal.SIGPIPE, 2):
        raise Failure(f"ClosedPipe: status {proc.returncode}, stderr {err!r}")
    # Same with SIGPIPE ignored by the parent: still quiet.
    proc = subprocess.Popen([tool.exe, "-f", path], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE,
                            preexec_fn=lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN))
    proc.stdout.readline()
    proc.stdout.close()
    _, err = proc.communicate(timeout=60)
    if err or proc.returncode not in (-signal.SIGPIPE, 2):
        raise Failure(f"ClosedPipeIgnored: status {proc.returncode}, stderr {err!r}")


def group_stream(tool):
    if tool.wine is None:
        # Each line is answered before the next is written: nothing waits for a full buffer.
        proc = subprocess.Popen([tool.exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)
        try:
            for i in range(5):
                proc.stdin.write((qqdl(f"http://a/{i}".encode()) + "\n").encode())
                proc.stdin.flush()
                ready, _, _ = select.select([proc.stdout], [], [], 20)
                line = proc.stdout.readline() if ready else b"(no answer in 20 s)"
                if line != f"http://a/{i}\n".encode():
                    raise Failure(f"Interactive: line {i} gave {line!r}")
        finally:
            proc.kill()
            proc.wait(timeout=30)
    if tool.wine is None:
        # Someone typing at a terminal is told how to end; the answer comes before the end.
        master, slave = pty.openpty()
        proc = subprocess.Popen([tool.exe], stdin=slave, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)
        os.close(slave)
        try:
            os.write(master, (qqdl(b"http://a/typed") + "\n").encode())
            ready, _, _ = select.select([proc.stdout], [], [], 20)
            line = proc.stdout.readline() if ready else b"(no answer in 20 s)"
            os.write(master, b"\x04")
            _, err = proc.communicate(timeout=20)
        finally:
            proc.kill()
            os.close(master)
        if line != b"http://a/typed\n" or b"from the terminal; end with Ctrl+D" not in err:
            raise Failure(f"Terminal: {line!r} {err!r}")
    # Links cut across the reader's 64 KiB pieces, and an overlong link skipped in bounded memory.
    filler = b"y" * (64 * 1024 - 5)
    link = thunder(b"http://a/cut")
    data = filler + link.encode() + b" " + filler + b"qqdl://" + b"A" * (2 << 20) + b"\n" + \
        link.encode() + b"\n"
    result, path = tool.run([], data)
    name = tool.stdin_name(path)
    check(tool, "Pieces", result, rc=1, out=b"http://a/cut\nhttp://a/cut\n",
          err_contains=[f"veltrun: {name}, line 1: qqdl://AAAA".encode(),
                        b"link of 2097159 bytes skipped, longer than 1048576 bytes"])


GROUPS = groups_in(globals())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wine", nargs="*", default=None, help="wrapper that runs a Windows exe")
    parser.add_argument("--version", required=True)
    parser.add_argument("--group", choices=sorted(GROUPS), action="append")
    args = parser.parse_args()
    tool = Tool(args.exe, args.wine, args.version)
    return run_groups(GROUPS, args.group, tool,
                      (Failure, subprocess.TimeoutExpired, json.JSONDecodeError,
                       UnicodeDecodeError, KeyError, IndexError),
                      tool.tmp, skip=Skip, skipped_status=SKIPPED)


if __name__ == "__main__":
    sys.exit(main())
