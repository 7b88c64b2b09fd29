#!/usr/bin/env python3
"""What a Linux user and a C++ developer get from a build tree: the man page and the
completions against the options the built veltrun lists in --help, `cmake --install` with a
program built against the installed core, and the packages cpack makes. One group per ctest
test.
"""

import argparse
import base64
import os
import re
import shlex
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from group_runner import groups_in, run_groups  # noqa: E402
COMPLETIONS = os.path.join(ROOT, "packaging", "completions")

# Under "Options:" in --help: "  -c, --charset WHICH    how to ..." (or "      --long").
HELP_OPTION = re.compile(r"^ {2,6}(?:(-\w), )?(--[\w-]+)(?: ([A-Z]+))?(?:  |$)")
# In the rendered page's OPTIONS section: "       -c, --charset WHICH".
MAN_OPTION = re.compile(r"^ {7}(?:(-\w), )?(--[\w-]+)(?: ([A-Z]+))?$")


class Failure(Exception):
    pass


def run(args, **kw):
    proc = subprocess.run(args, capture_output=True, text=True, timeout=300, **kw)
    if proc.returncode != 0:
        raise Failure("%s: status %d: %s" % (" ".join(args), proc.returncode,
                                             (proc.stdout + proc.stderr)[-2000:]))
    return proc


class Build:
    def __init__(self, args):
        self.dir, self.exe = os.path.abspath(args.build_dir), os.path.abspath(args.exe)
        self.version = args.version
        self.tmp = tempfile.mkdtemp(prefix="veltrun-install-")
        self.help = run([self.exe, "--help"]).stdout

    def options(self):
        """(short, long, value name or None) for each option --help lists."""
        found = []
        for line in self.help.split("\nOptions:\n", 1)[1].splitlines():
            m = HELP_OPTION.match(line)
            if m:
                found.append(m.groups())
        if len(found) < 2:
            raise Failure("found %d options in --help" % len(found))
        return found

    def values(self, option):
        """The values `option` takes, as veltrun names them when it refuses a bad one."""
        proc = subprocess.run([self.exe, option, "?", "http://a/b"], capture_output=True,
                              text=True, timeout=30)
        m = re.search(r": ([a-z0-9]+(?:, [a-z0-9]+)* or [a-z0-9]+) \(see", proc.stderr)
        if proc.returncode != 2 or not m:
            raise Failure("%s ?: no list of values in %r" % (option, proc.stderr))
        return re.split(r", | or ", m.group(1))

    def page(self):
        """The man page rendered as a user reads it, warnings checked."""
        env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80")
        proc = run(["man", "--warnings", "-l", os.path.join(self.dir, "veltrun.1")], env=env)
        if proc.stderr:
            raise Failure("man page warnings: %s" % proc.stderr)
        return proc.stdout


def sections(page):
    """Maps each heading of a rendered page to its lines."""
    found, current = {}, None
    for line in page.splitlines():
        if re.match(r"^[A-Z][A-Z ]+$", line):
            current = found.setdefault(line, [])
        elif current is not None:
            current.append(line)
    return found


def differ(what, got, wanted):
    got, wanted = set(got), set(wanted)
    if got != wanted:
        raise Failure("%s: missing %s, unexpected %s" % (what, sorted(wanted - got, key=str),
                                                          sorted(got - wanted, key=str)))


# ---------------------------------------------------------------------------------------------
# Groups


def group_manpage(build):
    page = build.page()
    parts = sections(page)
    listed = [m.groups() for m in map(MAN_OPTION.match, parts.get("OPTIONS", [])) if m]
    differ("man page OPTIONS against --help", listed, build.options())
    if "Veltrun %s" % build.version not in page.splitlines()[-1]:
        raise Failure("page footer %r lacks the version" % page.splitlines()[-1])
    # Every example that shows its output shows what veltrun writes.
    lines = parts.get("EXAMPLES", [])
    shown = 0
    for i, line in enumerate(lines):
        if line.strip().startswith("$ veltrun "):
            args = shlex.split(line.strip()[len("$ veltrun "):])
            wanted = []
            for follow in lines[i + 1:]:
                if not follow.strip() or follow.strip().startswith("$ "):
                    break
                wanted.append(follow.strip())
            got = run([build.exe] + args).stdout.splitlines()
            if got != wanted:
                raise Failure("example %r writes %r, the page shows %r" % (line, got, wanted))
            shown += 1
    if shown == 0:
        raise Failure("no example with its output in the page")


