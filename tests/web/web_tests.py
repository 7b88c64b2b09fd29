#!/usr/bin/python3
"""Tests of the browser page in Debian's Chromium, loaded from file://, one group per ctest test.

Links are made here with Python's own Base64, apart from the core's encoder; the same-bytes
group compares the page with the native `veltrun` on generated links.
"""

import argparse
import base64
import json
import os
import random
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "support"))
from group_runner import groups_in, run_groups  # noqa: E402

PAGE_FILES = ("index.html", "veltrun.css", "veltrun.js")
SIZE_LIMIT = 200 * 1024


def b64(data: bytes) -> str:
    return base64.b64encode(data).decode("ascii")


WRAP = {
    "thunder": lambda a: "thunder://" + b64(b"AA" + a + b"ZZ"),
    "flashget": lambda a: "flashget://" + b64(b"[FLASHGET]" + a + b"[FLASHGET]"),
    "qqdl": lambda a: "qqdl://" + b64(a),
}
FILM = "http://例子.cn/电影.mkv"
FILM_GBK_AS_UTF8 = r"http://\xC0\xFD\xD7\xD3.cn/\xB5\xE7Ӱ.mkv"  # D3 B0 is also UTF-8


class Failure(Exception):
    pass


def expect(name, got, wanted):
    if got != wanted:
        raise Failure(f"{name}: got {got!r}, wanted {wanted!r}")


# Every row as the DOM shows it; `null` fields are absent.
ROWS_JS = """
const pick = (li, sel) => { const n = li.querySelector(sel); return n ? n.textContent : null; };
return [...document.querySelectorAll(arguments[0] + ' > li')].map(li => ({
  address: pick(li, '.address'), href: li.querySelector('a') ? li.querySelector('a').href : null,
  tags: [...li.querySelectorAll('.tag')].map(t => t.textContent), reason: pick(li, '.reason'),
  detail: pick(li, '.detail'), buttons: li.querySelectorAll('button').length,
  repairs: [...li.querySelectorAll('[data-repair]')].map(t => t.dataset.repair),
  hint: pick(li, '.hint'), input: pick(li, '.input'), where: pick(li, '.where'),
  links: [...li.querySelectorAll('.link code')].map(c => c.textContent),
  elements: [...li.querySelectorAll('*')].map(e => e.tagName.toLowerCase())}));
"""


class Page:
    def __init__(self, page_dir, scratch):
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync",
                     "--window-size=1000,900"):
            options.add_argument(flag)
        options.add_argument("--user-data-dir=" + tempfile.mkdtemp(dir=scratch))
        options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.execute_cdp_cmd("Browser.grantPermissions",
                                    {"permissions": ["clipboardReadWrite",
                                                     "clipboardSanitizedWrite"]})
        self.url = "file://" + os.path.join(os.path.abspath(page_dir), "index.html")
        self.driver.get(self.url)
        self.wait("document.body.dataset.ready === '1'")

    def close(self):
        self.driver.quit()

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def wait(self, condition, timeout=30):
        end = time.time() + timeout
        while not self.js("return " + condition):
            if time.time() > end:
                raise Failure("timed out waiting for " + condition)
            time.sleep(0.02)

    def decoded_mark(self):
        return self.js("return document.body.dataset.decoded || ''")

    def after_decode(self, action):
        """Runs `action` and waits until the page has decoded again."""
        before = self.decoded_mark()
        action()
        self.wait(f"(document.body.dataset.decoded || '') !== {json.dumps(before)}")

    def set_value(self, element_id, value):
        self.js("const box = document.getElementById(arguments[0]); box.value = arguments[1];"
                "box.dispatchEvent(new Event('input'));", element_id, value)

    def paste(self, text):
        self.after_decode(lambda: self.set_value("input", text))

    def select(self, element_id, value):
        self.after_decode(lambda: self.js(
            "const s = document.getElementById(arguments[0]); s.value = arguments[1];"
            "s.dispatchEvent(new Event('change'));", element_id, value))

    def set_strict(self, strict):
        if self.js("return document.getElementById('strict').checked") != strict:
            self.after_decode(lambda: self.driver.find_element(By.ID, "strict").click())

    def rows(self, list_id="rows", everything=False):
        if everything:  # scrolls until the list has rendered every row
            count = -1
            while count != len(self.js(ROWS_JS, "#" + list_id)):
                count = len(self.js(ROWS_JS, "#" + list_id))
                self.js("document.getElementById('more').scrollIntoView();")
                time.sleep(0.1)
        return self.js(ROWS_JS, "#" + list_id)

    def text(self, element_id):
        return self.js("return document.getElementById(arguments[0]).textContent", element_id)

    def clipboard(self):
        return self.driver.execute_async_script(
            "navigator.clipboard.readText().then(arguments[0], e => arguments[0]('ERR ' + e));")

    def english(self):
        self.driver.find_element(By.ID, "language").click()


