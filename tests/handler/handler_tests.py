#!/usr/bin/env python3
"""veltrun as the desktop's handler of private links on Linux, with the real xdg-utils in a
scratch XDG_DATA_HOME and XDG_CONFIG_HOME: --register-handler, a link opened by xdg-open as a
click opens it, the address handed to a stand-in browser on PATH (or refused and shown in a
stand-in notification), and --unregister-handler giving each scheme back. One group per ctest
test.
"""

import argparse
import base64
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from group_runner import groups_in, run_groups  # noqa: E402

# Stand-ins write what they were given, one argument a line, to $STANDIN_LOG.
BROWSER = '#!/bin/sh\nfor a in "$@"; do printf "open %s\\n" "$a"; done >> "$STANDIN_LOG"\n'
NOTIFY = '#!/bin/sh\nprintf "notify %s\\n" "$*" >> "$STANDIN_LOG"\n'
OTHER_ENTRY = ("[Desktop Entry]\nType=Application\nName=Other\nExec=other-downloader %u\n"
               "MimeType=x-scheme-handler/thunder;\n")
SCHEMES = ("thunder", "flashget", "qqdl")


class Failure(Exception):
    pass


def thunder(address):
    return "thunder://" + base64.b64encode(b"AA" + address + b"ZZ").decode()


def flashget(address):
    return "flashget://" + base64.b64encode(b"[FLASHGET]" + address + b"[FLASHGET]").decode()


def qqdl(address):
    return "qqdl://" + base64.b64encode(address).decode()


class Desktop:
    """A user's desktop with nothing registered but what a test adds."""

    def __init__(self, scratch):
        self.dir = tempfile.mkdtemp(dir=scratch)
        bin_dir = os.path.join(self.dir, "bin")
        os.makedirs(bin_dir)
        os.makedirs(os.path.join(self.dir, "data", "applications"))
        for name, text in (("standin-browser", BROWSER), ("notify-send", NOTIFY),
                           ("other-downloader", BROWSER)):
            path = os.path.join(bin_dir, name)
            with open(path, "w") as f:
                f.write(text)
            os.chmod(path, 0o755)
        self.log = os.path.join(self.dir, "log")
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("XDG_", "KDE_", "GNOME_")) and k != "DESKTOP_SESSION"}
        # xdg-open asks desktop entries for a scheme only where there is a display; nothing
        # connects to it here. The system's own entries are kept out of the search.
        env.update(HOME=self.dir, XDG_DATA_HOME=os.path.join(self.dir, "data"),
                   XDG_CONFIG_HOME=os.path.join(self.dir, "config"),
                   XDG_DATA_DIRS=os.path.join(self.dir, "none"),
                   XDG_CONFIG_DIRS=os.path.join(self.dir, "none"), DISPLAY=":404",
                   BROWSER="standin-browser", STANDIN_LOG=self.log,
                   PATH=bin_dir + os.pathsep + env.get("PATH", "/usr/bin:/bin"))
        self.env = env

    def run(self, *args):
        return subprocess.run(list(args), capture_output=True, env=self.env, timeout=60)

    def default(self, scheme):
        return self.run("xdg-mime", "query", "default",
                        "x-scheme-handler/" + scheme).stdout.decode().strip()

    def taken(self):
        """What the stand-ins were given since the last call."""
        if not os.path.exists(self.log):
            return []
        with open(self.log, "rb") as f:
            lines = f.read().decode("utf-8", "replace").splitlines()
        os.remove(self.log)
        return lines


def expect(condition, what):
    if not condition:
        raise Failure(what)


