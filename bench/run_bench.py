#!/usr/bin/env python3
"""Times Vorn against the tools its users would otherwise reach for.

Run by hand, never in CI:

    bench/run_bench.py [--vorn build/vorn] [--extra TAG=PATH]... [--scale 1]
                       [--scratch /tmp/vorn-bench] [--only W1,W2,W3,W4,W5,S,F]
                       [--runs 5] [--warmup 1]

W1-W5 are the workloads, S the scaling series of W5, F the machine's floors
(bench/floors.cpp) measured apart. Each workload also times its own floor
(the least work any program must do for it, from floors.cpp) in the same
rounds as the commands, and the table gives Vorn's time against the other
tools and against that floor. The trees are generated under the scratch directory
(deterministic, see gen_trees.py) and kept between runs. Every command's
result is checked once before it is timed; a wrong result stops the
harness. The commands of one workload are timed in turn, round after round
(warm-up rounds first), so that a machine that slows down or speeds up
weighs on all of them alike and their ratios stay comparable even when the
machine is shared. A W1 round first moves the old copy aside and flushes
dirty pages; the copies are deleted only at the very end, since deleting
many files slows the creation of new ones for minutes (leave a few minutes
between two harness runs for the same reason). --extra adds another
Vorn build to every workload (say the previous commit), shown with its tag
and without a target. The table goes to standard output and to
SCRATCH/scale-S/results.md.
"""
import argparse
import filecmp
import os
import shlex
import shutil
import stat
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
FLOOR = "floor"
REPO = os.path.dirname(HERE)
COLUMNS, COLUMN_WIDTH = 4, 20


class CheckFailed(Exception):
    pass


def run(cmd, cwd, check_status=True):
    result = subprocess.run(cmd, cwd=cwd, shell=True, capture_output=True)
    if check_status and result.returncode != 0:
        raise CheckFailed(f"{cmd!r} in {cwd} exited {result.returncode}: "
                          f"{result.stdout[-2000:]!r} {result.stderr[-2000:]!r}")
    return result


def expect(condition, message):
    if not condition:
        raise CheckFailed(message)


# --- What Vorn's output must be ----------------------------------------------

def folded_key(name):
    raw = os.fsencode(name)
    return (raw.upper(), raw)  # bytes.upper() folds ASCII letters only


def listing(directory_text, names):
    """The lines List prints for one list whose marked entries are names."""
    if not names:
        return ""
    out = [f"**************** In directory {directory_text}*.*:\n"]
    line = ""
    for i, name in enumerate(sorted(names, key=folded_key)):
        line += name
        if (i + 1) % COLUMNS == 0:
            out.append(line + "\n")
            line = ""
        elif len(name) < COLUMN_WIDTH:
            line += " " * (COLUMN_WIDTH - len(name))
    if line:
        out.append(line + "\n")
    return "".join(out)


def tree_listing(cwd, side, marked):
    """List1 /r output for the tree side/ (relative to cwd), marked being
    the relative paths of the marked files: depth first, subdirectories in
    name order."""
    out = []

    def walk(rel):
        path = os.path.join(cwd, side, rel)
        entries = sorted(os.listdir(path), key=folded_key)
        files = [e for e in entries if os.path.join(rel, e) in marked]
        out.append(listing(side + "/" + (rel + "/" if rel else ""), files))
        for e in entries:
            if os.path.isdir(os.path.join(path, e)):
                walk(os.path.join(rel, e))

    walk("")
    return "".join(out)


def both_sides_listing(cwd, marked):
    """ListB /r output for the trees a/ and b/, which have the same
    directories, marked being the relative paths of the marked files. A
    pair is listed, then side 1's walk goes below each subdirectory pair,
    then side 2's walk lists each subdirectory pair again (its tree was
    walked already)."""
    out = []

    def subdirectories(rel):
        path = os.path.join(cwd, "a", rel)
        return [e for e in sorted(os.listdir(path), key=folded_key)
                if os.path.isdir(os.path.join(path, e))]

    def visit(rel):
        files = [e for e in sorted(os.listdir(os.path.join(cwd, "a", rel)), key=folded_key)
                 if os.path.join(rel, e) in marked]
        for side in ("a", "b"):
            out.append(listing(side + "/" + (rel + "/" if rel else ""), files))

    def walk(rel):
        visit(rel)
        for sub in subdirectories(rel):
            walk(os.path.join(rel, sub))
        for sub in subdirectories(rel):
            visit(os.path.join(rel, sub))

    walk("")
    return "".join(out)