# ---------------------------------------------------------------------------------------------
# Groups: each takes the page and the options.

NAMES = [  # (kind, address bytes, shown in auto, charset tag)
    ("ascii", b"http://example.com/setup.exe", "http://example.com/setup.exe", "UTF-8"),
    ("gbk", FILM.encode("gbk"), FILM, "GBK"),
    ("utf8", FILM.encode("utf-8"), FILM, "UTF-8"),
]
SCHEME_TAG = {"thunder": "迅雷", "flashget": "快车", "qqdl": "旋风"}


def group_schemes(page, args):
    for scheme, wrap in WRAP.items():
        for kind, address, shown, charset in NAMES:
            page.paste(wrap(address))
            [row] = page.rows()
            expect(f"{scheme}/{kind}", (row["address"], row["tags"][:2]),
                   (shown, [SCHEME_TAG[scheme], charset]))
            expect(f"{scheme}/{kind} href", row["href"] is not None, True)
    # A forced charset applies to every row and each row says which it used.
    page.paste(WRAP["thunder"](FILM.encode("gbk")) + "\n" + WRAP["qqdl"](FILM.encode("utf-8")))
    page.select("charset", "utf8")
    expect("forced utf8", [(r["address"], r["tags"][1]) for r in page.rows()],
           [(FILM_GBK_AS_UTF8, "UTF-8"), (FILM, "UTF-8")])
    page.select("charset", "gbk")
    expect("forced gbk", [r["tags"][1] for r in page.rows()], ["GBK", "GBK"])
    expect("forced gbk on GBK", page.rows()[0]["address"], FILM)


FORUM = """<div class="post">楼主：资源在下面，复制到迅雷就能下
<a href="{a}">高清下载</a> 备用：{b}，旋风用户点这里 '{c}'
<p>thunder:// 这个坏了别点</p>
镜像<br>{d}<br>—— 完 ——</div>
"""


def group_forum(page, args):
    links = [WRAP["thunder"](b"http://dl.example.com/a.rar"),
             WRAP["flashget"](FILM.encode("gbk")),
             WRAP["qqdl"]("ftp://镜像.example/文件.zip".encode("utf-8")),
             WRAP["thunder"](b"magnet:?xt=urn:btih:0123456789abcdef")]
    page.paste(FORUM.format(a=links[0], b=links[1], c=links[2], d=links[3]))
    rows = page.rows()
    expect("forum rows", [(r["address"], r["where"], r["reason"]) for r in rows], [
        ("http://dl.example.com/a.rar", "第 2 行", None),
        (FILM, "第 2 行", None),
        ("ftp://镜像.example/文件.zip", "第 2 行", None),
        (None, None, "链接中没有地址"),
        ("magnet:?xt=urn:btih:0123456789abcdef", "第 4 行", None),
    ])
    expect("forum summary", page.text("summary"), "找到 5 项：4 个地址，1 项无法还原。")
    expect("forum inputs", [rows[0]["input"], rows[2]["input"]], [links[0], links[2]])