def completion_cases(build, tmp):
    """(command line as typed, offers wanted) for bash and fish alike, from --help."""
    options = build.options()
    longs = [o[1] for o in options]
    schemes, charsets = build.values("--encode"), build.values("--charset")
    for name in ("links.txt", "list 2.txt", "other.html"):
        open(os.path.join(tmp, name), "w").close()
    os.mkdir(os.path.join(tmp, "lists"))
    by_value = {o[1]: o for o in options if o[2]}
    for option, values in (("--encode", schemes), ("--charset", charsets)):
        if option not in by_value:
            raise Failure("--help lists no %s with a value" % option)
        for v in values:
            args = [option, v] + (["http://a/b"] if option == "--encode" else
                                  ["qqdl://aHR0cDovL2EvYg=="])
            run([build.exe] + args)
    return [
        ("veltrun --", longs),
        ("veltrun -", longs + [o[0] for o in options if o[0]]),
        ("veltrun --per", [o for o in longs if o.startswith("--per")]),
        ("veltrun qqdl://aHR0cDovL2EvYg== --j", [o for o in longs if o.startswith("--j")]),
        ("veltrun -e ", schemes),
        ("veltrun --encode q", [s for s in schemes if s.startswith("q")]),
        ("veltrun --encode=", schemes),
        ("veltrun -c ", charsets),
        ("veltrun --charset=g", [c for c in charsets if c.startswith("g")]),
        ("veltrun -f li", ["links.txt", "list 2.txt", "lists"]),
        ("veltrun --file ", ["links.txt", "list 2.txt", "lists", "other.html"]),
        ("veltrun ", []),
        ("veltrun -- -", []),
    ]


BASH_DRIVER = r"""
source "$1"; shift
complete -p veltrun
# Outside a real completion compopt has nothing to act on: note what was asked.
compopt() { echo "compopt $*"; }
COMP_WORDS=("$@")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
COMP_LINE="$*" COMP_POINT=${#COMP_LINE}
_veltrun veltrun "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf 'offer %s\n' "${COMPREPLY[@]}"
"""


def bash_words(line):
    """The words bash hands a completion function: "=" stands alone (COMP_WORDBREAKS)."""
    words = []
    for w in line.split(" "):
        head, eq, tail = w.partition("=")
        words += [head, "=", tail] if eq else [w]
    return words


def group_bash(build):
    tmp = os.path.join(build.tmp, "bash")
    os.mkdir(tmp)
    script = os.path.join(COMPLETIONS, "veltrun.bash")
    for line, wanted in completion_cases(build, tmp):
        out = run(["bash", "--norc", "--noprofile", "-c", BASH_DRIVER, "bash", script]
                  + bash_words(line), cwd=tmp).stdout.splitlines()
        if out[0] != "complete -F _veltrun veltrun":
            raise Failure("bash registers %r" % out[0])
        differ("bash %r" % line, [o[len("offer "):] for o in out if o.startswith("offer ")
                                  and o != "offer "], wanted)
        if line.startswith("veltrun -f") and "compopt -o filenames" not in out:
            raise Failure("bash %r: files offered without -o filenames" % line)


def group_fish(build):
    tmp = os.path.join(build.tmp, "fish")
    os.mkdir(tmp)
    script = os.path.join(COMPLETIONS, "veltrun.fish")
    for line, wanted in completion_cases(build, tmp):
        out = run(["fish", "--no-config", "-c", "source $argv[1]; complete -C $argv[2]",
                   script, line], cwd=tmp).stdout.splitlines()
        # fish offers "--charset=gbk" for "--charset=g" and marks directories with a "/".
        offers = [o.split("\t")[0].split("=", 1)[-1].rstrip("/") for o in out]
        differ("fish %r" % line, offers, wanted)


def group_zsh(build):
    script = os.path.join(COMPLETIONS, "_veltrun")
    run(["zsh", "-n", script])
    # compinit finds the function by its #compdef line.
    shown = run(["zsh", "-f", "-c", 'fpath=("$1" $fpath); autoload -Uz compinit; '
                 'compinit -u -d "$2/zcompdump"; print -r -- $_comps[veltrun]', "zsh",
                 COMPLETIONS, build.tmp]).stdout.strip()
    if shown != "_veltrun":
        raise Failure("compinit gives %r for veltrun" % shown)
    text = open(script, encoding="utf-8").read()
    specs = re.findall(r"\{(-\w)\+?,(--[\w-]+)=?\}", text)
    specs += [(None, long) for long in re.findall(r"'(--[\w-]+)=?-?\[", text)]
    differ("zsh options against --help", specs, [o[:2] for o in build.options()])
    for option, values in (("--encode", build.values("--encode")),
                           ("--charset", build.values("--charset"))):
        m = re.search(r"%s=\}'\[[^]]*\]:\w+:\(([^)]*)\)'" % option, text)
        differ("zsh values of %s" % option, m.group(1).split() if m else [], values)
    if not re.search(r"--file=\}'\[[^]]*\]:\w+:_files'", text):
        raise Failure("zsh offers no files after --file")