def snapshot(root):
    """Name, kind, size, mode and time of everything below root."""
    seen = {}
    for d, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(d, name)
            info = os.lstat(path)
            seen[os.path.relpath(path, root)] = (info.st_mode, info.st_size, info.st_mtime_ns)
    return seen


def same_tree(source, copy):
    """copy holds exactly source's files, with their contents, permission
    bits and last-write times (the directories may differ in time)."""
    want, got = snapshot(source), snapshot(copy)
    expect(want.keys() == got.keys(), f"{copy}: names differ from {source}: "
           f"{sorted(want.keys() ^ got.keys())[:5]}")
    for rel, (mode, size, mtime) in want.items():
        if os.path.isdir(os.path.join(source, rel)):
            continue
        expect(got[rel] == (mode, size, mtime), f"{copy}/{rel}: {got[rel]} != {(mode, size, mtime)}")
        expect(filecmp.cmp(os.path.join(source, rel), os.path.join(copy, rel), shallow=False),
               f"{copy}/{rel}: content differs")


def fresh_dir_command(path, trash):
    """Moves path aside (deleting just before creating slows creation) and
    makes it anew, then writes back all dirty pages so no run pays for the
    one before."""
    script = (f'mkdir -p {trash} && if [ -e {path} ]; then mv {path} '
              f'$(mktemp -d -p {trash})/; fi && mkdir {path} && sync')
    return f"bash -c {shlex.quote(script)}"


# --- Workloads ---------------------------------------------------------------

class Workload:
    def __init__(self, name, cwd, vorn_commands, others, targets, vorns, prepare=None,
                 ignore_failure=False, entries=None, floor=None):
        self.name = name
        self.cwd = cwd
        # Every Vorn build runs every Vorn command; the first build is the
        # one the targets are for.
        self.commands = [(label + (f" [{tag}]" if tag else ""), template.format(vorn=path))
                         for tag, path in vorns for label, template in vorn_commands]
        self.vorn_labels = {label for label, _ in self.commands}
        self.commands += others
        # The floor is timed as one more command; its label is FLOOR.
        self.floor = floor is not None
        if floor is not None:
            self.commands.append((FLOOR, floor))
        self.targets = targets            # [(vorn label, other label, max ratio or None)]
        self.prepare = prepare
        self.ignore_failure = ignore_failure
        self.entries = entries

    def vorn_commands(self):
        return [(label, cmd) for label, cmd in self.commands if label in self.vorn_labels]


def same_shape(source, copy):
    """copy holds exactly source's names, with their kinds and sizes."""
    want, got = snapshot(source), snapshot(copy)
    expect(want.keys() == got.keys(), f"{copy}: names differ from {source}")
    for rel, (mode, size, _) in want.items():
        expect(stat.S_IFMT(got[rel][0]) == stat.S_IFMT(mode), f"{copy}/{rel}: not of its kind")
        expect(stat.S_ISDIR(mode) or got[rel][1] == size, f"{copy}/{rel}: size {got[rel][1]} != {size}")


def w1(scratch, vorns, floors):
    cwd = os.path.join(scratch, "w1")
    prepare = fresh_dir_command("dst", os.path.join(scratch, ".trash"))
    workload = Workload("W1 copy tree", cwd, [("vorn Update2 /r", "{vorn} src/ dst Update2 /r /q")],
                        [("cp -a", "cp -a src/. dst"), ("rsync -a", "rsync -a src/ dst/")],
                        [("vorn Update2 /r", "cp -a", 0.9), ("vorn Update2 /r", FLOOR, 1.15),
                         ("vorn Update2 /r", "rsync -a", None)],
                        vorns, prepare=prepare, floor=f"{floors} createtree src dst")
    for label, cmd in workload.commands:
        run(prepare, cwd)
        out = run(cmd, cwd).stdout.decode()
        if label == FLOOR:
            same_shape(os.path.join(cwd, "src"), os.path.join(cwd, "dst"))
            continue
        expect("ERROR" not in out, f"{label} reported an error: {out[:500]}")
        same_tree(os.path.join(cwd, "src"), os.path.join(cwd, "dst"))
    return workload