CUT = WRAP["flashget"](b"http://dl.example.org/files/setup-2.4.1.exe")[:-16]
HOWTO = """<h2>迅雷链接是什么？</h2>
<p>the thunder://protocol is used by Xunlei. 例如 qqdl://test 这样的链接，或者 thunder://QQ== 。</p>
<p>完整的例子：{a} 与 {b}</p>
<p>摘录：thunder://QUFodHRwOi8vd3d3LmV4YW1wbGU…（省略） 以及 {cut}…</p>
"""


def group_howto(page, args):
    # A page about such links: its real links are listed, the rest named with what they decode
    # to, and none of those is offered to copy or open.
    links = [WRAP["thunder"](b"http://dl.example.com/a.rar"), WRAP["qqdl"](b"www.example.com/b.zip")]
    page.set_strict(False)
    page.paste(HOWTO.format(a=links[0], b=links[1], cut=CUT))
    not_address = "解码结果不是地址（可能只是提到了这种链接）："
    cut_short = "链接被截断，无法还原："
    rows = page.rows()
    expect("how-to rows", [(r["address"], r["reason"], r["detail"], r["href"] is not None, r["buttons"])
                           for r in rows], [
        (None, not_address, "\ue786-∈%", False, 0),
        (None, not_address, "惦-", False, 0),
        (None, not_address, "A", False, 0),
        ("http://dl.example.com/a.rar", None, None, True, 1),
        ("www.example.com/b.zip", None, None, False, 1),
        (None, cut_short, "http://www.example", False, 0),
        (None, cut_short, "http://dl.example.org/files/setup-2.4.1.e", False, 0),
    ])
    expect("how-to summary", page.text("summary"), "找到 7 项：2 个地址，5 项无法还原。")
    page.english()
    expect("how-to in English", [r["reason"] for r in page.rows()][-3:], [
        None, "the link is cut short and cannot be restored:",
        "the link is cut short and cannot be restored:"])
    page.english()


def group_files(page, args):
    # A real paste longer than the box shows: decoded whole across the pieces it is fed in.
    addresses = [f"http://dl.example.com/{i}/电影{i}.mkv" for i in range(1500)]
    links = [WRAP["thunder"](a.encode("gbk" if i % 2 else "utf-8")) for i, a in enumerate(addresses)]
    text = "".join(f"<li>第{i}集 😀 <a href='{link}'>下载</a></li>\n" for i, link in enumerate(links))
    page.driver.execute_async_script(
        "navigator.clipboard.writeText(arguments[0]).then(arguments[1]);", text)
    page.driver.find_element(By.ID, "input").click()
    page.after_decode(lambda: ActionChains(page.driver).key_down(Keys.CONTROL).send_keys("v")
                      .key_up(Keys.CONTROL).perform())
    expect("long paste", [r["address"] for r in page.rows(everything=True)], addresses)
    size = f"{sum(2 if ord(c) > 0xFFFF else 1 for c in text):,}"  # in UTF-16 units, as JS counts
    expect("long paste box", page.js("const box = document.getElementById('input');"
                                     "return [box.readOnly, box.value.length < 5000,"
                                     " document.getElementById('held-text').textContent]"),
           [True, True, f"这段文字有 {size} 个字符，框中只显示开头；其中的链接全部列在下面。"])
    page.after_decode(lambda: page.driver.find_element(By.ID, "release").click())
    expect("released", (page.rows(), page.js("return document.getElementById('input').value")),
           ([], ""))
    # A GBK web page opened through the file control, and a UTF-8 one dropped on the box.
    path = os.path.join(args.scratch, "下载.html")
    with open(path, "wb") as f:
        f.write(("<p>旋风下载：" + WRAP["qqdl"](FILM.encode("gbk")) + "</p>").encode("gbk"))
    page.after_decode(lambda: page.driver.find_element(By.ID, "file").send_keys(path))
    expect("opened file", (page.js("return document.getElementById('input').value"),
                           [r["address"] for r in page.rows()]),
           ("<p>旋风下载：" + WRAP["qqdl"](FILM.encode("gbk")) + "</p>", [FILM]))
    dropped = "快车：" + WRAP["flashget"](b"ftp://a.example/b.iso")
    page.after_decode(lambda: page.js("""
        const data = new DataTransfer();
        data.items.add(new File([new TextEncoder().encode(arguments[0])], 'list.txt'));
        document.getElementById('input').dispatchEvent(
            new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));""",
        dropped))
    expect("dropped file", [r["address"] for r in page.rows()], ["ftp://a.example/b.iso"])


