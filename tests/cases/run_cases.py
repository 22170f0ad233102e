#!/usr/bin/env python3
"""Runs end-to-end case files against the real binary; see README.md here.

  run_cases.py VORN FILE...          VORN: the program, or vorn.exe (run under Wine)
  run_cases.py VORN FILE... --report JSON   also writes runs and faults per case

Each case file's cases share one fresh directory, in order. Every run has a
fixed time zone, must print exactly what the case says, nothing on standard
error, and end with the status given (0 unless said); the checks that follow
look at the disk. Prints one line per case and a closing tally.
"""
import calendar, difflib, glob, json, os, re, shlex, signal, stat, subprocess, sys, tempfile, threading, time
from pathlib import Path

TIMES = {"old": "2020-02-02 02:02:02", "mid": "2022-02-02 02:02:02", "new": "2024-04-04 04:04:04"}
DEFAULT_TIME = "2024-01-01 10:00:00"
WINE = os.environ.get("VORN_WINE", "/usr/lib/wine/wine64")
# Every run is watched: one that outlives this is killed and fails its case.
WATCHDOG_S = 120

# What the Windows build does not share. Cases whose run needs POSIX
# machinery (faults and kills through strace, links, FIFOs, sockets, permission
# bits) are left out under Wine by the words they use; the others by title.
POSIX_WORDS = {"fault": "strace", "kill": "signals", "link": "symbolic links",
               "fifo": "FIFOs", "socket": "sockets", "mode": "Unix permission bits", "perm": "Unix permission bits",
               "hardlink": "hard links made here", "unreadable": "/proc"}
POSIX_TITLES = {
    "X: stands for": "':' in a name (X: is a drive there)",
    "shell would interpret": "quotes, '|', '<', '>' and line feeds in names",
    "quote blank quote": "quotes in names",
    "raw bytes": "names as raw bytes; Windows reads them through the ANSI code page",
    "thousands of characters": "paths beyond 260 characters",
    "path limit": "paths beyond 260 characters",
    "*. fits": "Wine's search matches '*.' like '*', not names without a dot",
}


def unescape(text):
    return re.sub(r"\\(x[0-9a-fA-F]{2}|.)", lambda m: {"n": "\n", "t": "\t", "r": "\r", "a": "\a",
                  "e": "\x1b", "0": "\0", "c": ""}.get(m.group(1), chr(int(m.group(1)[1:], 16))
                  if m.group(1)[0] == "x" and len(m.group(1)) == 3 else m.group(1)), text)


def tokens(text):
    return re.findall(r'(?:\d+[KMG]?\*)?"(?:[^"\\]|\\.)*"|\S+', text)


def words(text):
    """Blank-separated words; "..." holds blanks and escapes."""
    return [unquote(t) for t in tokens(text)]


def unquote(token):
    return unescape(token[1:-1]) if token.startswith('"') else token


def size_of(word):
    return int(word[:-1]) << {"K": 10, "M": 20, "G": 30}[word[-1]] if word[-1] in "KMG" else int(word)


def contents(parts):
    """ "text" and COUNT*"text" joined, and the time after them."""
    data, rest = b"", parts
    while rest and (m := re.match(r'(?:(\d+[KMG]?)\*)?"(.*)"$', rest[0], re.S)):
        data += unescape(m.group(2)).encode("latin-1") * size_of(m.group(1) or "1")
        rest = rest[1:]
    when = " ".join(rest) or DEFAULT_TIME
    return data, TIMES.get(when, when)


def epoch(when):
    return calendar.timegm(time.strptime(when, "%Y-%m-%d %H:%M:%S"))


def listing(where, names):
    """The heading and the names of a List action, four to a line."""
    rows = [names[i:i + 4] for i in range(0, len(names), 4)]
    return f"**************** In directory {where}:\n" + "".join(
        "".join(n if k == 3 else n.ljust(20) for k, n in enumerate(row)) + "\n" for row in rows)


def expected_line(text):
    """A '>' line: a closing '|' marks trailing blanks, a closing \\c no line end."""
    text = text[:-1] if text.endswith("|") else text
    return unescape(text) + ("" if text.endswith("\\c") else "\n")