def w2(scratch, vorns, floors):
    cwd = os.path.join(scratch, "w2")
    workload = Workload("W2 no-op sync", cwd,
                        [("vorn Sync /r", "{vorn} a/ b Sync /r /q"),
                         ("vorn Update2 /r", "{vorn} a/ b Update2 /r /q")],
                        [("rsync -a", "rsync -a a/ b/")],
                        [("vorn Sync /r", "rsync -a", 0.8), ("vorn Update2 /r", "rsync -a", 0.5),
                         ("vorn Sync /r", FLOOR, None), ("vorn Update2 /r", FLOOR, None)],
                        vorns, floor=f"{floors} stat a b")
    sides = [os.path.join(cwd, "a"), os.path.join(cwd, "b")]
    before = [snapshot(side) for side in sides]
    files_before = {k: v for k, v in before[1].items() if not os.path.isdir(os.path.join(sides[1], k))}
    for label, cmd in workload.commands:
        out = run(cmd, cwd).stdout
        if label == FLOOR:
            continue
        expect(out == b"", f"{label} printed {out[:300]!r}")
        after = [snapshot(side) for side in sides]
        files_after = {k: v for k, v in after[1].items() if not os.path.isdir(os.path.join(sides[1], k))}
        expect(before[0] == after[0] and files_before == files_after, f"{label} changed the trees")
    return workload


def w3(scratch, vorns, floors):
    cwd = os.path.join(scratch, "w3")
    with open(os.path.join(cwd, "want.txt")) as f:
        changed = set(f.read().split("\n")) - {""}
    both, one = "vorn ListB ByteMismatches /r", "vorn List1 ByteMismatches /r"
    workload = Workload("W3 compare trees", cwd,
                        [(both, "{vorn} a/ b ListB ByteMismatches /r /q"),
                         (one, "{vorn} a/ b List1 ByteMismatches /r /q")],
                        [("diff -rq", "diff -rq a b")],
                        [(both, "diff -rq", 0.8), (one, "diff -rq", 0.6),
                         (both, FLOOR, None), (one, FLOOR, None)], vorns, ignore_failure=True,
                        floor=f"{floors} comparetrees a b")
    wants = {both: both_sides_listing(cwd, changed), one: tree_listing(cwd, "a", changed)}
    for label, cmd in workload.vorn_commands():
        want = wants[label.split(" [")[0]]
        expect(run(cmd, cwd).stdout.decode() == want, f"{label}: not the expected listing")
    out = run(workload.commands[-1][1], cwd).stdout.decode()
    expect(f"({len(changed)} pairs differ)" in out, f"the floor found other differences: {out}")
    out = run("diff -rq a b", cwd, check_status=False).stdout.decode()
    found = {line.split(" ")[1][2:] for line in out.splitlines()}
    expect(found == changed, f"diff found {len(found)} files, not the {len(changed)} changed")
    return workload


def w4(scratch, vorns, floors):
    cwd = os.path.join(scratch, "w4")
    workload = Workload("W4 compare 1 GiB", cwd,
                        [("vorn ByteMatches", "{vorn} a/ b ListB ByteMatches /q")],
                        [("cmp", "cmp a/big.bin b/big.bin")],
                        [("vorn ByteMatches", "cmp", 0.6), ("vorn ByteMatches", FLOOR, 1.15)],
                        vorns, floor=f"{floors} compare a/big.bin b/big.bin")
    want = listing("a/", ["big.bin"]) + listing("b/", ["big.bin"])
    for label, cmd in workload.vorn_commands():
        out = run(cmd, cwd).stdout.decode()
        expect(out == want, f"{label} printed {out!r}")
    run("cmp a/big.bin b/big.bin", cwd)
    out = run(workload.commands[-1][1], cwd).stdout.decode()
    expect(out.rstrip().endswith("equal"), f"the floor found a difference: {out}")
    return workload


