#!/usr/bin/env python3
"""Times Vorn against the tools its users would otherwise reach for.

Run by hand, never in CI:

    bench/run_bench.py --vorn build/vorn [--scale 1] [--scratch /tmp/vorn-bench]
                       [--only W1,W2,W3,W4,W5,S] [--runs 5] [--warmup 1]

The trees are generated under the scratch directory (deterministic, see
gen_trees.py) and kept between runs. Every command's result is checked once
before it is timed; a wrong result stops the harness. All commands of one
workload are timed in one hyperfine run, so their ratios are comparable even
on a loaded machine. The table goes to standard output and to
SCRATCH/results-SCALE.md.
"""
import argparse
import filecmp
import json
import os
import shlex
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
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
        g_mode, g_size, g_mtime = got[rel]
        if os.path.isdir(os.path.join(source, rel)):
            continue
        expect(mode == g_mode and size == g_size and mtime == g_mtime,
               f"{copy}/{rel}: {(g_mode, g_size, g_mtime)} != {(mode, size, mtime)}")
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
    def __init__(self, name, cwd, commands, targets, prepare=None, ignore_failure=False,
                 entries=None):
        self.name = name
        self.cwd = cwd
        self.commands = commands          # [(label, command)], Vorn's first
        self.targets = targets            # [(vorn label, other label, max ratio)]
        self.prepare = prepare
        self.ignore_failure = ignore_failure
        self.entries = entries


def w1(scratch, vorn):
    cwd = os.path.join(scratch, "w1")
    trash = os.path.join(scratch, ".trash")
    prepare = fresh_dir_command("dst", trash)
    commands = [("vorn Update2 /r", f"{vorn} src/ dst Update2 /r /q"),
                ("cp -a", "cp -a src/. dst"),
                ("rsync -a", "rsync -a src/ dst/")]
    for label, cmd in commands:
        run(prepare, cwd)
        out = run(cmd, cwd).stdout.decode()
        if label.startswith("vorn"):
            expect("ERROR" not in out, f"vorn reported an error: {out[:500]}")
        same_tree(os.path.join(cwd, "src"), os.path.join(cwd, "dst"))
    return Workload("W1 copy tree", cwd, commands,
                    [("vorn Update2 /r", "cp -a", 1.0), ("vorn Update2 /r", "rsync -a", 0.3)],
                    prepare=prepare)


def w2(scratch, vorn):
    cwd = os.path.join(scratch, "w2")
    commands = [("vorn Sync /r", f"{vorn} a/ b Sync /r /q"),
                ("vorn Update2 /r", f"{vorn} a/ b Update2 /r /q"),
                ("rsync -a", "rsync -a a/ b/")]
    before = (snapshot(os.path.join(cwd, "a")), snapshot(os.path.join(cwd, "b")))
    for label, cmd in commands:
        out = run(cmd, cwd).stdout
        expect(out == b"", f"{label} printed {out[:300]!r}")
        after = (snapshot(os.path.join(cwd, "a")), snapshot(os.path.join(cwd, "b")))
        changed = {k for k in before[1] if before[1][k] != after[1].get(k)
                   and not os.path.isdir(os.path.join(cwd, "b", k))}
        expect(before[0] == after[0] and not changed and before[1].keys() == after[1].keys(),
               f"{label} changed the trees: {sorted(changed)[:5]}")
    return Workload("W2 no-op sync", cwd, commands,
                    [("vorn Sync /r", "rsync -a", 1.0), ("vorn Update2 /r", "rsync -a", 0.6)])


def w3(scratch, vorn):
    cwd = os.path.join(scratch, "w3")
    with open(os.path.join(cwd, "want.txt")) as f:
        changed = set(f.read().split("\n")) - {""}
    commands = [("vorn ByteMismatches /r", f"{vorn} a/ b List1 ByteMismatches /r /q"),
                ("diff -rq", "diff -rq a b")]
    out = run(commands[0][1], cwd).stdout.decode()
    expect(out == tree_listing(cwd, "a", changed), "vorn's listing is not the expected one")
    out = run(commands[1][1], cwd, check_status=False).stdout.decode()
    found = {line.split(" ")[1][2:] for line in out.splitlines()}
    expect(found == changed, f"diff found {len(found)} files, not the {len(changed)} changed")
    return Workload("W3 compare trees", cwd, commands,
                    [("vorn ByteMismatches /r", "diff -rq", 0.8)], ignore_failure=True)


