#!/usr/bin/env python3
"""The Windows installer as a user meets it, under Wine in a prefix and on an X display of its
own, made afresh: a scheme another program owns, an older package upgraded by this one, the
files, the Start menu and the uninstall entry, a link opened by the shell as a click opens it
(`wine start`), the per-user registration and --open of the installed veltrun.exe, and an
uninstall that leaves the machine as it was. Then HANDLERS=all takes the other program's scheme over.

The steps build on one another in one prefix, so they run as one group, in order.
"""

import argparse
import base64
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run.sh")
BUILD_MSI = os.path.join(ROOT, "packaging", "windows", "build-msi.py")

INSTALL_DIR = "C:\\Program Files\\Veltrun"
OUR_COMMAND = '"%s\\Veltrun.exe" "%%1"' % INSTALL_DIR
OTHER_COMMAND = '"C:\\Program Files\\Whirlwind\\qqdl.exe" "%1"'
# The machine's browser, as --open reaches it through the shell: reg.exe writes down what it got.
OPENED_KEY = "HKCU\\Software\\OpenedByTheBrowser"
BROWSER_COMMAND = 'C:\\windows\\system32\\reg.exe add %s /ve /d "%%1" /f' % OPENED_KEY
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"


class Failure(Exception):
    pass


class Wine:
    def __init__(self, scratch):
        self.env = dict(os.environ, VELTRUN_WINEPREFIX=os.path.join(scratch, "prefix"),
                        VELTRUN_WINE_STATE=os.path.join(scratch, "state"))
        self.prefix = self.env["VELTRUN_WINEPREFIX"]
        self.scratch = scratch

    def run(self, *args, check=True):
        proc = subprocess.run([WINE_RUN] + list(args), capture_output=True, env=self.env,
                              timeout=300)
        if check and proc.returncode != 0:
            raise Failure("%s: status %d: %s" % (" ".join(args), proc.returncode,
                                                 (proc.stdout + proc.stderr)[-1500:]))
        return proc

    def path(self, windows_path):
        """The Unix path of C:\\... in the prefix."""
        return os.path.join(self.prefix, "drive_c", *windows_path[3:].split("\\"))

    def windows(self, unix_path):
        return "Z:" + os.path.abspath(unix_path).replace("/", "\\")

    def msiexec(self, *args):
        self.run("msiexec", *args)

    def default_value(self, key):
        """The key's default value, or None when the key or the value is missing."""
        proc = self.run("reg", "query", key, "/ve", check=False)
        if proc.returncode != 0:
            return None
        for line in proc.stdout.decode("gbk", "replace").splitlines():
            if "REG_SZ" in line:
                return line.split("REG_SZ", 1)[1].strip()
        return None

    def key_exists(self, key):
        return self.run("reg", "query", key, check=False).returncode == 0

    def export(self, root):
        """Each value of `reg export ROOT` with its key. Keys without values are left out:
        the installer service keeps its own empty ones."""
        target = os.path.join(self.scratch, "export.reg")
        self.run("reg", "export", root, self.windows(target), "/y")
        with open(target, "rb") as f:
            text = f.read().decode("utf-16")
        values, key = set(), None
        for line in text.splitlines()[1:]:
            if line.startswith("["):
                key = line
            elif line.strip():
                values.add(key + " " + line)
        return values

    def snapshot(self):
        """Every registry value of the machine's and the user's software, and every file of
        drive C (the hardware keys are Wine's own, set anew for each session)."""
        files = set()
        for top, _, names in os.walk(os.path.join(self.prefix, "drive_c")):
            files.update(os.path.join(top, n) for n in names)
        return self.export("HKLM\\Software") | self.export("HKCU\\Software"), files


def thunder(address):
    return "thunder://" + base64.b64encode(b"AA" + address + b"ZZ").decode()


def flashget(address):
    return "flashget://" + base64.b64encode(b"[FLASHGET]" + address + b"[FLASHGET]").decode()