def w5(scratch, vorns, count, name=None, floors=None):
    cwd = os.path.join(scratch, f"w5-{count}")
    with open(os.path.join(cwd, "want.txt")) as f:
        newer = set(f.read().split("\n")) - {""}
    targets = [("vorn Nonmatches", "rsync -an", 0.5)]
    if floors:
        targets.append(("vorn Nonmatches", FLOOR, None))
    workload = Workload(name or f"W5 {count:,} entries", cwd,
                        [("vorn Nonmatches", "{vorn} a/ b ListB Nonmatches /q")],
                        [("rsync -an", "rsync -an a/ b/")], targets, vorns, entries=count,
                        floor=f"{floors} stat a b" if floors else None)
    want = listing("a/", newer) + listing("b/", newer)
    for label, cmd in workload.vorn_commands():
        expect(run(cmd, cwd).stdout.decode() == want, f"{label}: not the expected listing")
    out = run("rsync -ani a/ b/", cwd).stdout.decode()
    found = {line.split(" ", 1)[1] for line in out.splitlines() if line[1] == "f"}
    expect(found == newer, f"rsync found {len(found)} files, not the {len(newer)} newer")
    return workload


# --- Timing ------------------------------------------------------------------

def timed_run(command, cwd):
    """Wall seconds, CPU seconds (user + system), peak resident KiB and exit
    status of one run; the processes it waits for count too. The peak comes
    from GNU time, which runs the command from a small process of its own:
    a process forked from this one would start with this one's size."""
    peak_file = os.path.join(cwd, "..", ".peak")
    start = time.perf_counter()
    process = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak_file]
                               + shlex.split(command), cwd=cwd,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    with open(peak_file) as f:
        lines = f.read().split()
    # GNU time reports a failed command before the figure, which comes last.
    return (wall, usage.ru_utime + usage.ru_stime, int(lines[-1]),
            os.waitstatus_to_exitcode(status))


def time_workload(workload, runs, warmup):
    """Warm-up rounds, then timed rounds; each round runs every command once,
    in turn, so a machine that slows down or speeds up (other users, a file
    system still busy with freed inodes) weighs on all of them alike."""
    samples = {label: [] for label, _ in workload.commands}
    for round_number in range(warmup + runs):
        for label, command in workload.commands:
            if workload.prepare:
                run(workload.prepare, workload.cwd)
            wall, cpu, peak, status = timed_run(command, workload.cwd)
            expect(status == 0 or workload.ignore_failure, f"{label} exited {status}")
            if round_number >= warmup:
                samples[label].append((wall, cpu, peak))
        print(f"{workload.name}: round {round_number + 1} of {warmup + runs}", file=sys.stderr)
    timings = {}
    for label, taken in samples.items():
        walls = [wall for wall, _, _ in taken]
        timings[label] = dict(median=statistics.median(walls), min=min(walls), max=max(walls),
                              cpu=statistics.median(cpu for _, cpu, _ in taken),
                              peak_kib=max(peak for _, _, peak in taken))
    return timings


def format_table(rows):
    lines = ["| Workload | Command | Median (s) | Min–max (s) | CPU (s) | Peak RSS (MiB) | "
             "Vorn/other | Target | Met |",
             "|---|---|---:|---:|---:|---:|---:|---:|---|"]
    for workload, timings in rows:
        ratios = {}
        for vorn_label, other, limit in workload.targets:
            ratios.setdefault(other, []).append(
                (timings[vorn_label]["median"] / timings[other]["median"], limit, vorn_label))
        floor = timings[FLOOR]["median"] if workload.floor else None

        def verdict(ratio, limit, other):
            if limit is None:
                return ""
            if ratio <= limit:
                return "yes"
            # A target that asks for less time than the floor takes cannot
            # be met: the floor and Vorn's gap to it tell how close it came.
            if floor is not None and other != FLOOR and limit * timings[other]["median"] < floor:
                return (f"**no**: under the floor ({floor / timings[other]['median']:.2f}×); "
                        f"Vorn at {ratio * timings[other]['median'] / floor:.2f}× the floor")
            return "**no**"

        for label, t in timings.items():
            cells = ["", "", ""]
            if label in ratios:
                several = len(ratios[label]) > 1
                cells = ["<br>".join(f"{r:.2f}" + (f" ({v})" if several else "")
                                     for r, _, v in ratios[label]),
                         "<br>".join(f"≤ {limit:.2f}" if limit else "–"
                                     for _, limit, _ in ratios[label]),
                         "<br>".join(verdict(r, limit, label) or "–"
                                     for r, limit, _ in ratios[label])]
            lines.append(f"| {workload.name} | {label} | {t['median']:.3f} | "
                         f"{t['min']:.3f}–{t['max']:.3f} | {t['cpu']:.3f} | "
                         f"{t['peak_kib'] / 1024:.1f} | {' | '.join(cells)} |")
    return "\n".join(lines)


