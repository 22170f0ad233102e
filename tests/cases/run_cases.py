#!/usr/bin/env python3
"""Runs end-to-end case files against the real program.

  run_cases.py VORN FILE... [--report JSON]     (VORN may be vorn.exe: run under Wine)

A file's cases share one fresh directory, in order. Every run has TZ=UTC and
must print exactly what is expected, nothing on standard error, and end with
its status (0 unless given); the checks that follow it look at the disk.

  ## title
  + clear a/x=text@old "a/y z"="two words"@2024-03-05T10:00:02 a/big=3M*"ab""c" b/
  link|hardlink PATH TARGET...   fifo|device PATH...   socket|mode|time|rm ...
  sparse PATH SIZE   deep DIR LEVELS   many DIR COUNT   allbytes DIR [dirs]
  $ vorn ARGS [? STATUS] [one expected line]     ({root}: the case directory)
  < "input"   ? STATUS   kill MS   meanwhile MS CHANGE   limit BYTES (a full disk)
  fault CALL:ACTION... [PATH...] [| another choice...]   (strace -e inject, -P PATH)
  > text (\\a \\t \\xHH escapes; a closing | keeps trailing blanks, \\c: no line end)
  >= CONTENT   >ls DIR NAMES [| DIR NAMES]   >copy|>move|>cmp FROM/ TO/ NAMES   >copyfail PATH
  >del|>rmdir|>mkdir PATHS   >abort MESSAGE (status 1)   >usage   >deep listed|made|unread DIR N
  after PATH=CONTENT[@TIME]...   tree DIR ENTRY...   gone PATH...   same A B   perm PATH MODE
  mirror A B   leftovers DIR N   remember PATH...   safe copy|move SOURCE TARGET

A fault must strike; a run with several choices of faults is made under each,
followed each time by the checks right after it. "kill" ends the run after
MS ms; "safe" then demands that the remembered source be whole in one place
at least and the target be its remembered self or the whole source.
"""
import calendar, difflib, glob, json, os, re, resource, signal, socket, stat, subprocess, sys, tempfile
import threading, time
from pathlib import Path

TIMES = {"old": "2020-02-02T02:02:02", "mid": "2022-02-02T02:02:02", "new": "2024-04-04T04:04:04"}
WINE = os.environ.get("VORN_WINE", "/usr/lib/wine/wine64")
WATCHDOG_S = 120  # a run that outlives this hung: it is killed and fails its case
HERE = Path(__file__).parent
README = HERE.parent.parent / "README.md"  # its "$ vorn" block is the summary printed without words

# What the Windows build does not share, all in one place. Cases that use the
# words below need POSIX machinery; the others are named by their titles.
POSIX_WORDS = {"fault": "strace", "limit": "file size limits", "kill": "signals", "link": "symbolic links", "fifo": "FIFOs",
               "socket": "sockets", "device": "devices", "hardlink": "hard links made here",
               "mode": "Unix permission bits", "perm": "Unix permission bits", "allbytes": "names Windows forbids",
               "deep": "Wine reaches a file through an absolute Unix path of at most 4096 bytes"}
POSIX_TITLES = {
    "X: stands for": "':' in a name (X: is a drive there)",
    "shell would interpret": "quotes, '|', '<', '>' and line feeds in names",
    "quote blank quote": "quotes in names",
    "raw bytes": "names of bytes that are not UTF-8, which no Windows name is",
    "reported byte for byte": "a line that is not UTF-8 is read in the legacy code page",
    "own spelling first": "one directory cannot hold two names that differ in letter case only",
    "*. fits": "Wine's search matches '*.' like '*', not names without a dot",
    "written with a dot": "Windows makes new/. in one step, dropping the closing '.'",
}
# And the cases, by title, that only Windows runs.
WINDOWS_TITLES = {"folds every letter": "its file systems fold the case of every letter, ASCII or not"}


class Failure(Exception):
    pass