def expect(condition, what):
    if not condition:
        raise Failure(what)


def products(wine):
    """DisplayVersion of each uninstall entry named Veltrun, with its publisher."""
    proc = wine.run("reg", "query", UNINSTALL_KEY, "/s")
    found, entry = [], {}
    for line in proc.stdout.decode("gbk", "replace").splitlines() + [""]:
        if line.startswith("HKEY_"):
            entry = {}
        elif "REG_" in line:
            name, _, value = line.strip().partition(" ")
            entry[name] = value.split(None, 1)[1] if len(value.split(None, 1)) > 1 else ""
            if name == "DisplayName" and entry[name] == "Veltrun":
                found.append(entry)
    return [(e.get("DisplayVersion"), e.get("Publisher")) for e in found]


def open_link(wine, reader, link):
    """What the dialog the shell starts for `link` holds: (input bytes, output bytes)."""
    wine.run("start", link)
    lines = dict(line.split("\t", 1) for line in
                 wine.run(reader).stdout.decode().splitlines() if "\t" in line)
    return bytes.fromhex(lines.get("input", "")), bytes.fromhex(lines.get("output", ""))


def check_installed(wine, version):
    for name in ("Veltrun.exe", "cli\\veltrun.exe", "README.txt", "LICENSE.txt"):
        expect(os.path.isfile(wine.path(INSTALL_DIR + "\\" + name)), name + " not installed")
    links = [os.path.join(top, n) for top, _, names in os.walk(os.path.join(wine.prefix,
                                                                           "drive_c"))
             for n in names if n == "Veltrun.lnk"]
    expect(any("Start Menu" in p for p in links), "no Start menu shortcut: %s" % links)
    expect(products(wine) == [(version, "The Veltrun developers")],
           "uninstall entries: %s" % products(wine))
    # The uninstall entry's icon is the product's, kept by the installer service.
    listing = wine.run("reg", "query", "HKLM\\Software\\Classes\\Installer\\Products", "/s")
    icons = [line.split("REG_SZ", 1)[1].strip() for line in
             listing.stdout.decode("gbk", "replace").splitlines() if "ProductIcon" in line]
    expect(len(icons) == 1 and icons[0].endswith("Veltrun.ico") and
           os.path.isfile(wine.path(icons[0])), "product icons: %s" % icons)