def name_bytes(cwd):
    return sum(len(os.fsencode(n)) for side in ("a", "b") for n in os.listdir(os.path.join(cwd, side)))


def format_series(rows, baseline_kib):
    lines = ["| Files per side | Command | Median (s) | Min–max (s) | µs per entry | Peak RSS (MiB) | "
             "Bytes per entry | Beyond the names |",
             "|---:|---|---:|---:|---:|---:|---:|---:|"]
    for workload, timings in rows:
        entries = 2 * workload.entries  # list entries: both sides
        names = name_bytes(workload.cwd)
        for label, t in timings.items():
            memory = ["", ""]
            if label in workload.vorn_labels:
                extra = (t["peak_kib"] - baseline_kib[label]) * 1024
                memory = [f"{extra / entries:.0f}", f"{(extra - names) / entries:.0f}"]
            lines.append(f"| {workload.entries:,} | {label} | {t['median']:.3f} | "
                         f"{t['min']:.3f}–{t['max']:.3f} | {t['median'] / entries * 1e6:.2f} | "
                         f"{t['peak_kib'] / 1024:.1f} | {' | '.join(memory)} |")
    return "\n".join(lines)


# --- Floors ------------------------------------------------------------------

def build_floors(scratch):
    binary = os.path.join(scratch, "floors")
    subprocess.run(["g++", "-O2", "-std=c++20", os.path.join(HERE, "floors.cpp"), "-o", binary],
                   check=True)
    return binary