REFUSED = [  # (text, strict, Chinese reason, English reason, hint shown)
    ("hello world", False, "不是链接（其中没有“/”）", "not a link (no '/' in it)", False),
    ("  http://a/b  ", False, "不是 thunder://、flashget:// 或 qqdl:// 链接",
     "not a thunder://, flashget:// or qqdl:// link", False),
    ("thunder://", False, "链接中没有地址", "the link holds no address", False),
    ("flashget://W0ZMQVNIR0VUXQ==", False, "链接中没有地址", "the link holds no address", False),
    ("QQDL://aHR0cDovL2EvYg==", True, "不是 thunder://、flashget:// 或 qqdl:// 链接",
     "not a thunder://, flashget:// or qqdl:// link", True),
    ("qqdl://" + "A" * (1 << 20), False, "链接超过 1048576 字节，已跳过",
     "link longer than 1048576 bytes skipped", False),
]


EXCERPTS = [  # (refused text, the row's input: at most 120 bytes and an ellipsis)
    ("a" + "电" * 200 + "/", "a" + "电" * 39 + "…"),
    ("电" * 200 + "/", "电" * 40 + "…"),
    ("ab" + "😀" * 40 + "/", "ab" + "😀" * 29 + "…"),
]


def group_refused(page, args):
    for language in ("zh", "en"):
        if language == "en":
            page.english()
        for text, strict, zh, en, hint in REFUSED:
            page.set_strict(strict)
            page.paste(text)
            [row] = page.rows()
            expect(f"{language} {text[:30]!r}", (row["reason"], row["hint"] is not None, row["address"]),
                   (zh if language == "zh" else en, hint, None))
    # A long refused text is shown cut at a character, as the UTF-8 it is, never read as GBK.
    for text, shown in EXCERPTS:
        page.paste(text)
        expect(f"excerpt of {len(text)} characters", [r["input"] for r in page.rows()], [shown])
    page.paste("")
    expect("blank text", (page.rows(), page.text("summary")), ([], ""))


DAMAGED = [  # (link, repair-mode address, repairs named, strict address or None when refused)
    ("thunder://" + b64(b"AAhttp://a.example/x?y=1ZZ").replace("/", "%2F").replace("=", "%3D"),
     "http://a.example/x?y=1", ["已修复：百分号转义（%3A %2F %2B %3D）"], "http://a.example"),
    ("qqdl://" + b64("http://a.example/下载/文件.rar".encode("gbk")).replace("/", "_"),
     "http://a.example/下载/文件.rar", ["已修复：URL 安全的 Base64（- _）"], "http://a.example"),
    ("qqdl://" + b64(FILM.encode("utf-8")).replace("+", "&#43;"), FILM, ["已修复：HTML 实体"],
     "http:/"),
    ("ThUnDeR://" + b64(b"AAhttp://a/bZZ"), "http://a/b", ["已修复：协议名大小写"], None),
]


A2 = b64(b"AAhttp://a/2ZZ")
MISSED = [  # (text strict mode reads no link in, what the summary adds in Chinese and English)
    ("THUNDER://" + A2, "修复模式还能再找到 1 个链接，需修复：协议名大小写。",
     "Repair mode finds 1 more links, repairing scheme letter case."),
    ("thunder%3A%2F%2F" + A2 + " Thunder:\\/\\/" + A2,
     "修复模式还能再找到 2 个链接，需修复：协议名大小写、百分号转义（%3A %2F %2B %3D）、JSON 转义（\\/）。",
     "Repair mode finds 2 more links, repairing scheme letter case, percent escapes (%3A %2F %2B %3D), "
     "JSON escapes (\\/)."),
]


