"""The Python module against the command-line tool: the same records for the same links, its
arguments checked, and the wheel as a user installs it. Run by pytest in the virtual
environment the wheel went into, with VELTRUN_CLI naming the built veltrun."""

import base64
import dataclasses
import json
import os
import random
import subprocess
import sys
import types

import pytest

import veltrun

CLI = os.environ["VELTRUN_CLI"]
HERE = os.path.dirname(os.path.abspath(__file__))


def b64(data):
    return base64.b64encode(data).decode()


def thunder(address):
    return "thunder://" + b64(b"AA" + address + b"ZZ")


def cli_records(args, stdin=None):
    proc = subprocess.run([CLI, "--json"] + args, input=stdin, capture_output=True, timeout=60)
    assert proc.returncode in (0, 1), proc.stderr
    return [json.loads(line) for line in proc.stdout.decode().splitlines()]


def as_json(record):
    fields = dataclasses.asdict(record)
    fields["bytes"] = None if record.bytes is None else b64(record.bytes)
    fields["repairs"] = list(record.repairs)
    return fields


GBK_NAME = "http://example.com/电影.mkv"
UTF8_NAME = "http://example.com/音乐.mp3"


# ---------------------------------------------------------------------------------------------
# The API


def test_record_fields_are_the_json_records():
    record = veltrun.unwrap(thunder(UTF8_NAME.encode()))
    assert [f.name for f in dataclasses.fields(record)] == list(cli_records(["x/"])[0])
    assert (record.scheme, record.outcome, record.address, record.charset, record.line,
            record.repairs) == ("thunder", "Decoded", UTF8_NAME, "utf8", None, ())
    with pytest.raises(dataclasses.FrozenInstanceError):
        record.address = "changed"  # type: ignore[misc]


@pytest.mark.parametrize("link, outcome, scheme", [
    ("qqdl://" + b64(b"http://a/b"), "Decoded", "qqdl"),
    ("flashget://" + b64(b"[FLASHGET]http://a/b[FLASHGET]"), "Decoded", "flashget"),
    ("http://a/b", "NotALink", None),
    ("no slash", "Ignored", None),
    ("thunder://", "Decoded", "thunder"),
])
def test_outcomes(link, outcome, scheme):
    for given in (link, link.encode()):
        record = veltrun.unwrap(given)
        assert (record.outcome, record.scheme, record.input) == (outcome, scheme, link)
        assert (record.bytes is None) == (outcome != "Decoded")


def test_version_and_schemes_are_the_cli_s():
    shown = subprocess.run([CLI, "--version"], capture_output=True, text=True).stdout
    assert veltrun.__version__ in shown.split()
    assert veltrun.SCHEMES == ("thunder", "flashget", "qqdl")


# ---------------------------------------------------------------------------------------------
# GBK, UTF-8 and repaired links


@pytest.mark.parametrize("address, charset, shown, used", [
    (GBK_NAME.encode("gbk"), "auto", GBK_NAME, "gbk"),
    (UTF8_NAME.encode(), "auto", UTF8_NAME, "utf8"),
    (UTF8_NAME.encode(), "gbk", UTF8_NAME.encode().decode("gb18030"), "gbk"),
    (b"http://a/\xff\x07", "utf8", "http://a/\\xFF\u0007", "utf8"),
])
def test_charsets(address, charset, shown, used):
    record = veltrun.unwrap(thunder(address), charset=charset)
    assert (record.bytes, record.address, record.charset) == (address, shown, used)


@pytest.mark.parametrize("link, repairs", [
    ("THUNDER://" + b64(b"AAhttp://a/bZZ"), ("scheme-case",)),
    ("qqdl://" + b64(b"http://a/b?>>").replace("+", "-"), ("url-safe-base64",)),
    ("thunder%3A%2F%2F" + b64(b"AAhttp://a/bZZ"), ("percent-escapes",)),
    ("qqdl://" + b64(b"http://a/b?>>"), ()),
])
def test_lenient_repairs(link, repairs):
    repaired = veltrun.unwrap(link, lenient=True)
    assert repaired.outcome == "Decoded" and repaired.repairs == repairs
    assert repaired.bytes.startswith(b"http://a/b")
    strict = veltrun.unwrap(link)
    assert (strict.bytes == repaired.bytes) == (repairs == ())
    assert strict.repairs == ()