def unescape(text):
    codes = {"n": "\n", "t": "\t", "r": "\r", "a": "\a", "e": "\x1b", "0": "\0", "c": ""}
    return re.sub(r"\\(x[0-9a-fA-F]{2}|.)", lambda m: chr(int(m[1][1:], 16)) if len(m[1]) == 3
                  else codes.get(m[1], m[1]), text)


QUOTED = r'"(?:[^"\\]|\\.)*"'
PIECE = rf'(\d+[KMG]?\*)?({QUOTED})|[^\s@"]+'
FILE_WORD = re.compile(rf'(?P<path>{QUOTED}|[^\s="]+)(?:=(?P<data>(?:{PIECE})*)(?:@(?P<when>\S+))?)?(?=\s|$)')


def words(text):
    return [unescape(w[1:-1] if w.startswith('"') else w) for w in re.findall(rf"{QUOTED}|\S+", text)]


def size_of(word):
    return int(word[:-1]) << {"K": 10, "M": 20, "G": 30}[word[-1]] if word[-1] in "KMG" else int(word)


def contents(text):
    """Pieces "text", COUNT*"text" and bare text, joined."""
    return b"".join(unescape(m[2][1:-1]).encode("latin-1") * size_of(m[1][:-1] if m[1] else "1")
                    if m[2] else m[0].encode("latin-1") for m in re.finditer(PIECE, text))


def file_words(text):
    """PATH=CONTENT[@TIME] words: (path, contents or None for a directory, time or None)."""
    for m in FILE_WORD.finditer(text):
        path = unescape(m["path"][1:-1]) if m["path"].startswith('"') else m["path"]
        yield path, None if m["data"] is None else contents(m["data"]), TIMES.get(m["when"], m["when"])


def epoch(when):
    return calendar.timegm(time.strptime(when, "%Y-%m-%dT%H:%M:%S"))


def listing(where, names):
    rows = [names[i:i + 4] for i in range(0, len(names), 4)]
    return f"**************** In directory {where}:\n" + "".join(
        "".join(n if k == 3 else n.ljust(20) for k, n in enumerate(row)) + "\n" for row in rows)


DEEP = "n" * 100


def deep_lines(kind, top, count):
    """What a chain made by 'deep' gives: its levels listed, made, or the first one unread."""
    path = lambda level: top + "/" + (DEEP + "/") * level
    if kind == "listed":
        return "".join(listing(path(l) + "*.*", [f"f{l}"]) for l in range(int(count)))
    if kind == "made":
        return "".join(f"Creating target directory {path(l)[:-1]}\nTrying to create directory "
                       f"{path(l)[:-1]}\n" for l in range(1, int(count) + 1))
    return f"WARNING: Could not read directory {path(int(count))}\n"


def expected(word, rest):
    """The output a '>' line stands for."""
    args = words(rest)
    if word == ">":
        text = rest[:-1] if rest.endswith("|") else rest
        return unescape(text) + ("" if text.endswith("\\c") else "\n")
    if word in (">copy", ">move", ">cmp"):
        verb, to = {">copy": ("Copying", "to"), ">move": ("Moving", "to"), ">cmp": ("Comparing file", "with")}[word]
        return "".join(f"{verb} {args[0]}{n} {to} {args[1]}{n}\n" for n in args[2:])
    simple = {">del": "Deleting {}\n", ">rmdir": "Deleting directory {}\n",
              ">copyfail": "ERROR: Unable to copy file {}\n\a",
              ">mkdir": "Creating target directory {0}\nTrying to create directory {0}\n"}
    if word in simple:
        return "".join(simple[word].format(p) for p in args)
    return {">=": lambda: contents(rest).decode("latin-1") + "\n",
            ">ls": lambda: "".join(listing(g[0], g[1:]) for g in map(words, rest.split(" | "))),
            ">abort": lambda: f"Program halted by RunAbort, with following error message:\n  {unescape(rest)}\n",
            ">usage": lambda: re.search(r"^\$ vorn\n(.*?)^```", README.read_text(), re.M | re.S)[1],
            ">deep": lambda: deep_lines(*args)}[word]()