def group_modes(page, args):
    for link, repaired, names, strict in DAMAGED:
        page.set_strict(False)
        page.paste(link)
        [row] = page.rows()
        expect(f"repair {link}", (row["address"], [t for t in row["tags"] if t.startswith("已修复")]),
               (repaired, names))
        page.set_strict(True)
        rows = page.rows()
        got = rows[0]["address"] if rows else None
        expect(f"strict {link}", (got, [t for r in rows for t in r["tags"] if "修复" in t]),
               (strict, []))
    # In a text, strict mode skips links it cannot read the start of and says what repair mode
    # would find, and which repairs that takes, in either language.
    for text, zh, en in MISSED:
        page.set_strict(True)
        page.paste("a " + WRAP["qqdl"](b"http://a/1") + " b " + text)
        expect("strict " + text, ([r["address"] for r in page.rows()], page.text("summary")),
               (["http://a/1"], "找到 1 项：1 个地址，0 项无法还原。 " + zh))
        page.english()
        expect("strict en " + text, page.text("summary"),
               "1 found: 1 addresses, 0 refused. " + en)
        page.english()
        page.set_strict(False)
        expect("repair " + text, [r["address"] for r in page.rows()][:2], ["http://a/1", "http://a/2"])


def group_copy(page, args):
    film = WRAP["thunder"](FILM.encode("gbk"))
    page.paste(f"{film}\n{WRAP['qqdl'](b'http://a/b c')}\nthunder://\n")
    forms = [  # (copy as, first row, all rows)
        ("text", FILM, FILM + "\nhttp://a/b c"),
        ("own", "http://%C0%FD%D7%D3.cn/%B5%E7%D3%B0.mkv",
         "http://%C0%FD%D7%D3.cn/%B5%E7%D3%B0.mkv\nhttp://a/b%20c"),
        ("utf8", "http://%E4%BE%8B%E5%AD%90.cn/%E7%94%B5%E5%BD%B1.mkv",
         "http://%E4%BE%8B%E5%AD%90.cn/%E7%94%B5%E5%BD%B1.mkv\nhttp://a/b%20c"),
    ]
    for form, first, everything in forms:
        page.js("document.getElementById('copy-as').value = arguments[0]", form)
        page.driver.find_element(By.CSS_SELECTOR, "#rows button.copy").click()
        page.wait("document.getElementById('notice').textContent !== ''")
        expect(f"copy {form}", page.clipboard(), first)
        page.driver.find_element(By.ID, "copy-all").click()
        page.wait("document.getElementById('notice').textContent === '已复制 2 行。'")
        expect(f"copy all {form}", page.clipboard(), everything)
    # Keyboard alone: type a link, tab to its Copy button, press Enter.
    page.js("document.getElementById('copy-as').value = 'text'")
    page.paste("")
    box = page.driver.find_element(By.ID, "input")
    box.click()
    box.send_keys(WRAP["qqdl"](b"http://k.example/typed"))
    page.wait("document.querySelector('#rows .address')?.textContent === 'http://k.example/typed'")
    for _ in range(10):  # the row's Copy button is reached by Tab alone
        if page.js("return document.activeElement.getAttribute('aria-label')") == "复制第 1 个地址":
            break
        ActionChains(page.driver).send_keys(Keys.TAB).perform()
    else:
        raise Failure("Tab never reached the row's Copy button")
    ActionChains(page.driver).send_keys(Keys.ENTER).perform()
    page.wait("document.getElementById('notice').textContent === '已复制 1 行。'")
    expect("keyboard copy", page.clipboard(), "http://k.example/typed")