@pytest.mark.parametrize("link, outcome, detail", [
    ("thunder://QQ==", "NotAnAddress", "A"),
    ("qqdl://" + b64(b"http://a/bc")[:-4] + "\u2026", "CutShort", "http://a/"),
])
def test_lenient_names_what_is_no_address(link, outcome, detail):
    record = veltrun.unwrap(link, lenient=True)
    assert (record.outcome, record.detail, record.address, record.bytes) == (
        outcome, detail, None, None)
    assert as_json(record) == cli_records(["--lenient", link])[0]
    assert veltrun.unwrap(link).outcome == "Decoded"


# ---------------------------------------------------------------------------------------------
# find on a page's text

PAGE = """<html><body>
<a href="%s">电影</a>
<p>plain text http://not/a/link</p><a href='%s'>x</a>
<a href="/go?u=thunder%%3A%%2F%%2F%s">percent-encoded</a>
</body></html>
""" % (thunder(GBK_NAME.encode("gbk")), "qqdl://" + b64(b"http://a/b"),
       b64(b"AAhttp://c/dZZ"))


def test_find_on_a_page():
    found = veltrun.find(PAGE)
    assert isinstance(found, types.GeneratorType)
    assert [(r.line, r.scheme, r.address) for r in found] == [
        (2, "thunder", GBK_NAME), (3, "qqdl", "http://a/b")]
    lenient = list(veltrun.find(PAGE.encode("gbk"), lenient=True))
    assert [(r.line, r.address, r.repairs) for r in lenient] == [
        (2, GBK_NAME, ()), (3, "http://a/b", ()), (4, "http://c/d", ("percent-escapes",))]
    assert lenient[2].input == "thunder%3A%2F%2F" + b64(b"AAhttp://c/dZZ")


def test_find_reads_a_long_text_in_pieces():
    links = [thunder(b"http://a/%d" % i) for i in range(20000)]
    found = veltrun.find("\n".join(links))
    assert next(found).address == "http://a/0"
    rest = list(found)
    assert len(rest) == 19999 and rest[-1].line == 20000 and rest[-1].input == links[-1]
    assert list(veltrun.find("")) == [] and list(veltrun.find(b"no links")) == []


# ---------------------------------------------------------------------------------------------
# wrap


@pytest.mark.parametrize("scheme", veltrun.SCHEMES)
@pytest.mark.parametrize("address, charset, carried", [
    ("http://example.com/a b.zip", "utf8", b"http://example.com/a b.zip"),
    (UTF8_NAME, "utf8", UTF8_NAME.encode()),
    (GBK_NAME, "gbk", GBK_NAME.encode("gb18030")),
    (b"http://a/\xb5\xe7", "utf8", b"http://a/\xb5\xe7"),
])
def test_wrap_round_trips(scheme, address, charset, carried):
    link = veltrun.wrap(address, scheme, charset=charset)
    assert isinstance(link, str) and link.startswith(scheme + "://")
    record = veltrun.unwrap(link)
    assert (record.scheme, record.bytes) == (scheme, carried)
    cli = ["--charset", "gbk"] if charset == "gbk" else []
    made = subprocess.run([CLI, "--encode", scheme] + cli, capture_output=True,
                          input=address if isinstance(address, bytes) else address.encode())
    assert made.stdout.decode() == link + "\n"


@pytest.mark.parametrize("address, charset", [
    ("http://a/\0b", "utf8"),
    (b"http://a/\xb5", "gbk"),
    ("", "utf8"),
])
def test_wrap_refusals_give_the_cli_s_reasons(address, charset):
    with pytest.raises(ValueError) as refused:
        veltrun.wrap(address, "qqdl", charset=charset)
    data = address if isinstance(address, bytes) else address.encode()
    # An empty address can only be an argument: an empty line of the input is skipped.
    proc = subprocess.run([CLI, "--encode", "qqdl", "--charset", charset] + ([] if data else [""]),
                          input=data, capture_output=True, timeout=30)
    reason = str(refused.value)
    assert proc.returncode == 1 and len(reason) > 10
    assert proc.stderr.decode().endswith(" %s\n" % reason), (proc.stderr, reason)


# ---------------------------------------------------------------------------------------------
# Bad arguments