def group_register(context):
    """Register over another program's default, open links by xdg-open, give it back."""
    veltrun, scratch = context
    desktop = Desktop(scratch)
    with open(os.path.join(desktop.dir, "data", "applications", "other.desktop"), "w") as f:
        f.write(OTHER_ENTRY)
    desktop.run("xdg-mime", "default", "other.desktop", "x-scheme-handler/thunder")

    # A second registration still knows what the first replaced.
    for _ in range(2):
        proc = desktop.run(veltrun, "--register-handler")
        said = proc.stdout.decode()
        expect(proc.returncode == 0, "--register-handler: status %d: %r" % (proc.returncode, said))
        expect("thunder: opened by other.desktop before" in said, "no previous owner: " + said)
    entry = os.path.join(desktop.dir, "data", "applications", "veltrun.desktop")
    check = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
    expect(check.returncode == 0 and not check.stdout.strip(), "entry: " + check.stdout)
    for scheme in SCHEMES:
        expect(desktop.default(scheme) == "veltrun.desktop", scheme + " not registered")

    # The address goes out percent-encoded from the link's own bytes, GBK or UTF-8 alike.
    for link, handed in (
            (thunder("http://例子.cn/电影.mkv".encode("gbk")),
             "http://%C0%FD%D7%D3.cn/%B5%E7%D3%B0.mkv"),
            (flashget("ftp://dl.example.org/电影.mkv".encode()),
             "ftp://dl.example.org/%E7%94%B5%E5%BD%B1.mkv")):
        proc = desktop.run("xdg-open", link)
        taken = desktop.taken()
        expect(taken == ["open " + handed], "xdg-open %s: %s %r" % (link, taken, proc.stderr))
    proc = desktop.run("xdg-open", qqdl(b"javascript:alert(document.cookie)"))
    taken = desktop.taken()
    expect(len(taken) == 1 and taken[0].startswith("notify ") and "javascript:" in taken[0],
           "a javascript: address went out: %s" % taken)

    proc = desktop.run(veltrun, "--unregister-handler")
    expect(proc.returncode == 0, "--unregister-handler: %r" % proc.stderr)
    expect(desktop.default("thunder") == "other.desktop", "thunder not given back")
    for scheme in ("flashget", "qqdl"):
        expect(desktop.default(scheme) == "", scheme + " still has a default")
    expect(not os.path.exists(entry), "the desktop entry is left")
    expect(desktop.run("xdg-open", thunder(b"http://a.example/b")).returncode == 0 and
           desktop.taken() == ["open thunder://" + base64.b64encode(b"AAhttp://a.example/bZZ")
                               .decode()], "thunder links do not reach the other program")


# --open alone: (options before it, link, what the browser stand-in gets or None, exit status).
# A payload whose "+" a page escaped: strict reading stops at the "%", --lenient undoes it.
ESCAPED = thunder("http://例子.cn/电影.mkv".encode("gbk")).replace("+", "%2B")
OPEN_CASES = (
    ((), qqdl(b"https://dl.example.com/a b.zip"), None, 1),
    ((), qqdl(b"magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=x"),
     "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=x", 0),
    ((), qqdl(b"http://already.example/%E4%B8%AD"), "http://already.example/%E4%B8%AD", 0),
    ((), qqdl(b"file:///etc/passwd"), None, 1),
    ((), qqdl(b"http://a.example/\x1b]0;x\x07"), None, 1),
    ((), thunder(b"data:text/html,<script>alert(1)</script>"), None, 1),
    ((), thunder(b"thunder://QUFodHRwOi8vYS9iWlo="), None, 1),
    ((), "hello/world", None, 1),
    ((), "thunder://QUFaWg==", None, 1),
    (("--lenient",), ESCAPED, "http://%C0%FD%D7%D3.cn/%B5%E7%D3%B0.mkv", 0),
)


def group_open(context):
    """Only an address that may be opened is handed over; the rest is shown, never run."""
    veltrun, scratch = context
    desktop = Desktop(scratch)
    for options, link, handed, status in OPEN_CASES:
        proc = desktop.run(veltrun, *options, "--open", link)
        taken = desktop.taken()
        expect(proc.returncode == status, "%s: status %d" % (link, proc.returncode))
        if handed is not None:
            expect(taken == ["open " + handed], "%s: %s" % (link, taken))
        else:
            expect(len(taken) == 1 and taken[0].startswith("notify ") and "Veltrun" in taken[0],
                   "%s was not refused by a notification: %s" % (link, taken))
            expect(b"not opened" in proc.stderr, "%s: %r" % (link, proc.stderr))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--exe", required=True)
    parser.add_argument("--group", action="append", default=[])
    args = parser.parse_args()
    scratch = tempfile.mkdtemp(prefix="veltrun-handler-")
    return run_groups(groups_in(globals()), args.group, (os.path.abspath(args.exe), scratch),
                      Failure, scratch)


if __name__ == "__main__":
    sys.exit(main())