ENCODE = [  # (address line, GBK bytes)
    ("http://example.com/setup.exe", False),
    (FILM, False),
    (FILM, True),
    ("ed2k://|file|文件 名.iso|1024|0123456789ABCDEF0123456789ABCDEF|/", True),
    ("http://a/À😀", True),  # four-byte GB18030 codes
]


def group_encode(page, args):
    made = []
    for address, gbk in ENCODE:
        page.driver.find_element(By.ID, "encode-gbk" if gbk else "encode-utf8").click()
        page.set_value("addresses", "\n" + address + "\r\n\n")
        [row] = page.rows("encoded")
        data = address.encode("gb18030" if gbk else "utf-8")
        expect(f"encode {address}", row["links"], [wrap(data) for wrap in WRAP.values()])
        made += row["links"]
    page.paste("\n".join(made))
    expect("round trip", [r["address"] for r in page.rows()],
           [address for address, _ in ENCODE for _ in WRAP])


HOSTILE = [  # address bytes, and whether a click may open it
    (b"<img src=x onerror=window.__pwned=1>", False),
    (b"javascript:alert(1)", False),
    (b"JavaScript:window.__pwned=1//http://a", False),
    (b" javascript:window.__pwned=1", False),
    (b"data:text/html,<script>window.__pwned=1</script>", False),
    (b"vbscript:msgbox(1)", False),
    (b'http://a/"><script>window.__pwned=1</script>', True),
    # What a page shows of these is not what a click would open: none may be clicked.
    (b"http://a/\x1b]0;pwned\x07\x1b[2J", False),
    ("http://a/\u202egpj.exe\u2066\u200f".encode("utf-8"), False),
    (b"http://a/\r\nSet-Cookie: x\x00tail", False),
]


def group_hostile(page, args):
    page.js("window.alert = () => { window.__pwned = 1; };")
    page.paste("\n".join(WRAP[s](a) for a, _ in HOSTILE for s in ("thunder", "qqdl")))
    rows = page.rows()
    expect("hostile rows", len(rows), 2 * len(HOSTILE))
    # Markers vouch for the Thunder links; the Whirlwind ones that read as no address are named,
    # what they decode to shown as text.
    expect("Whirlwind rows named", [r["detail"] is not None for r in rows[1::2]],
           [True] * 6 + [False] * 4)
    for row, (address, clickable) in zip(rows, [h for h in HOSTILE for _ in range(2)]):
        name = repr(address)
        expect(name + " clickable", row["href"] is not None, clickable)
        if clickable and not row["href"].startswith("http://a/"):
            raise Failure(f"{name}: href {row['href']!r}")
        if any(t not in ("li", "a", "span", "button", "p", "code") for t in row["elements"]):
            raise Failure(f"{name}: markup inserted: {row['elements']}")
        shown = row["address"] if row["detail"] is None else row["detail"]
        if any(ord(c) < 0x20 or 0x7F <= ord(c) < 0xA0 or c in "\u202e\u2066\u200f"
               for c in shown):
            raise Failure(f"{name}: control shown raw: {shown!r}")
    expect("address of markup", rows[0]["address"], "<img src=x onerror=window.__pwned=1>")
    expect("address of controls", rows[14]["address"], r"http://a/\x1B]0;pwned\x07\x1B[2J")
    expect("address of overrides", rows[16]["address"],
           r"http://a/\xE2\x80\xAEgpj.exe\xE2\x81\xA6\xE2\x80\x8F")
    page.set_value("addresses", "<img src=x onerror=window.__pwned=1>")
    for anchor in page.driver.find_elements(By.CSS_SELECTOR, "#rows a"):
        page.js("arguments[0].removeAttribute('target'); arguments[0].addEventListener("
                "'click', e => e.preventDefault());", anchor)
    expect("scripts ran", page.js("return [window.__pwned, document.querySelectorAll("
                                  "'img, script:not([src]), iframe').length]"), [None, 0])