def w4(scratch, vorn):
    cwd = os.path.join(scratch, "w4")
    commands = [("vorn ByteMatches", f"{vorn} a/ b ListB ByteMatches /q"),
                ("cmp", "cmp a/big.bin b/big.bin")]
    out = run(commands[0][1], cwd).stdout.decode()
    expect(out == listing("a/", ["big.bin"]) + listing("b/", ["big.bin"]),
           f"vorn printed {out!r}")
    run(commands[1][1], cwd)
    return Workload("W4 compare 1 GiB", cwd, commands, [("vorn ByteMatches", "cmp", 1.0)])


def w5(scratch, vorn, count, label=None):
    cwd = os.path.join(scratch, f"w5-{count}")
    with open(os.path.join(cwd, "want.txt")) as f:
        newer = set(f.read().split("\n")) - {""}
    commands = [("vorn Nonmatches", f"{vorn} a/ b ListB Nonmatches /q"),
                ("rsync -an", "rsync -an a/ b/")]
    out = run(commands[0][1], cwd).stdout.decode()
    expect(out == listing("a/", newer) + listing("b/", newer), "vorn's listing is not expected")
    out = run("rsync -ani a/ b/", cwd).stdout.decode()
    found = {line.split(" ", 1)[1] for line in out.splitlines() if line[1] == "f"}
    expect(found == newer, f"rsync found {len(found)} files, not the {len(newer)} newer")
    return Workload(label or f"W5 {count} entries", cwd, commands,
                    [("vorn Nonmatches", "rsync -an", 0.7)], entries=count)


# --- Timing ------------------------------------------------------------------

def time_workload(workload, runs, warmup, scratch):
    json_path = os.path.join(scratch, "hyperfine.json")
    cmd = ["hyperfine", "-N", "--style", "basic", "--warmup", str(warmup), "--runs", str(runs),
           "--export-json", json_path]
    if workload.ignore_failure:
        cmd.append("-i")
    for label, command in workload.commands:
        if workload.prepare:
            cmd += ["--prepare", workload.prepare]
        cmd += ["-n", label, command]
    subprocess.run(cmd, cwd=workload.cwd, check=True, stdout=sys.stderr)
    with open(json_path) as f:
        results = json.load(f)["results"]
    timings = {}
    for (label, command), result in zip(workload.commands, results):
        if workload.prepare:
            run(workload.prepare, workload.cwd)
        peak = run(f"/usr/bin/time -f %M {command} >/dev/null", workload.cwd,
                   check_status=False).stderr.decode().split()[-1]
        timings[label] = dict(median=result["median"], min=result["min"], max=result["max"],
                              stddev=result["stddev"], peak_kib=int(peak))
    return timings


def format_table(rows):
    lines = ["| Workload | Command | Median (s) | Min–max (s) | Peak RSS (MiB) | Vorn/other | Target | Met |",
             "|---|---|---:|---:|---:|---:|---:|---|"]
    for workload, timings in rows:
        ratios = {}
        for vorn_label, other, limit in workload.targets:
            ratios.setdefault(other, []).append(
                (timings[vorn_label]["median"] / timings[other]["median"], limit, vorn_label))
        for label, t in timings.items():
            ratio_text = target_text = met_text = ""
            if label in ratios:
                ratio_text = "<br>".join(f"{r:.2f}" + (f" ({v})" if len(ratios[label]) > 1 else "")
                                         for r, _, v in ratios[label])
                target_text = "<br>".join(f"≤ {limit:.1f}" for _, limit, _ in ratios[label])
                met_text = "<br>".join("yes" if r <= limit else "**no**"
                                       for r, limit, _ in ratios[label])
            lines.append(f"| {workload.name} | {label} | {t['median']:.3f} | "
                         f"{t['min']:.3f}–{t['max']:.3f} | {t['peak_kib'] / 1024:.1f} | "
                         f"{ratio_text} | {target_text} | {met_text} |")
    return "\n".join(lines)


