#!/usr/bin/env python3
"""Real downloaders fetch the addresses veltrun decodes, from servers on 127.0.0.1 that this
process runs in its own threads, so they stop with it whatever happens.

One group per ctest test. Each group makes links with `veltrun -e`, decodes them with veltrun
and hands the addresses to aria2c, curl and wget, which must fetch every file with its bytes
from the path the link carries. The HTTP server answers a bounded number of requests; every
downloader runs with its own time limits and a fresh directory.
"""

import argparse
import contextlib
import http.server
import logging
import os
import random
import shlex
import subprocess
import sys
import tempfile
import threading
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "support"))
from group_runner import groups_in, run_groups  # noqa: E402

MAX_REQUESTS = 200
TIMEOUT = 30  # seconds for one downloader run, far above what it takes

# Paths as old Chinese servers and newer ones name them, with a space and an ASCII name too.
NAMES = ["/电影/预告 片.mkv", "/软件/安装程序.exe", "/docs/readme.txt"]
SCHEMES = ["thunder", "flashget", "qqdl"]

# Each downloader reads a list of addresses on standard input, writing into the current
# directory; the options keep it quiet, bounded in time and from retrying. aria2c 1.36, when it
# reuses an FTP connection, often waits out its timeout for a reply after the last small file.
DOWNLOADERS = {
    "aria2c": "aria2c -q --timeout=5 --connect-timeout=5 --max-tries=1 --async-dns=false"
              " --ftp-reuse-connection=false -i -",
    "curl": "xargs curl -sS --fail --max-time 10 --remote-name-all",
    "wget": "wget -nv --timeout=5 --tries=1 -i -",
}


class Failure(Exception):
    pass


def contents(seed, count):
    """Distinct random bytes for each file, of distinct sizes."""
    rng = random.Random(seed)
    return [bytes(rng.randrange(256) for _ in range(2000 + 517 * i)) for i in range(count)]


class Handler(http.server.BaseHTTPRequestHandler):
    timeout = 5
    server_version = "veltrun-test"

    def do_GET(self):
        s = self.server
        with s.lock:
            s.count += 1
            over = s.count > MAX_REQUESTS
        # The request line arrives as Latin-1 text: back to its bytes, then %XX unescaped.
        path = urllib.parse.unquote_to_bytes(self.path.encode("latin-1"))
        data = s.files.get(path)
        status = 503 if over else 200 if data is not None else 404
        with s.lock:
            s.log.append((path, status))
        self.send_response(status)
        self.send_header("Content-Length", str(len(data) if status == 200 else 0))
        # wget keeps a connection not declared closed for its next file, and may find it shut.
        self.send_header("Connection", "close")
        self.end_headers()
        if status == 200:
            self.wfile.write(data)

    def log_message(self, *args):
        pass