def group_network(page, args):
    page.paste(FORUM.format(a=WRAP["thunder"](b"http://dl.example.com/a.rar"), b="", c="",
                            d=WRAP["qqdl"](b"https://example.org/x.png")))
    page.set_value("addresses", FILM + "\nhttp://example.com/logo.png")
    page.driver.find_element(By.ID, "encode-gbk").click()
    page.driver.find_element(By.ID, "copy-all").click()
    page.english()
    page.select("charset", "gbk")
    time.sleep(0.5)
    requested = set()
    for entry in page.driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        params = message["params"]
        # The browser's own start tab (chrome://) loads its resources before the page opens.
        if message["method"] == "Network.webSocketCreated":
            requested.add(params["url"])
        elif (message["method"] == "Network.requestWillBeSent"
              and not params.get("documentURL", "").startswith("chrome://")):
            requested.add(params["request"]["url"])
    base = page.url.rsplit("/", 1)[0] + "/"
    expect("requests", sorted(requested), sorted(base + f for f in PAGE_FILES))


def random_address(rng):
    parts = [rng.choice([b"http://", b"https://", b"ftp://", b"ed2k://|file|", b""]),
             rng.choice([b"dl.example.com/", "下载.中国/".encode("utf-8"), "例子.cn/".encode("gbk")])]
    for _ in range(rng.randint(1, 4)):
        kind = rng.randrange(4)
        if kind == 0:
            parts.append(bytes(rng.choice(b"abcXYZ019-_.~/?=&%+ ") for _ in range(rng.randint(1, 12))))
        elif kind == 1:
            parts.append("".join(chr(rng.randint(0x4E00, 0x9FA5)) for _ in range(3)).encode(
                rng.choice(["utf-8", "gbk"])))
        elif kind == 2:  # anything: controls, lone lead bytes, cut sequences, direction marks
            parts.append(bytes(rng.randrange(1, 256) for _ in range(rng.randint(1, 6))))
        else:
            parts.append(rng.choice(["\u202e", "\u200f", "é", "😀"]).encode("utf-8"))
    return b"".join(parts)


def random_link(rng, address):
    link = WRAP[rng.choice(list(WRAP))](address)
    damage = rng.randrange(6)
    if damage == 0:
        link = link.replace("=", "%3D")
    elif damage == 1:
        scheme, payload = link.split("://")
        link = scheme + "://" + payload.replace("+", "-").replace("/", "_")
    elif damage == 2:
        link = link[0].upper() + link[1:]
    elif damage == 3:
        link = link.replace("=", "&#61;")
    return link


def group_same_bytes(page, args):
    rng = random.Random(12)
    links = [random_link(rng, random_address(rng)) for _ in range(300)]
    text = "\n".join(links)
    page.paste(text)
    for strict, charset in ((False, "auto"), (True, "auto"), (False, "gbk"), (False, "utf8")):
        mode = [] if strict else ["--lenient"]
        cli = lambda *extra: subprocess.run([args.exe, *mode, "--charset", charset, *extra],
                                            input=text.encode(), capture_output=True).stdout
        records = [json.loads(line) for line in cli("--json").splitlines()]
        page.set_strict(strict)
        page.select("charset", charset)
        rows = page.rows(everything=True)
        name = f"strict={strict} charset={charset}"
        expect(name + " rows", len(rows), len(records))
        decoded = [(r, row) for r, row in zip(records, rows) if r["outcome"] == "Decoded" and r["bytes"]]
        shown = cli().decode("utf-8").split("\n")[:-1]
        expect(name + " addresses", [row["address"] for _, row in decoded], shown)
        expect(name + " charsets", [row["tags"][1] for _, row in decoded],
               [{"gbk": "GBK", "utf8": "UTF-8"}[r["charset"]] for r, _ in decoded])
        expect(name + " schemes", [row["tags"][0] for _, row in decoded],
               [SCHEME_TAG[r["scheme"]] for r, _ in decoded])
        expect(name + " repairs", [row["repairs"] for _, row in decoded],
               [r["repairs"] for r, _ in decoded])
        for form, extra in (("own", ["-c", "raw"]), ("utf8", ["-c", charset])):
            page.js("document.getElementById('copy-as').value = arguments[0]", form)
            page.driver.find_element(By.ID, "copy-all").click()
            page.wait("document.getElementById('notice').textContent.startsWith('已复制')")
            page.js("document.getElementById('notice').textContent = ''")
            want = subprocess.run([args.exe, *mode, "-p", *extra],
                                  input=text.encode(), capture_output=True).stdout
            expect(f"{name} percent {form}", page.clipboard() + "\n", want.decode("ascii"))