def floors(scratch, scale, runs, binary):
    """The least work each workload needs on this machine, timed with
    floors.cpp on the same trees; the median of runs tries."""
    trash = os.path.join(scratch, ".trash")
    files = max(1, int(20000 * scale))
    w5_dir = f"w5-{max(1, int(100000 * scale))}"
    probes = [
        ("W1", "create files of 8 KiB (open, write, close)",
         lambda d: f"{binary} create {d} {files} 8192"),
        ("W1", "the same, each under a temporary name and renamed",
         lambda d: f"{binary} create {d} {files} 8192 rename"),
        ("W1", "the same, each made unnamed and named once written",
         lambda d: f"{binary} create {d} {files} 8192 unnamed"),
        ("W2", "one directory read and one fstatat per entry, both trees",
         lambda d: f"{binary} stat w2/a w2/b"),
        ("W3", "two stats per pair (both trees)", lambda d: f"{binary} stat w3/a w3/b"),
        ("W3", "open, read to the end, close, compare: two files",
         lambda d: f"{binary} read2 w3/a w3/b"),
        ("W4", "read the warm W4 file (1 MiB reads)", lambda d: f"{binary} read w4/a/big.bin"),
        ("W4", "compare two warm buffers of 1 GiB", lambda d: f"{binary} memcmp {1024 if scale >= 1 else 64}"),
        ("W4", "read and compare both files, buffers at page + 0",
         lambda d: f"{binary} offset w4/a/big.bin w4/b/big.bin 0"),
        ("W4", "the same, buffers at page + 16",
         lambda d: f"{binary} offset w4/a/big.bin w4/b/big.bin 16"),
        ("W4", "the same, buffers at page + 4080",
         lambda d: f"{binary} offset w4/a/big.bin w4/b/big.bin 4080"),
        ("W5", "one directory read and one fstatat per entry, both sides",
         lambda d: f"{binary} stat {w5_dir}/a {w5_dir}/b"),
    ]
    # Probe after probe within a round, as the workloads' commands are timed,
    # so that the creation floors see the same state of the file system.
    results = {what: [] for _, what, _ in probes}
    for _ in range(runs):
        for workload, what, command in probes:
            d = os.path.join(trash, f"floor-{time.time_ns()}")
            os.makedirs(d)
            # "what: SECONDS s, PER ITEM"
            results[what].append(
                run(command(d), scratch).stdout.decode().splitlines()[0].rsplit(": ", 1)[1])
    lines = ["| Workload | Floor | Median time | Per item |", "|---|---|---:|---|"]
    for workload, what, _ in probes:
        seconds = [float(r.split(" s")[0]) for r in results[what]]
        middle = results[what][seconds.index(statistics.median_low(seconds))]
        lines.append(f"| {workload} | {what} | {statistics.median_low(seconds):.4f} s | "
                     f"{middle.split(', ', 1)[1]} |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--vorn", default=os.path.join(REPO, "build", "vorn"))
    parser.add_argument("--extra", action="append", default=[], metavar="TAG=PATH")
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("--scratch", default="/tmp/vorn-bench")
    parser.add_argument("--only", default="W1,W2,W3,W4,W5,S,F")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--warmup", type=int, default=1)
    args = parser.parse_args()
    vorns = [("", os.path.abspath(args.vorn))] + [
        (tag, os.path.abspath(path)) for tag, path in (e.split("=", 1) for e in args.extra)]
    scratch = os.path.join(args.scratch, f"scale-{args.scale:g}")
    only = set(args.only.upper().split(","))
    series = [max(1, int(n * args.scale)) for n in (10000, 100000, 1000000)]
    w5_count = max(1, int(100000 * args.scale))

    trees = [w.lower() for w in ("W1", "W2", "W3", "W4") if w in only or "F" in only]
    sizes = [w5_count] if {"W5", "F"} & only else []
    sizes += series if "S" in only else []
    subprocess.run([sys.executable, os.path.join(HERE, "gen_trees.py"), scratch, str(args.scale)]
                   + trees + [f"w5:{n}" for n in dict.fromkeys(sizes)], check=True)

    load_before = os.getloadavg()
    started = time.strftime("%Y-%m-%d %H:%M")
    # The floors first, next to W1: the cost of creating a file drifts with
    # what the file system went through in the minutes before.
    floor_binary = build_floors(scratch)
    floor_table = floors(scratch, args.scale, args.runs, floor_binary) if "F" in only else ""
    makers = {"W1": lambda: w1(scratch, vorns, floor_binary),
              "W2": lambda: w2(scratch, vorns, floor_binary),
              "W3": lambda: w3(scratch, vorns, floor_binary),
              "W4": lambda: w4(scratch, vorns, floor_binary),
              "W5": lambda: w5(scratch, vorns, w5_count, "W5 one directory", floor_binary)}
    rows = [(workload, time_workload(workload, args.runs, args.warmup))
            for workload in (makers[key]() for key in makers if key in only)]
    series_rows, baseline = [], {}
    if "S" in only:
        empty = os.path.join(scratch, "empty")
        for side in ("a", "b"):
            os.makedirs(os.path.join(empty, side), exist_ok=True)
        for label, cmd in w5(scratch, vorns, series[0]).vorn_commands():
            baseline[label] = timed_run(cmd, empty)[2]
        for count in series:
            workload = w5(scratch, vorns, count)
            series_rows.append((workload, time_workload(workload, args.runs, args.warmup)))

    report = [f"Scale {args.scale:g}, {started}, load average {load_before[0]:.2f} before and "
              f"{os.getloadavg()[0]:.2f} after; medians of {args.runs} runs after "
              f"{args.warmup} warm-up round(s); CPU is the median user + system time of all "
              f"threads and processes; peak RSS is the largest of one process.", ""]
    if rows:
        report += [format_table(rows), ""]
    if series_rows:
        report += ["Scaling (W5; an entry is one file of one side's list, so two per file pair; "
                   "memory beyond a run on two empty directories):", "",
                   format_series(series_rows, baseline), ""]
    if floor_table:
        report += ["Floors (bench/floors.cpp on the same trees):", "", floor_table, ""]
    text = "\n".join(report)
    print(text)
    with open(os.path.join(scratch, "results.md"), "w") as f:
        f.write(text)
    # Deleting many files slows the creation of files for minutes after: the
    # trash goes last, when nothing is timed any more.
    shutil.rmtree(os.path.join(scratch, ".trash"), ignore_errors=True)


if __name__ == "__main__":
    try:
        main()
    except CheckFailed as failure:
        sys.exit(f"CHECK FAILED: {failure}")