DEEP = "n" * 100


def deep_lines(kind, top, count):
    """What a chain made by 'deep' gives: its levels listed, made, or one unread."""
    path = lambda level: top + "/" + "".join(DEEP + "/" for _ in range(level))
    if kind == "listed":
        return "".join(listing(path(l) + "*.*", [f"f{l}"]) for l in range(int(count)))
    if kind == "made":
        return "".join(f"Creating target directory {path(l)[:-1]}\nTrying to create directory {path(l)[:-1]}\n"
                       for l in range(1, int(count) + 1))
    return f"WARNING: Could not read directory {path(int(count))}\n"


# Every byte value but '/' and NUL, alone, first and inside, and the shapes
# that trip up shells, command lines and masks; no two equal but for case.
HOSTILE_NAMES = list(dict.fromkeys([n for v in range(1, 256) if v != 0x2f for n in
                 ([b"%02x-" % v + bytes([v])] + ([] if chr(v) in ".abcdefghijklmnopqrstuvwxyz" else
                  [bytes([v]) + b"-%02x" % v, bytes([v])]))] + [n.encode("latin-1") for n in (
    "-r", "--help", "-", " lead", "trail ", "  ", '"quoted"', "it's", 'x" "y', 'x" >nul', ">nul", "@at",
    ";semi;", "back\\slash\\", "C:", "D:x", "tab\there", "new\nline", "cr\r", "%PATH%", "$HOME", "`id`",
    "$(id)", "*.*", "*.", "?", "[a-z]", "{a,b}", "~", "\x1b[31mred", "\xff\xfe", "caf\xc3\xa9", "x..", "x.")]))

ABORT = "Program halted by RunAbort, with following error message:\n  {}\n"
USAGE = Path(__file__).with_name("usage.text").read_text()


class Failure(Exception):
    pass


class Case:
    def __init__(self, title, lines):
        self.title, self.lines = title, lines
        self.runs = self.faults = self.kills = 0
        self.struck = set()