def installer(args, wine):
    old = os.path.join(wine.scratch, "Veltrun-1.0.0-win64.msi")
    subprocess.run([sys.executable, BUILD_MSI, "--version", "1.0.0", "--output", old] +
                   args.build_args, check=True)
    wine.run("cmd", "/c", "ver")  # makes the prefix
    wine.run("reg", "add", "HKLM\\Software\\Classes\\qqdl\\shell\\open\\command", "/ve", "/d",
             OTHER_COMMAND, "/f")
    wine.run("reg", "add", "HKLM\\Software\\Classes\\http\\shell\\open\\command", "/ve", "/d",
             BROWSER_COMMAND, "/f")
    before = wine.snapshot()

    wine.msiexec("/i", wine.windows(old), "/qn")
    check_installed(wine, "1.0.0")
    wine.msiexec("/i", wine.windows(args.msi), "/qn")
    check_installed(wine, args.version)
    for scheme in ("thunder", "flashget"):
        expect(wine.default_value("HKLM\\Software\\Classes\\%s\\shell\\open\\command" % scheme)
               == OUR_COMMAND, scheme + " does not open Veltrun")
    expect(wine.default_value("HKLM\\Software\\Classes\\qqdl\\shell\\open\\command")
           == OTHER_COMMAND, "the other program's qqdl was taken over")

    gbk = "http://例子.cn/电影 第1集.mkv".encode("gbk")
    utf8 = "http://dl.example.com/电影.mkv".encode("utf-8")
    for link, address in ((thunder(gbk), gbk), (flashget(utf8), utf8)):
        shown = open_link(wine, args.reader, link)
        expect(shown == (link.encode(), address), "%s opened as %r" % (link, shown))

    cli = INSTALL_DIR + "\\cli\\veltrun.exe"
    said = wine.run(cli, "--register-handler").stdout.decode("utf-8", "replace")
    for scheme, owner in (("thunder", OUR_COMMAND), ("qqdl", OTHER_COMMAND)):
        expect("%s: opened by %s before" % (scheme, owner) in said,
               "the previous owner of %s is not named: %r" % (scheme, said))
    for scheme in ("thunder", "flashget", "qqdl"):
        command = wine.default_value("HKCU\\Software\\Classes\\%s\\shell\\open\\command" % scheme)
        expect(command == '"%s" --open "%%1"' % cli, "per-user %s: %r" % (scheme, command))
    # An openable address goes to the shell percent-encoded from the link's own bytes.
    wine.run(cli, "--open", thunder("http://例子.cn/电影.mkv".encode("gbk")))
    opened = None
    for _ in range(100):
        opened = wine.default_value(OPENED_KEY)
        if opened is not None:
            break
        time.sleep(0.2)
    expect(opened == "http://%C0%FD%D7%D3.cn/%B5%E7%D3%B0.mkv", "the browser got %r" % opened)
    wine.run("reg", "delete", OPENED_KEY, "/f")
    # Never handed to the shell: the refusal is all that happens. From a console that stays it
    # is said there; started as a click starts it, in a console of its own, in a message box.
    script = "qqdl://" + base64.b64encode(b"javascript:alert(1)").decode()
    proc = wine.run(cli, "--open", script, check=False)
    expect(proc.returncode == 1 and b"not opened" in proc.stderr,
           "--open javascript: status %d, %r" % (proc.returncode, proc.stderr))
    wine.run("start", cli, "--open", script)
    said = wine.run(args.reader, "--message-box").stdout.decode("gbk", "replace")
    expect("message\tveltrun: javascript:alert(1): not opened" in said, "message box: %r" % said)
    wine.run(cli, "--unregister-handler")
    for scheme in ("thunder", "flashget", "qqdl"):
        expect(not wine.key_exists("HKCU\\Software\\Classes\\" + scheme),
               "per-user %s left behind" % scheme)

    wine.msiexec("/x", wine.windows(args.msi), "/qn")
    for key in ("Classes\\thunder", "Classes\\flashget", "Veltrun"):
        expect(not wine.key_exists("HKLM\\Software\\" + key), key + " left behind")
    after = wine.snapshot()
    expect(after[0] == before[0], "registry lines left or lost: %s" %
           sorted(after[0] ^ before[0])[:20])
    expect(after[1] == before[1], "files left or lost: %s" % sorted(after[1] ^ before[1])[:20])

    wine.msiexec("/i", wine.windows(args.msi), "/qn", "HANDLERS=all")
    expect(wine.default_value("HKLM\\Software\\Classes\\qqdl\\shell\\open\\command")
           == OUR_COMMAND, "HANDLERS=all left qqdl alone")
    wine.msiexec("/x", wine.windows(args.msi), "/qn")
    expect(not os.path.exists(wine.path(INSTALL_DIR)), "files left after the second uninstall")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--msi", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--reader", required=True)
    parser.add_argument("--scratch", required=True)
    parser.add_argument("--build-args", nargs=argparse.REMAINDER, default=[])
    args = parser.parse_args()
    shutil.rmtree(args.scratch, ignore_errors=True)
    os.makedirs(args.scratch)
    wine = Wine(args.scratch)
    try:
        installer(args, wine)
        print("ok   installer")
        return 0
    except Failure as e:
        print("FAIL installer: %s" % e)
        return 1
    finally:
        wine.run("--stop", check=False)
        shutil.rmtree(args.scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