def group_install(build):
    prefix = os.path.join(build.tmp, "prefix")
    run(["cmake", "--install", build.dir, "--prefix", prefix])
    installed = {os.path.relpath(os.path.join(top, f), prefix)
                 for top, _, files in os.walk(prefix) for f in files}
    headers = ["include/veltrun/linkdecode/" + h
               for h in os.listdir(os.path.join(ROOT, "linkdecode")) if h.endswith(".h")]
    differ("installed files", installed, headers + [
        "bin/veltrun", "share/man/man1/veltrun.1.gz", "share/doc/veltrun/copyright",
        "share/doc/veltrun/changelog.gz", "share/bash-completion/completions/veltrun",
        "share/fish/vendor_completions.d/veltrun.fish", "share/zsh/site-functions/_veltrun",
        "share/applications/veltrun.desktop",
        "lib/liblinkdecode.a", "lib/cmake/Veltrun/VeltrunConfig.cmake",
        "lib/cmake/Veltrun/VeltrunConfigVersion.cmake"])
    if build.version not in run([os.path.join(prefix, "bin", "veltrun"), "--version"]).stdout:
        raise Failure("installed veltrun --version lacks %s" % build.version)

    # A program of someone else's, built against the tree after it moved elsewhere.
    moved = os.path.join(build.tmp, "moved")
    os.rename(prefix, moved)
    build_consumer(build, moved, "consumer")


def build_consumer(build, prefix, name):
    """Builds a program of someone else's against the core installed below `prefix` and checks
    what it writes."""
    consumer = os.path.join(build.tmp, name)
    os.mkdir(consumer)
    with open(os.path.join(consumer, "CMakeLists.txt"), "w") as f:
        f.write("cmake_minimum_required(VERSION 3.25)\nproject(consumer LANGUAGES CXX)\n"
                "find_package(Veltrun %s EXACT REQUIRED)\nadd_executable(consumer main.cpp)\n"
                "target_link_libraries(consumer PRIVATE Veltrun::linkdecode)\n" % build.version)
    with open(os.path.join(consumer, "main.cpp"), "w") as f:
        f.write('#include <iostream>\n#include "linkdecode/link_unwrap.h"\n'
                '#include "linkdecode/link_wrap.h"\n'
                "int main(int argc, char** argv) {\n"
                "    for (int i = 1; i < argc; ++i) {\n"
                "        std::cout << linkdecode::UnwrapDownloadLink(argv[i]).text << '\\n'\n"
                "                  << linkdecode::WrapDownloadLink(*linkdecode::FindLinkScheme("
                '"qqdl"), argv[i]) << "\\n";\n'
                "    }\n}\n")
    out = os.path.join(consumer, "build")
    run(["cmake", "-S", consumer, "-B", out, "-G", "Ninja", "-DCMAKE_PREFIX_PATH=" + prefix])
    run(["cmake", "--build", out])
    address = b"http://example.com/\xb5\xe7\xd3\xb0.mkv"
    link = "thunder://" + base64.b64encode(b"AA" + address + b"ZZ").decode()
    got = subprocess.run([os.path.join(out, "consumer"), link], capture_output=True,
                         timeout=30).stdout.splitlines()
    wanted = [address, ("qqdl://" + base64.b64encode(link.encode()).decode()).encode()]
    if got != wanted:
        raise Failure("consumer writes %r, wanted %r" % (got, wanted))


def group_package(build):
    out = os.path.join(build.tmp, "out")
    run(["cpack", "--config", os.path.join(build.dir, "CPackConfig.cmake"), "-B", out],
        cwd=build.dir)
    proc = run([sys.executable, os.path.join(ROOT, "packaging", "check-package.py"),
                "--out", out, build.dir])
    print(proc.stdout, end="")
    # What a C++ developer gets from the -dev package, unpacked as dpkg would install it.
    dev, = [f for f in os.listdir(out) if f.startswith("veltrun-dev_") and f.endswith(".deb")]
    root = os.path.join(build.tmp, "dev-root")
    run(["dpkg-deb", "-x", os.path.join(out, dev), root])
    build_consumer(build, os.path.join(root, "usr"), "dev-consumer")


GROUPS = groups_in(globals())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--group", choices=sorted(GROUPS), action="append")
    args = parser.parse_args()
    build = Build(args)
    return run_groups(GROUPS, args.group, build, Failure, build.tmp)


if __name__ == "__main__":
    sys.exit(main())