class Runner:
    def __init__(self, vorn, root):
        self.vorn, self.root = vorn, root
        self.wine = vorn.endswith(".exe")
        self.elsewhere = []  # directories made outside root, removed with it

    def path(self, rel):
        """Names are bytes: the case files' bytes are the names' bytes."""
        return os.fsencode(self.root) + b"/" + rel.encode("latin-1")

    def read(self, rel):
        p = self.path(rel)
        return open(p, "rb").read() if os.path.exists(p) else None

    # -- the tree before a run --------------------------------------------
    def make(self, word, raw, case):
        args = [unquote(t) for t in raw]
        p = self.path(args[0]) if args else None
        if p and word not in ("rm", "deep", "many", "allbytes"):
            os.makedirs(os.path.dirname(p) if word != "dir" else p, exist_ok=True)
        if word == "dir":
            return
        if word == "file":
            data, when = contents(raw[1:])
            open(p, "wb").write(data)
            os.utime(p, (epoch(when),) * 2)
        elif word == "sparse":  # SIZE: data only at start, middle and end, each word its offset
            size = size_of(args[1])
            with open(p, "wb") as f:
                f.truncate(size)
                for start in (0, size // 2 + 12345, size - (1 << 20)):
                    f.seek(start)
                    f.write(b"".join((start + i).to_bytes(8, "little") for i in range(0, 1 << 20, 8)))
            os.utime(p, (epoch(TIMES["new"]),) * 2)
        elif word == "link":
            os.symlink(args[1].encode("latin-1"), p)
        elif word == "hardlink":
            os.link(self.path(args[1]), p)
        elif word == "fifo":
            os.mkfifo(p)
        elif word == "socket":
            import socket
            case.socket = socket.socket(socket.AF_UNIX)
            case.socket.bind(p)  # stays bound while the case runs
        elif word == "device":
            os.mknod(p, 0o666 | stat.S_IFCHR, os.makedev(1, 3))
        elif word == "deep":  # LEVELS of 100-byte names below DIR, a file fN at each, past PATH_MAX
            fd = os.open(p, os.O_RDONLY)
            for level in range(int(args[1]) + 1):
                with open(f"f{level}", "w", opener=lambda n, f: os.open(n, f, 0o644, dir_fd=fd)) as out:
                    out.write(f"f{level}")
                if level < int(args[1]):
                    os.mkdir(DEEP, dir_fd=fd)
                    fd, old = os.open(DEEP, os.O_RDONLY, dir_fd=fd), fd
                    os.close(old)
            os.close(fd)
        elif word == "many":  # COUNT empty files n000000... in DIR, made in memory where there is some
            fast = tempfile.mkdtemp(prefix="vorn-many-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
            self.elsewhere.append(fast)
            os.symlink(fast, p)
            for i in range(int(args[1])):
                os.close(os.open(b"%s/n%06d" % (fast.encode(), i), os.O_CREAT | os.O_WRONLY, 0o644))
        elif word == "allbytes":  # a file and a directory holding one for each of HOSTILE_NAMES
            for name in HOSTILE_NAMES:  # (with "dirs": the directories alone)
                os.makedirs(p + b"/dirs/" + name)
                for q in [] if args[1:] else [p + b"/" + name, p + b"/dirs/" + name + b"/f"]:
                    open(q, "wb").write(q)
                    os.utime(q, (epoch(TIMES["old"]),) * 2)
        elif word == "mode":
            os.chmod(p, int(args[1], 8))
        elif word == "time":
            os.utime(p, (epoch(TIMES.get(" ".join(args[1:]), " ".join(args[1:]))),) * 2)
        elif word == "rm":
            for rel in args:  # a pattern may name what the runs left
                subprocess.run([b"rm", b"-rf"] + glob.glob(self.path(rel)), check=True)
        elif word == "mv":
            os.rename(p, self.path(args[1]))
        elif word == "clear":
            subprocess.run(["chmod", "-R", "u+rwx", self.root], check=False)
            for name in os.listdir(self.root):
                subprocess.run(["rm", "-rf", os.path.join(self.root, name)], check=True)

    # -- a run -------------------------------------------------------------
    def run(self, case, args, stdin, faults, paths, kill_ms):
        args = [a.replace("{root}", self.root).encode("latin-1") for a in args]
        env = {"TZ": "UTC", "PATH": "/usr/bin:/bin"}
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS", "WINEPREFIX",
                     "WINEDEBUG", "WINEDLLOVERRIDES", "HOME"):
            if name in os.environ:
                env[name] = os.environ[name]
        command = ([WINE, self.vorn] if self.wine else [self.vorn]) + args
        log = self.root + ".strace"
        if faults:
            command = (["strace", "-f", "-qq", "-o", log] + [f"-P{p}" for p in paths] +
                       [f"-einject={f}" for f in faults] + command)
        child = subprocess.Popen(command, cwd=self.root, env=env, stdin=subprocess.PIPE,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True)
        try:
            out, err = child.communicate(stdin, timeout=kill_ms / 1000 if kill_ms else WATCHDOG_S)
        except subprocess.TimeoutExpired:
            os.killpg(child.pid, signal.SIGKILL)
            out, err = child.communicate()
            if not kill_ms:
                raise Failure(f"the run hung and was killed")
            case.kills += 1
        case.runs += 1
        status = child.returncode if child.returncode >= 0 else 128 - child.returncode
        if faults:
            if not os.path.exists(log):
                raise Failure(f"strace did not run: {err.decode()}")
            traced = Path(log).read_text(errors="replace")
            os.unlink(log)
            struck = re.findall(r"^\d+ +(\w+)\(.*\((?:INJECTED|DELAYED)\)$", traced, re.M)
            killed = len(re.findall(r"killed by SIGKILL", traced))
            if not struck and not killed:
                raise Failure(f"no fault struck: {faults}")
            case.faults += len(struck) + killed
            case.kills += killed
            case.struck.update(struck)
            err = b"".join(l for l in err.splitlines(True) if not l.startswith(b"strace: Requested path"))
        out, err = out.decode("latin-1"), err.decode("latin-1")
        if self.wine:  # line ends and separators turned back; the interpreter's own complaints go
            out = re.sub(r"(?<!\r)\n", "<line feed without CR>\n", out).replace("\r\n", "\n").replace("\\", "/")
            err = re.sub(r"(Path|File) not found\.\r\n\r\n", "", err)
        return out, err, status

    # -- the case ---------------------------------------------------------
    def check(self, word, raw):
        args = [unquote(t) for t in raw]
        if word == "after":
            data, when = contents(raw[1:])
            got = self.read(args[0])
            if got != data:
                raise Failure(f"{args[0]} holds {got[:200] if got is not None else 'nothing'!r}")
            if raw[2:] and (t := time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(
                    os.stat(self.path(args[0])).st_mtime))) != when:
                raise Failure(f"{args[0]} has the time {t}, not {when}")
        elif word == "gone":
            for rel in args:
                if os.path.lexists(self.path(rel)):
                    raise Failure(f"{rel} is still there")
        elif word == "same":
            if self.read(args[0]) != self.read(args[1]):
                raise Failure(f"{args[0]} and {args[1]} differ")
        elif word == "tree":
            want = args[1:]
            if self.tree(args[0]) != sorted(want):
                raise Failure(f"tree {args[0]}: {self.tree(args[0])} is not {want}")
        elif word == "mirror":  # the same names, contents and times below both
            for top, _, names in os.walk(self.path(args[0])):
                for name in names:
                    a = os.path.join(top, name)
                    b = self.path(args[1]) + a[len(self.path(args[0])):]
                    if open(a, "rb").read() != open(b, "rb").read() or \
                            os.stat(a).st_mtime != os.stat(b).st_mtime:
                        raise Failure(f"{b} is no copy of {a}")
            if self.tree(args[0]) != self.tree(args[1]):
                raise Failure(f"{args[0]} and {args[1]} hold different names")
        elif word == "perm":
            if (got := stat.S_IMODE(os.stat(self.path(args[0])).st_mode)) != int(args[1], 8):
                raise Failure(f"{args[0]} has the mode {got:o}")
        elif word == "leftovers":  # how many .vorn- temporaries lie under a directory
            found = [n for _, _, names in os.walk(self.path(args[0])) for n in names if n.startswith(b".vorn-")]
            if len(found) != int(args[1]):
                raise Failure(f"{len(found)} temporaries under {args[0]}")

    def tree(self, rel):
        """Every entry below rel: "name/" for a directory, "name:size" for the rest."""
        base, found = self.path(rel), []
        for top, dirs, names in os.walk(base):
            for name in dirs + names:
                full = os.path.join(top, name)
                info = os.lstat(full)
                found.append(os.path.relpath(full, base).decode("latin-1") +
                             ("/" if stat.S_ISDIR(info.st_mode) else f":{info.st_size}"))
        return sorted(found)

    def play(self, case, fingerprints):
        lines, i = case.lines, 0
        while i < len(lines):
            word, _, rest = lines[i].partition(" ")
            i += 1
            if word == "$":
                args = words(rest)[1:]
                want, stdin, status, faults, paths, kill_ms, later = "", b"", 0, [], [], 0, []
                while i < len(lines) and lines[i].split(" ")[0] in (">", ">=", ">deep", ">ls", ">abort", ">usage", "<", "?", "fault", "kill", "meanwhile"):
                    w, _, r = lines[i].partition(" ")
                    i += 1
                    if w == ">":
                        want += expected_line(r)
                    elif w == ">=":  # a line made like a file's contents
                        want += contents(tokens(r))[0].decode("latin-1") + "\n"
                    elif w == ">deep":
                        want += deep_lines(*words(r))
                    elif w == ">ls":
                        where, *names = words(r)
                        want += listing(where, names)
                    elif w == ">abort":
                        want += ABORT.format(unescape(r))
                    elif w == ">usage":
                        want += USAGE
                    elif w == "<":
                        stdin += words(r)[0].encode("latin-1")
                    elif w == "?":
                        status = int(r)
                    elif w == "fault":
                        spec, *where = r.split(" ")
                        faults.append(spec)
                        paths += where
                    elif w == "meanwhile":  # MS WORD ARGS: changes the tree while the run goes on
                        ms, _, change = r.partition(" ")
                        later.append((int(ms), change))
                    elif w == "kill":
                        kill_ms, status = int(r), 128 + 9
                timers = [threading.Timer(ms / 1000, self.make, (c.split(" ")[0], tokens(c.partition(" ")[2]), case))
                          for ms, c in later]
                for timer in timers:
                    timer.start()
                out, err, got = self.run(case, args, stdin, faults, paths, kill_ms)
                for timer in timers:
                    timer.join()
                problems = [f"standard error: {err!r}"] if err else []
                if got != status:
                    problems.append(f"status {got}, not {status}")
                if out != want:
                    problems.append("output differs:\n" + "".join(difflib.unified_diff(
                        want.splitlines(True), out.splitlines(True), "expected", "printed")))
                if problems:
                    raise Failure(f"$ {rest} {faults or ''}\n" + "\n".join(problems))
            elif word == "safe":  # copy|move SOURCE TARGET: nothing lost, nothing partial
                verb, source, target = words(rest)
                whole, old = fingerprints[source], fingerprints.get(target)
                got_s, got_t = self.read(source), self.read(target)
                if got_t not in (old, whole) or (got_s != whole and (verb == "copy" or got_s is not None)) \
                        or whole not in (got_s, got_t):
                    raise Failure(f"after the kill {source} or {target} is partial or lost")
            elif word in ("after", "gone", "same", "tree", "leftovers", "perm", "mirror"):
                self.check(word, tokens(rest))
            elif word == "remember":
                for rel in words(rest):
                    fingerprints[rel] = self.read(rel)
            else:
                self.make(word, tokens(rest), case)