def group_size(page, args):
    sizes = {f: os.path.getsize(os.path.join(args.page, f)) for f in sorted(os.listdir(args.page))}
    expect("page files", sorted(sizes), sorted(PAGE_FILES))
    print(f"page size: {sum(sizes.values())} bytes ({sizes})")
    if sum(sizes.values()) > SIZE_LIMIT:
        raise Failure(f"page is {sum(sizes.values())} bytes, over {SIZE_LIMIT}")


def group_layout(page, args):
    # Every control has a name a screen reader reads.
    unnamed = page.js("""return [...document.querySelectorAll('input, select, textarea, button')]
        .filter(c => !(c.labels && c.labels.length && c.labels[0].textContent.trim())
                     && !c.getAttribute('aria-label') && !c.textContent.trim()).map(c => c.id);""")
    expect("controls without a label", unnamed, [])
    # Each module of the script keeps its names to itself.
    expect("names on window", page.js("return ['loadCore', 'applyLanguage', 'state', 'TEXTS', 'recordRow', "
                                      "'module0', 'WASM_BASE64'].filter(n => n in window)"), [])
    forum = FORUM.format(a=WRAP["thunder"](b"http://dl.example.com/a.rar"),
                         b=WRAP["flashget"](FILM.encode("gbk")),
                         c=WRAP["qqdl"]("ftp://镜像.example/文件.zip".encode("utf-8")),
                         d="QQDL://" + b64(b"http://a/\x1b[2J\xe2\x80\xaegpj.exe"))
    page.driver.set_window_size(1000, 1300)
    page.paste(forum)
    shot = os.path.join(args.artifacts, "screenshot-web.png")
    page.driver.save_screenshot(shot)
    print("screenshot: " + shot)
    phone = Page(args.page, args.scratch)
    try:
        phone.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": 360, "height": 800, "deviceScaleFactor": 1, "mobile": True})
        phone.paste(forum)
        expect("wider than a phone", phone.js(
            "return [...document.querySelectorAll('body *')].filter(e => "
            "e.getBoundingClientRect().right > document.documentElement.clientWidth + 0.5).map(e => e.id || e.tagName)"), [])
        phone.driver.save_screenshot(os.path.join(args.artifacts, "screenshot-web-phone.png"))
    finally:
        phone.close()


class Run:
    """What a group works with: the options, and one browser on the page, started on first use."""

    def __init__(self, args):
        self.args = args
        self.browser = None

    @property
    def page(self):
        if self.browser is None:
            self.browser = Page(self.args.page, self.args.scratch)
        return self.browser

    def close(self):
        if self.browser is not None:
            self.browser.close()
            self.browser = None


def in_browser(fn, name):
    """The group `fn` as the runner calls it, with the browser closed before its profile goes."""
    def group(run):
        try:
            fn(None if name == "size" else run.page, run.args)  # size reads files only
        finally:
            run.close()
    return group


GROUPS = {name: in_browser(fn, name) for name, fn in groups_in(globals()).items()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--page", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--group", choices=sorted(GROUPS), action="append")
    args = parser.parse_args()
    if not os.path.exists(os.path.join(args.page, "index.html")):
        print(f"FAIL no page in {args.page}: build it with make web")
        return 1
    args.scratch = tempfile.mkdtemp(prefix="veltrun-web-")
    return run_groups(GROUPS, args.group, Run(args), Failure, args.scratch)


if __name__ == "__main__":
    sys.exit(main())