def name_bytes(cwd):
    return sum(len(os.fsencode(n)) for side in ("a", "b") for n in os.listdir(os.path.join(cwd, side)))


def format_series(rows, baseline_kib):
    lines = ["| Files per side | Command | Median (s) | µs per entry | Peak RSS (MiB) | "
             "Bytes per entry | Bytes per entry beyond the names |",
             "|---:|---|---:|---:|---:|---:|---:|"]
    for workload, timings in rows:
        entries = 2 * workload.entries  # list entries: both sides
        names = name_bytes(workload.cwd)
        for label, t in timings.items():
            extra = (t["peak_kib"] - baseline_kib.get(label, 0)) * 1024
            lines.append(f"| {workload.entries:,} | {label} | {t['median']:.3f} | "
                         f"{t['median'] / entries * 1e6:.2f} | {t['peak_kib'] / 1024:.1f} | "
                         f"{extra / entries:.0f} | {(extra - names) / entries:.0f} |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--vorn", default=os.path.join(REPO, "build", "vorn"))
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("--scratch", default="/tmp/vorn-bench")
    parser.add_argument("--only", default="W1,W2,W3,W4,W5,S")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--warmup", type=int, default=1)
    args = parser.parse_args()
    vorn = os.path.abspath(args.vorn)
    scratch = os.path.join(args.scratch, f"scale-{args.scale:g}")
    only = set(args.only.upper().split(","))
    series = [max(1, int(n * args.scale)) for n in (10000, 100000, 1000000)]
    w5_count = max(1, int(100000 * args.scale))

    trees = [w for w in ("W1", "W2", "W3", "W4") if w in only]
    sizes = ([w5_count] if "W5" in only else []) + (series if "S" in only else [])
    subprocess.run([sys.executable, os.path.join(HERE, "gen_trees.py"), scratch, str(args.scale)]
                   + [w.lower() for w in trees] + [f"w5:{n}" for n in dict.fromkeys(sizes)],
                   check=True)

    load_before = os.getloadavg()
    started = time.strftime("%Y-%m-%d %H:%M")
    rows, series_rows = [], []
    makers = {"W1": lambda: w1(scratch, vorn), "W2": lambda: w2(scratch, vorn),
              "W3": lambda: w3(scratch, vorn), "W4": lambda: w4(scratch, vorn),
              "W5": lambda: w5(scratch, vorn, w5_count, "W5 one directory")}
    for key in ("W1", "W2", "W3", "W4", "W5"):
        if key in only:
            workload = makers[key]()
            rows.append((workload, time_workload(workload, args.runs, args.warmup, scratch)))
    baseline = {}
    if "S" in only:
        empty = os.path.join(scratch, "empty")
        for side in ("a", "b"):
            os.makedirs(os.path.join(empty, side), exist_ok=True)
        for label, cmd in w5(scratch, vorn, series[0]).commands:
            out = run(f"/usr/bin/time -f %M {cmd} >/dev/null", empty, check_status=False)
            baseline[label] = int(out.stderr.decode().split()[-1])
        for count in series:
            workload = w5(scratch, vorn, count)
            series_rows.append((workload, time_workload(workload, args.runs, args.warmup, scratch)))

    report = [f"Scale {args.scale:g}, {started}, load average {load_before[0]:.2f} before and "
              f"{os.getloadavg()[0]:.2f} after; medians of {args.runs} runs after {args.warmup} warm-up.",
              ""]
    if rows:
        report += [format_table(rows), ""]
    if series_rows:
        report += ["Scaling (W5; an entry is one file of one side's list, so 2 per file pair; "
                   "memory beyond the run on two empty directories):", "",
                   format_series(series_rows, baseline), ""]
    text = "\n".join(report)
    print(text)
    with open(os.path.join(scratch, f"results-{args.scale:g}.md"), "w") as f:
        f.write(text)
    shutil.rmtree(os.path.join(scratch, ".trash"), ignore_errors=True)


if __name__ == "__main__":
    try:
        main()
    except CheckFailed as failure:
        sys.exit(f"CHECK FAILED: {failure}")