def parse(text):
    cases = []
    for line in text.splitlines():
        if line.startswith("## "):
            cases.append(Case(line[3:], []))
        elif line.strip() and not line.startswith("#") and cases:
            cases[-1].lines.append(line.strip() if not line.startswith(">") else line)
    return cases


def posix_only(case):
    for word in {l.split(" ")[0] for l in case.lines}:
        if word in POSIX_WORDS:
            return POSIX_WORDS[word]
    return next((why for key, why in POSIX_TITLES.items() if key in case.title), None)


def main():
    report = sys.argv.index("--report") if "--report" in sys.argv else None
    files = sys.argv[2:report] if report else sys.argv[2:]
    vorn, tally, results = os.path.abspath(sys.argv[1]), {"passed": 0, "failed": 0, "skipped": 0}, []
    for file in files:
        group = Path(file).stem
        with tempfile.TemporaryDirectory(prefix=f"vorn-{group}-") as root:
            runner, fingerprints = Runner(vorn, root), {}
            for case in parse(Path(file).read_text(encoding="latin-1")):
                name = f"{group}: {case.title}"
                why = posix_only(case) if runner.wine else None
                if why:
                    print(f"skip  {name} (not on Windows: {why})")
                    tally["skipped"] += 1
                    continue
                try:
                    runner.play(case, fingerprints)
                    passed = True
                    print(f"ok    {name}")
                except (Failure, OSError, ValueError) as problem:
                    passed = False
                    print(f"FAIL  {name}\n{problem}")
                tally["passed" if passed else "failed"] += 1
                results.append({"group": group, "title": case.title, "passed": passed,
                                "runs": case.runs, "faults": case.faults, "kills": case.kills,
                                "struck": sorted(case.struck)})
            subprocess.run(["chmod", "-R", "u+rwx", root], check=False)
            subprocess.run(["rm", "-rf"] + runner.elsewhere, check=False)
    if report:
        Path(sys.argv[report + 1]).write_text(json.dumps(results))
    print("{passed} passed, {failed} failed, {skipped} skipped".format(**tally))
    return 1 if tally["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