@pytest.mark.parametrize("call, error, message", [
    (lambda: veltrun.unwrap(None), TypeError, "link must be str or bytes, not NoneType"),
    (lambda: veltrun.unwrap("x", charset="latin1"), ValueError,
     "unknown charset 'latin1': auto, gbk or utf8"),
    (lambda: veltrun.unwrap("x", charset=None), TypeError, "charset must be str, not NoneType"),
    (lambda: veltrun.unwrap("x", lenient="yes"), TypeError, "lenient must be bool, not str"),
    (lambda: veltrun.unwrap("x", "auto"), TypeError, "positional argument"),
    (lambda: veltrun.find(42), TypeError, "text must be str or bytes, not int"),
    (lambda: veltrun.find("x", charset="raw"), ValueError, "unknown charset 'raw'"),
    (lambda: veltrun.wrap("http://a/b", "ed2k"), ValueError,
     "unknown scheme 'ed2k': thunder, flashget or qqdl"),
    (lambda: veltrun.wrap("http://a/b", "qqdl", charset="auto"), ValueError,
     "unknown charset 'auto': utf8 or gbk"),
    (lambda: veltrun.wrap(["http://a/b"], "qqdl"), TypeError,
     "address must be str or bytes, not list"),
    (lambda: veltrun.wrap("http://a/b", b"qqdl"), TypeError, "scheme must be str, not bytes"),
    (lambda: veltrun.unwrap("\ud800"), UnicodeEncodeError, "surrogates not allowed"),
])
def test_bad_arguments(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert message in str(raised.value)


# ---------------------------------------------------------------------------------------------
# The same records as the command-line tool, for generated links


def generated_links(count):
    rng = random.Random(17)
    pieces = [b"http://example.com/", "电影".encode("gbk"), "音乐".encode(), b"\xff", b"\x1b",
              b"%20", b"&amp;", b"a+b", b"\xe2\x80\xae", b"/?x=1"]
    links = []
    for i in range(count):
        address = b"".join(rng.choice(pieces) for _ in range(rng.randint(0, 6)))
        scheme = rng.choice(["thunder", "flashget", "qqdl"])
        marker = {"thunder": (b"AA", b"ZZ"), "flashget": (b"[FLASHGET]",) * 2,
                  "qqdl": (b"", b"")}[scheme]
        payload = b64(marker[0] + address + marker[1])
        damage = i % 6
        if damage == 1:
            scheme = scheme.upper()
        elif damage == 2:
            payload = payload.replace("+", "-").replace("/", "_").rstrip("=")
        elif damage == 3:
            payload = payload.replace("=", "%3D")
        elif damage == 4:
            payload = payload[:-3]
        links.append(scheme + "://" + payload)
    return links + ["http://plain/link", "no-slash", "thunder://"]


@pytest.mark.parametrize("lenient", [False, True])
@pytest.mark.parametrize("charset", ["auto", "gbk", "utf8"])
def test_same_records_as_the_cli(lenient, charset):
    links = generated_links(300)
    options = ["--charset", charset] + (["--lenient"] if lenient else [])
    wanted = cli_records(options + links)
    assert [as_json(veltrun.unwrap(link, lenient=lenient, charset=charset))
            for link in links] == wanted
    text = "\n".join("<a href=\"%s\">%d</a>" % (link, i) for i, link in enumerate(links))
    wanted = cli_records(options, stdin=text.encode())
    assert [as_json(r) for r in veltrun.find(text, lenient=lenient, charset=charset)] == wanted


# ---------------------------------------------------------------------------------------------
# The wheel as installed

TYPED_USE = """
import veltrun
record: veltrun.Record = veltrun.unwrap(b"qqdl://aHR0cDovL2EvYg==", lenient=True)
address: bytes = record.bytes or b""
lines = [r.line for r in veltrun.find("text", charset="gbk")]
link: str = veltrun.wrap("http://a/b", "thunder", charset="gbk")
wrong: int = veltrun.wrap("http://a/b", "thunder")
"""


def test_installed_wheel(tmp_path):
    assert veltrun.__file__.startswith(sys.prefix + os.sep) and sys.prefix != sys.base_prefix
    from importlib import metadata
    assert metadata.version("veltrun") == veltrun.__version__
    assert all(f.__doc__ for f in (veltrun, veltrun.unwrap, veltrun.find, veltrun.wrap))
    use = tmp_path / "use.py"
    use.write_text(TYPED_USE)
    proc = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-error-summary",
                           "--cache-dir", str(tmp_path / "cache"), os.path.dirname(veltrun.__file__),
                           str(use)],
                          capture_output=True, text=True, cwd=tmp_path)
    # The one error is the one the program makes on purpose.
    assert proc.stdout.splitlines() == [
        'use.py:7: error: Incompatible types in assignment (expression has type "str", '
        'variable has type "int")  [assignment]'], proc.stdout + proc.stderr