# Every byte value but '/' and NUL, alone, first and inside, and the shapes
# that trip up shells, command lines and masks; no two equal but for case.
HOSTILE_NAMES = list(dict.fromkeys([n for v in range(1, 256) if v != 0x2f for n in
    [b"%02x-" % v + bytes([v])] + ([] if chr(v) in ".abcdefghijklmnopqrstuvwxyz" else
                                   [bytes([v]) + b"-%02x" % v, bytes([v])])] + [n.encode("latin-1") for n in (
    "-r", "--help", " lead", "trail ", "  ", '"quoted"', "it's", 'x" "y', 'x" >nul', ">nul", "@at", ";semi;",
    "back\\slash\\", "C:", "D:x", "tab\there", "new\nline", "cr\r", "%PATH%", "$HOME", "`id`", "$(id)",
    "*.*", "*.", "[a-z]", "{a,b}", "\x1b[31mred", "\xff\xfe", "caf\xc3\xa9", "x..", "x.")]))


class Case:
    def __init__(self, title):
        self.title, self.lines, self.runs, self.faults, self.kills, self.struck = title, [], 0, 0, 0, set()


class Runner:
    def __init__(self, vorn, root):
        self.vorn, self.root, self.wine = vorn, root, vorn.endswith(".exe")
        self.elsewhere, self.remembered = [], {}

    def path(self, rel):
        """Names are bytes: a case file's bytes are the names' bytes."""
        return os.fsencode(self.root) + b"/" + rel.encode("latin-1")

    def read(self, rel):
        return open(self.path(rel), "rb").read() if os.path.exists(self.path(rel)) else None

    def put(self, rel, data, when):
        p = self.path(rel)
        os.makedirs(p if data is None else os.path.dirname(p), exist_ok=True)
        if data is not None:
            open(p, "wb").write(data)
            os.utime(p, (epoch(when or "2024-01-01T10:00:00"),) * 2)

    def make(self, word, rest):
        args = words(rest)
        p = self.path(args[0]) if args else b""
        if word not in ("+", "rm", "remember", "many"):
            os.makedirs(os.path.dirname(p), exist_ok=True)
        if word == "+":
            for rel, data, when in file_words(rest):
                if rel == "clear":
                    for name in os.listdir(self.root):
                        subprocess.run(["chmod", "-R", "u+rwx", name], cwd=self.root)
                        subprocess.run(["rm", "-rf", name], cwd=self.root, check=True)
                else:
                    self.put(rel, data, when)
        elif word in ("link", "hardlink"):  # PATH TARGET pairs
            for rel, target in zip(args[::2], args[1::2]):
                if word == "link":
                    os.symlink(target.encode("latin-1"), self.path(rel))
                else:
                    os.link(self.path(target), self.path(rel))
        elif word == "socket":
            socket.socket(socket.AF_UNIX).bind(p)  # the name stays when the socket closes
        elif word in ("fifo", "device"):
            for rel in args:
                os.mknod(self.path(rel), 0o666 | (stat.S_IFIFO if word == "fifo" else stat.S_IFCHR),
                         os.makedev(1, 3))
        elif word == "mode":
            os.chmod(p, int(args[1], 8))
        elif word == "time":  # PATH TIME pairs
            for rel, when in zip(args[::2], args[1::2]):
                os.utime(self.path(rel), (epoch(TIMES.get(when, when)),) * 2)
        elif word == "rm":
            for rel in args:  # a pattern may name what the runs left
                subprocess.run([b"rm", b"-rf"] + glob.glob(self.path(rel)), check=True)
        elif word == "sparse":  # data only at start, middle and end, each word its own offset
            size = size_of(args[1])
            with open(p, "wb") as f:
                f.truncate(size)
                for start in (0, size // 2 + 12345, size - (1 << 20)):
                    f.seek(start)
                    f.write(b"".join((start + i).to_bytes(8, "little") for i in range(0, 1 << 20, 8)))
            os.utime(p, (epoch(TIMES["new"]),) * 2)
        elif word == "deep":  # LEVELS of 100-byte names, a file fN at each, far past PATH_MAX
            fd = os.open(p, os.O_RDONLY)
            for level in range(int(args[1]) + 1):
                out = os.open(f"f{level}", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd)
                os.write(out, f"f{level}".encode())
                os.close(out)
                if level < int(args[1]):
                    os.mkdir(DEEP, dir_fd=fd)
                    fd, old = os.open(DEEP, os.O_RDONLY, dir_fd=fd), fd
                    os.close(old)
            os.close(fd)
        elif word == "many":  # COUNT empty files n000000... made in memory where there is some
            fast = tempfile.mkdtemp(prefix="vorn-many-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
            self.elsewhere.append(fast)
            os.symlink(fast, p)
            for i in range(int(args[1])):
                os.close(os.open(b"%s/n%06d" % (fast.encode(), i), os.O_CREAT | os.O_WRONLY, 0o644))
        elif word == "allbytes":  # a file, and a directory holding one, for each hostile name
            for name in HOSTILE_NAMES:
                os.makedirs(p + b"/dirs/" + name)
                for q in [] if args[1:] else [p + b"/" + name, p + b"/dirs/" + name + b"/f"]:
                    open(q, "wb").write(q)
                    os.utime(q, (epoch(TIMES["old"]),) * 2)
        elif word == "remember":
            self.remembered.update({rel: self.read(rel) for rel in args})
        else:
            raise Failure(f"unknown line: {word} {rest}")

    def run(self, case, args, stdin, faults, paths, kill_ms, limit):
        env = {"TZ": "UTC", "PATH": "/usr/bin:/bin"}
        env.update({k: v for k, v in os.environ.items() if k.endswith("SAN_OPTIONS") or k in (
            "WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES", "HOME")})
        if self.wine:  # Wine stores names in the locale's character set: UTF-8, as the case files write them
            env["LANG"] = "C.UTF-8"
        command = ([WINE, self.vorn] if self.wine else [self.vorn]) + [
            a.replace("{root}", self.root).encode("latin-1") for a in args]
        log = self.root + ".strace"
        if faults:  # LeakSanitizer cannot work under ptrace; the runs without strace look for leaks
            command = ["strace", "-f", "-qq", "-o", log] + [f"-P{p}" for p in paths] + [
                f"-einject={f}" for f in faults] + command
            env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
        def full_disk():  # files may grow to limit bytes, and a write past it fails (EFBIG)
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
        child = subprocess.Popen(command, cwd=self.root, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, start_new_session=True, preexec_fn=full_disk if limit else None)
        try:
            out, err = child.communicate(stdin, timeout=kill_ms / 1000 if kill_ms else WATCHDOG_S)
        except subprocess.TimeoutExpired:
            os.killpg(child.pid, signal.SIGKILL)
            out, err = child.communicate()
            if not kill_ms:
                raise Failure("the run hung and was killed")
            case.kills += 1
        case.runs += 1
        if limit:
            case.faults += 1
            case.struck.add("RLIMIT_FSIZE")
        if faults:
            traced = Path(log).read_text(errors="replace") if os.path.exists(log) else ""
            Path(log).unlink(missing_ok=True)
            # A call another thread interrupted ends on a line of its own: "<... NAME resumed>".
            struck = [a or b for a, b in re.findall(
                r"^\d+ +(?:<\.\.\. (\w+) resumed>|(\w+)\().*\(INJECTED\)$", traced, re.M)]
            killed = 0 if kill_ms else traced.count("killed by SIGKILL")
            if not struck and not killed and "(DELAYED)" not in traced:
                raise Failure(f"no fault struck: {faults} {err.decode(errors='replace')}")
            case.faults, case.kills = case.faults + len(struck) + killed, case.kills + killed
            case.struck.update(struck)
            err = b"".join(l for l in err.splitlines(True) if not l.startswith(b"strace: Requested path"))
        out, err = out.decode("latin-1"), err.decode("latin-1")
        if self.wine:  # line ends and separators turned back; the interpreter's own complaints go
            out = re.sub(r"(?<!\r)\n", "<line feed without CR>\n", out).replace("\r\n", "\n").replace("\\", "/")
            err = re.sub(r"(Path|File) not found\.\r\n\r\n", "", err)
        return out, err, child.returncode if child.returncode >= 0 else 128 - child.returncode

    def tree(self, rel):
        """Every entry below rel: "name/" for a directory, "name:size" for the rest."""
        base, found = self.path(rel), []
        for top, dirs, names in os.walk(base):
            for name in dirs + names:
                full = os.path.join(top, name)
                size = "/" if stat.S_ISDIR(os.lstat(full).st_mode) else f":{os.lstat(full).st_size}"
                found.append(os.path.relpath(full, base).decode("latin-1") + size)
        return sorted(found)

    def check(self, word, rest):
        args = words(rest)
        if word == "after":
            for rel, data, when in file_words(rest):
                if self.read(rel) != data:
                    raise Failure(f"{rel} holds {(self.read(rel) or b'nothing')[:200]!r}")
                got = time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(os.stat(self.path(rel)).st_mtime))
                if when and got != when:
                    raise Failure(f"{rel} has the time {got}, not {when}")
        elif word == "tree" and self.tree(args[0]) != sorted(args[1:]):
            raise Failure(f"tree {args[0]}: {self.tree(args[0])}")
        elif word == "gone" and any(os.path.lexists(self.path(rel)) for rel in args):
            raise Failure(f"one of {args} is still there")
        elif word == "same" and self.read(args[0]) != self.read(args[1]):
            raise Failure(f"{args[0]} and {args[1]} differ")
        elif word == "perm" and stat.S_IMODE(os.stat(self.path(args[0])).st_mode) != int(args[1], 8):
            raise Failure(f"{args[0]} has another mode")
        elif word == "leftovers":
            found = [n for _, _, names in os.walk(self.path(args[0])) for n in names if n.startswith(b".vorn-")]
            if len(found) != int(args[1]):
                raise Failure(f"{len(found)} temporaries under {args[0]}")
        elif word == "mirror":
            a, b = self.path(args[0]), self.path(args[1])
            for top, _, names in os.walk(a):
                for name in names:
                    x, y = os.path.join(top, name), b + os.path.join(top, name)[len(a):]
                    if open(x, "rb").read() != open(y, "rb").read() or os.stat(x).st_mtime != os.stat(y).st_mtime:
                        raise Failure(f"{y} is no copy of {x}")
            if self.tree(args[0]) != self.tree(args[1]):
                raise Failure(f"{args[0]} and {args[1]} hold different names")
        elif word == "safe":
            verb, source, target = args
            whole, old, now_s, now_t = self.remembered[source], self.remembered[target], self.read(source), self.read(target)
            if now_t not in (old, whole) or whole not in (now_s, now_t) or now_s not in (whole, None) or \
                    (verb == "copy" and now_s != whole):
                raise Failure(f"after the kill {source} or {target} is partial or lost")

    def play(self, case):
        lines, i = case.lines, 0
        while i < len(lines):
            word, _, rest = lines[i].partition(" ")
            i += 1
            if word != "$":
                (self.check if word in CHECKS else self.make)(word, rest)
                continue
            # One expected line may follow the command on its line.
            split = next((m.start() for m in re.finditer(rf"{QUOTED}|\S+", rest) if m[0][0] == ">"), None)
            if split is not None:
                rest, lines = rest[:split].rstrip(), lines[:i] + [rest[split:]] + lines[i:]
            if m := re.search(r" \? (\d+)$", rest):  # and its status
                rest, lines = rest[:m.start()], lines[:i] + [f"? {m[1]}"] + lines[i:]
            want, stdin, status, choices, kill_ms, later, limit = "", b"", None, [[]], 0, [], 0
            while i < len(lines) and (lines[i].split(" ")[0] in RUN_WORDS or lines[i][:1] == ">"):
                w, _, r = lines[i].partition(" ")
                i += 1
                if w.startswith(">"):
                    want += expected(w, r)
                    status = 1 if w == ">abort" and status is None else status
                elif w == "<":
                    stdin += words(r)[0].encode("latin-1")
                elif w == "?":
                    status = int(r)
                elif w == "fault":  # alternatives split by " | ": the run is made under each
                    choices = [c + a.split() for c in choices for a in r.split(" | ")]
                elif w == "limit":
                    limit = size_of(r)
                elif w == "kill":
                    kill_ms, status = int(r), 128 + signal.SIGKILL
                elif w == "meanwhile":  # MS WORD ARGS: changes the tree while the run goes on
                    ms, change = r.split(" ", 1)
                    later.append((int(ms) / 1000, change.split(" ", 1)))
            checks = []  # the checks right after a run follow each of its choices
            while i < len(lines) and lines[i].split(" ")[0] in CHECKS:
                checks.append(lines[i].partition(" ")[::2])
                i += 1
            for choice in choices:
                faults, paths = [x for x in choice if ":" in x], [x for x in choice if ":" not in x]
                timers = [threading.Timer(seconds, self.make, change) for seconds, change in later]
                for timer in timers:
                    timer.start()
                out, err, got = self.run(case, words(rest)[1:], stdin, faults, paths, kill_ms, limit)
                for timer in timers:
                    timer.join()
                problems = [f"standard error: {err!r}"] * bool(err) + [f"status {got}"] * (got != (status or 0))
                if out != want:
                    problems.append("".join(difflib.unified_diff(want.splitlines(True), out.splitlines(True),
                                                                 "expected", "printed")))
                if problems:
                    raise Failure(f"$ {rest} {choice}\n" + "\n".join(problems))
                for word, args in checks:
                    self.check(word, args)


CHECKS = {"after", "tree", "gone", "same", "perm", "leftovers", "mirror", "safe"}
RUN_WORDS = {"<", "?", "fault", "kill", "meanwhile", "limit"}


def main():
    report = sys.argv.index("--report") if "--report" in sys.argv else len(sys.argv)
    vorn, tally, results = os.path.abspath(sys.argv[1]), {"passed": 0, "failed": 0, "skipped": 0}, []
    for file in sys.argv[2:report]:
        group, cases = Path(file).stem, []
        for line in Path(file).read_text(encoding="latin-1").splitlines():
            if line.startswith("## "):
                cases.append(Case(line[3:]))
            elif line.strip() and not line.startswith("#"):
                cases[-1].lines.append(line)
        with tempfile.TemporaryDirectory(prefix=f"vorn-{group}-") as root:
            runner = Runner(vorn, root)
            for case in cases:
                name = f"{group}: {case.title}"
                used = {l.split(" ")[0] for l in case.lines} & POSIX_WORDS.keys()
                why = [POSIX_WORDS[w] for w in used] + [v for k, v in POSIX_TITLES.items() if k in case.title]
                only = [v for k, v in WINDOWS_TITLES.items() if k in case.title]
                if runner.wine and why or not runner.wine and only:
                    print(f"skip  {name} (not on {'Windows' if runner.wine else 'POSIX'}: {(why or only)[0]})")
                    tally["skipped"] += 1
                    continue
                try:
                    runner.play(case)
                    passed = True
                    print(f"ok    {name}")
                except (Failure, OSError, ValueError, KeyError) as problem:
                    passed = False
                    print(f"FAIL  {name}\n{problem}")
                tally["passed" if passed else "failed"] += 1
                results.append({"group": group, "title": case.title, "passed": passed, "runs": case.runs,
                                "faults": case.faults, "kills": case.kills, "struck": sorted(case.struck)})
            subprocess.run(["chmod", "-R", "u+rwx", root])
            subprocess.run(["rm", "-rf"] + runner.elsewhere)
    if report < len(sys.argv):
        Path(sys.argv[report + 1]).write_text(json.dumps(results))
    print("{passed} passed, {failed} failed, {skipped} skipped".format(**tally))
    return 1 if tally["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