@contextlib.contextmanager
def http_server(files):
    """Serves `files` (raw path bytes to contents) on 127.0.0.1 at a free port."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.files, server.log, server.count, server.lock = files, [], 0, threading.Lock()
    thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1},
                              daemon=True)
    thread.start()
    try:
        yield server, "http://127.0.0.1:%d" % server.server_address[1]
    finally:
        server.shutdown()
        server.server_close()
        thread.join(5)


@contextlib.contextmanager
def ftp_server(root):
    """Anonymous read-only FTP of the directory `root` on 127.0.0.1 at a free port."""
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import ThreadedFTPServer
    log = logging.getLogger("pyftpdlib")  # given a handler, the server leaves stderr alone
    log.addHandler(logging.NullHandler())
    log.setLevel(logging.WARNING)

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root)
    handler = type("Handler", (FTPHandler,), {"authorizer": authorizer, "timeout": 10,
                                              "passive_ports": None, "banner": "test"})
    server = ThreadedFTPServer(("127.0.0.1", 0), handler)
    server.max_cons = 20
    thread = threading.Thread(target=server.serve_forever, kwargs={"timeout": 0.1},
                              daemon=True)
    thread.start()
    try:
        yield "ftp://127.0.0.1:%d" % server.address[1]
    finally:
        server.close_all()
        thread.join(5)


class Tool:
    def __init__(self, exe):
        self.exe = exe
        self.tmp = tempfile.mkdtemp(prefix="veltrun-dl-")
        # Nothing may reach past this machine: no proxy from the environment.
        self.env = {k: v for k, v in os.environ.items() if not k.lower().endswith("_proxy")}
        self.env["LC_ALL"] = "C.UTF-8"

    def veltrun(self, args, stdin=b""):
        proc = subprocess.run([self.exe] + args, input=stdin, capture_output=True, timeout=30)
        if proc.returncode != 0:
            raise Failure("veltrun %s: status %d: %r" % (" ".join(args), proc.returncode,
                                                        proc.stderr))
        return proc.stdout

    def links(self, addresses, charset):
        """One link per address, the schemes taken in turn, made by `veltrun -e`."""
        made = []
        for i, address in enumerate(addresses):
            extra = ["--charset", charset] if charset else []
            made.append(self.veltrun(["-e", SCHEMES[i % 3]] + extra + [address]).decode().strip())
        return made

    def shell(self, command, stdin, cwd):
        """Runs a shell pipeline with standard input `stdin`; returns its failure or None."""
        try:
            proc = subprocess.run(["bash", "-o", "pipefail", "-c", command], input=stdin,
                                  cwd=cwd, env=self.env, capture_output=True, timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            return "no end after %d s" % TIMEOUT
        if proc.returncode != 0:
            return "status %d: %r" % (proc.returncode, proc.stderr[-400:])
        return None

    def fresh_dir(self, name):
        path = os.path.join(self.tmp, name)
        os.makedirs(path)
        return path


def expect_files(what, directory, wanted):
    """Every wanted content arrived below `directory`, and nothing else."""
    found = set()
    for top, _, files in os.walk(directory):
        for f in files:
            with open(os.path.join(top, f), "rb") as fh:
                found.add(fh.read())
    problems = ["%s missing" % name for name, data in wanted.items() if data not in found]
    extra = found - set(wanted.values())
    if extra:
        problems.append("%d unexpected files" % len(extra))
    if problems:
        raise Failure("%s: %s" % (what, "; ".join(problems)))


def fetch_all(tool, group, commands, stdin, wanted, server=None):
    """Runs each pipeline in a fresh directory and checks that the wanted files arrive, each
    fetched once by its own path (for HTTP, where the server's log tells)."""
    failures = []
    for name, command in commands.items():
        directory = tool.fresh_dir("%s-%s" % (group, name))
        if server is not None:
            del server.log[:]
        error = tool.shell(command, stdin, directory)
        try:
            if error:
                raise Failure("%s: %s; served %r" % (command, error, server and server.log))
            expect_files(name, directory, wanted)
            if server is not None and sorted(server.log) != sorted(
                    (path, 200) for path in server.files):
                raise Failure("%s: requests %r" % (name, server.log))
        except Failure as e:
            failures.append(str(e))
    if failures:
        raise Failure("; ".join(failures))


def fetch_addresses(tool, group, addresses, wanted, server=None):
    """Hands plain-ASCII addresses to each downloader on its standard input."""
    for a in addresses:
        if not a.isascii() or " " in a:
            raise Failure("decoded address %r is not plain ASCII" % a)
    listing = "".join(a + "\n" for a in addresses).encode("ascii")
    fetch_all(tool, group, DOWNLOADERS, listing, wanted, server)


def serve_names(encoding, seed):
    """Raw path bytes to contents, and the same contents by their names."""
    data = contents(seed, len(NAMES))
    return ({n.encode(encoding): d for n, d in zip(NAMES, data)}, dict(zip(NAMES, data)))


# ---------------------------------------------------------------------------------------------
# Groups


def group_gbk(tool):
    """An old server names its files in GBK: links carry GBK, veltrun -p -c raw passes it on."""
    files, wanted = serve_names("gbk", 1)
    with http_server(files) as (server, base):
        links = tool.links([base + n for n in NAMES], "gbk")
        text = "".join(link + "\n" for link in links).encode("ascii")
        addresses = tool.veltrun(["-p", "-c", "raw"], text).decode("ascii").split()
        fetch_addresses(tool, "gbk", addresses, wanted, server)


def group_utf8(tool):
    """A newer server names its files in UTF-8: links carry UTF-8, veltrun -p encodes it."""
    files, wanted = serve_names("utf-8", 2)
    with http_server(files) as (server, base):
        links = tool.links([base + n for n in NAMES], None)
        addresses = tool.veltrun(["-p"] + links).decode("ascii").split()
        fetch_addresses(tool, "utf8", addresses, wanted, server)


def page_with(links):
    """A download page as forums have them: links in attributes, and two in one line of text."""
    rows = "".join('<li><a href="%s">下载</a></li>\n' % link for link in links[:-2])
    return ('<!DOCTYPE html>\n<html><head><meta charset="utf-8"></head><body><ul>\n%s'
            "<li>迅雷：%s 旋风：%s</li>\n</ul></body></html>\n"
            % (rows, links[-2], links[-1])).encode("utf-8")


def group_page(tool):
    """What users type: a saved page piped through veltrun straight into a downloader."""
    files, wanted = serve_names("utf-8", 3)
    with http_server(files) as (server, base):
        page = os.path.join(tool.tmp, "page.html")
        with open(page, "wb") as f:
            f.write(page_with(tool.links([base + n for n in NAMES], None)))
        exe, page = shlex.quote(tool.exe), shlex.quote(page)
        # aria2c and wget take the UTF-8 addresses as they are, spaces included; curl wants -p.
        fetch_all(tool, "page", {
            "aria2c": "%s < %s | %s" % (exe, page, DOWNLOADERS["aria2c"]),
            "xargs-curl": "%s -p < %s | xargs -n1 curl -sS --fail --max-time 10 -O" % (exe, page),
            "wget": "%s -f %s | %s" % (exe, page, DOWNLOADERS["wget"]),
        }, b"", wanted, server)


def group_ftp(tool):
    """Links to an FTP server whose names are UTF-8, as FTP servers name them today."""
    root = tool.fresh_dir("ftp-root")
    _, wanted = serve_names("utf-8", 4)
    for name, data in wanted.items():
        path = os.path.join(root, name.lstrip("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    with ftp_server(root) as base:
        links = tool.links([base + n for n in NAMES], None)
        addresses = tool.veltrun(["-p"] + links).decode("ascii").split()
        fetch_addresses(tool, "ftp", addresses, wanted)


GROUPS = groups_in(globals())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--group", choices=sorted(GROUPS), action="append")
    args = parser.parse_args()
    tool = Tool(os.path.abspath(args.exe))
    return run_groups(GROUPS, args.group, tool, Failure, tool.tmp)


if __name__ == "__main__":
    sys.exit(main())
