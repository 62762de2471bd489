#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""How many realistic faults the tests catch, and which ones they miss.

    scripts/faults.py --count 150 --seed 1        # spread over the logic folders
    scripts/faults.py --base main                 # on the lines changed since main
    scripts/faults.py --files records/TempFiles.cpp link
    scripts/faults.py --again .faults/run.json --which survived
    scripts/faults.py --written scripts/faults-known.txt
    scripts/faults.py --report .faults/run.json --equivalent 12,40

Faults (fault_sites.py): a boundary moved, a condition negated, a checked
call's result ignored, a call dropped, a constant off by one, an early return
removed, a flag left unset. The same seed on the same sources gives the same
faults. All of them go into one copy of the sources (.faults/src), each behind
DMM_FAULT(id) (faults.h); files whose faults do not compile lose those faults;
one build (.faults/build, ccache) holds them all. One traced run of every test
function tells which functions reach which faults; each fault then runs only
those, quickest first, until one fails twice in a row or runs past the time
limit (a few times the function's own time). Report: .faults/report.md and
.faults/run.json.
"""
import argparse
import concurrent.futures
import hashlib
import json
import math
import os
import random
import re
import shlex
import shutil
import signal
import subprocess
import sys
import threading
import time
from collections import defaultdict
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import fault_sites  # noqa: E402

ROOT = Path(__file__).resolve().parent.parent
HEADER = ROOT / "scripts" / "faults.h"
FOLDERS = ["files", "meter", "link", "records", "formats", "tools", "recorder/logic", "views/logic",
           "viewer/logic", "app/logic"]
NEVER = ("tests/", "bench/", "scripts/", "packaging/")
ERROR = re.compile(r"^(/[^:\s]+):(\d+):(\d+): error: (.*)$", re.M)


def say(text):
    print(time.strftime("%H:%M:%S ") + text, file=sys.stderr, flush=True)


def git(*args):
    return subprocess.run(["git", "-C", str(ROOT), *args], check=True, capture_output=True,
                          text=True).stdout


def niced(cmd):
    return ["nice", "-n", "5", *cmd]


# ---------------------------------------------------------------- choosing

def folder_of(rel, folders):
    best = max((f for f in folders if rel.startswith(f.rstrip("/") + "/")), key=len, default=None)
    return best or os.path.dirname(rel)


def sources():
    """Every file of the checkout (tracked or new), as paths relative to ROOT."""
    names = git("ls-files", "-co", "--exclude-standard", "-z").split("\0")
    return sorted(n for n in names if n and (ROOT / n).is_file())


def touched_lines(base):
    """{file: set of lines} added or changed since `base` (working tree)."""
    out = git("diff", "-U0", "--no-color", base, "--", "*.cpp", "*.h")
    lines = defaultdict(set)
    current = None
    for line in out.splitlines():
        if line.startswith("+++ "):
            current = line[6:] if line.startswith("+++ b/") else None
        elif line.startswith("@@") and current:
            m = re.search(r"\+(\d+)(?:,(\d+))?", line)
            first, n = int(m.group(1)), int(m.group(2) or 1)
            lines[current].update(range(first, first + n))
    return lines


def candidate_files(args, all_files):
    code = [f for f in all_files if f.endswith((".cpp", ".h")) and not f.startswith(NEVER)]
    if args.base:
        touched = touched_lines(args.base)
        return {f: touched[f] for f in code if f in touched}
    wanted = args.files or FOLDERS
    chosen = {}
    for f in code:
        for w in wanted:
            w = w.rstrip("/")
            if f == w or f.startswith(w + "/"):
                chosen[f] = None
    return chosen


def spread(sites, folders, count, rng, spare):
    """Per folder, sites in the order they are taken: kinds in turn, each kind's
    sites shuffled, one site a line; `count` shared evenly between folders, each
    folder's list `spare` times longer than its share (some will not compile)."""
    by_folder = defaultdict(list)
    for s in sites:
        by_folder[s["folder"]].append(s)
    names = [f for f in folders if by_folder.get(f)] + sorted(
        f for f in by_folder if f not in folders)
    quota = {f: count // len(names) + (1 if i < count % len(names) else 0)
             for i, f in enumerate(names)}
    order = {}
    for f in names:
        by_kind = defaultdict(list)
        for s in by_folder[f]:
            by_kind[s["kind"]].append(s)
        for k in sorted(by_kind):
            rng.shuffle(by_kind[k])
        used = set()
        seq = []
        kinds = sorted(by_kind)
        want = math.ceil(quota[f] * spare) + 2
        while len(seq) < want and any(by_kind.values()):
            rng.shuffle(kinds)
            for k in kinds:
                while by_kind[k]:
                    s = by_kind[k].pop()
                    lines = {(s["file"], ln) for ln in range(s["line"], s["last_line"] + 1)}
                    if lines & used:
                        continue
                    used |= lines
                    seq.append(s)
                    break
        order[f] = seq
    return names, quota, order


def take(names, quota, order, count):
    """The first `quota` compiling sites of each folder; a folder short of
    sites leaves its share to the others."""
    chosen = {f: [s for s in order[f] if not s.get("dropped")][: quota[f]] for f in names}
    short = count - sum(len(v) for v in chosen.values())
    while short > 0:
        added = False
        for f in names:
            rest = [s for s in order[f] if not s.get("dropped") and s not in chosen[f]]
            if rest and short > 0:
                chosen[f].append(rest[0])
                short -= 1
                added = True
        if not added:
            break
    return [s for f in names for s in chosen[f]]


# ---------------------------------------------------------------- the tree

class Tree:
    def __init__(self, work, all_files):
        self.work = work
        self.src = work / "src"
        self.build = work / "build"
        self.files = all_files
        self.original = {}

    def text(self, rel):
        if rel not in self.original:
            self.original[rel] = (ROOT / rel).read_text(encoding="utf-8")
        return self.original[rel]

    def write(self, faults):
        """The copy of the sources with `faults` in: only changed files are
        written, so the build recompiles those alone."""
        by_file = defaultdict(list)
        for f in faults:
            by_file[f["file"]].append(f)
        keep = set()
        for rel in self.files:
            keep.add(rel)
            target = self.src / rel
            if rel in by_file:
                data = fault_sites.apply_sites(self.text(rel), by_file[rel]).encode()
            else:
                data = (ROOT / rel).read_bytes()
            if target.is_file() and target.read_bytes() == data:
                continue
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
            shutil.copymode(ROOT / rel, target)
        for path in sorted(self.src.rglob("*"), reverse=True):
            rel = path.relative_to(self.src).as_posix()
            if path.is_file() and rel not in keep:
                path.unlink()

    def configure(self):
        if (self.build / "build.ninja").is_file():
            return
        cmd = ["cmake", "-S", str(self.src), "-B", str(self.build), "-G", "Ninja",
               "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
               "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG",
               f"-DCMAKE_CXX_FLAGS=-include {HEADER}",
               "-DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON"]
        if shutil.which("ccache"):
            cmd.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        subprocess.run(cmd, check=True, capture_output=True)

    def compile_command(self, rel):
        """Arguments and folder that check `rel` alone (-fsyntax-only)."""
        if not hasattr(self, "_commands"):
            entries = json.loads((self.build / "compile_commands.json").read_text())
            self._commands = {Path(e["file"]).resolve().relative_to(self.src.resolve()).as_posix():
                              e for e in entries if str(self.src) in e["file"]}
        entry = self._commands.get(rel)
        header = entry is None
        if header:
            folder = os.path.dirname(rel)
            near = [r for r in self._commands if os.path.dirname(r) == folder]
            if not near or not rel.endswith(".h"):
                return None
            entry = self._commands[sorted(near)[0]]
        args = shlex.split(entry["command"])
        while args and os.path.basename(args[0]) == "ccache":
            args.pop(0)
        out = []
        skip = False
        for a in args:
            if skip:
                skip = False
                continue
            if a in ("-o", "-MT", "-MF", "-MQ"):
                skip = True
                continue
            if a in ("-c", "-MD", "-MMD") or a == entry["file"]:
                continue
            out.append(a)
        out += ["-fsyntax-only", "-fdiagnostics-color=never", "-Werror=return-type",
                "-Werror=vla"]
        out += (["-x", "c++", str(self.src / rel)] if header else [str(self.src / rel)])
        return out, entry["directory"]


def errors_of(output, tree):
    """[(rel, line, message)] of the errors in the copy of the sources."""
    found = []
    prefix = str(tree.src.resolve()) + "/"
    for m in ERROR.finditer(output):
        path = str(Path(m.group(1)).resolve())
        if path.startswith(prefix):
            found.append((path[len(prefix):], int(m.group(2)), m.group(4)))
    return found


def blame(errors, faults, tree):
    """The faults the errors point at; files with errors no fault explains."""
    by_file = defaultdict(list)
    for f in faults:
        by_file[f["file"]].append(f)
    guilty, unexplained = set(), set()
    for rel, line, message in errors:
        here = by_file.get(rel, [])
        hit = [f for f in here if f["line"] <= line <= f["last_line"]]
        if "control reaches end of non-void function" in message:
            hit = returns_in_function_ending(tree.text(rel), line, here)
        if hit:
            guilty.update(id(f) for f in hit)
        elif here:
            unexplained.add(rel)
    return guilty, unexplained


def returns_in_function_ending(text, line, faults):
    src = fault_sites.Source("", text)
    end = src.starts[line - 1] + src.masked.split("\n")[line - 1].rfind("}")
    begin = fault_sites._match_backward(src.masked, end)
    return [f for f in faults if f["kind"] == "return" and begin <= f["start"] <= end]


def check(tree, faults, jobs):
    """Drops (marks) the faults that do not compile, file by file."""
    def one(rel):
        cmd = tree.compile_command(rel)
        if not cmd:
            return rel, None
        p = subprocess.run(niced(cmd[0]), cwd=cmd[1], capture_output=True, text=True)
        return rel, (p.returncode, p.stdout + p.stderr)

    pending = sorted({f["file"] for f in faults})
    for _ in range(6):
        if not pending:
            break
        live = [f for f in faults if not f.get("dropped")]
        tree.write(live)
        with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
            results = list(pool.map(one, pending))
        again, lost = [], []
        for rel, result in results:
            if result is None:
                for f in live:
                    if f["file"] == rel:
                        f["dropped"] = "not compiled by the build"
            elif result[0] != 0:
                guilty, _ = blame(errors_of(result[1], tree), live, tree)
                for f in live:
                    if id(f) in guilty:
                        f["dropped"] = "does not compile"
                (again if guilty else lost).append(rel)
        # Errors no fault line explains: each fault of the file alone.
        for rel in lost:
            for f in live:
                if f["file"] == rel and not f.get("dropped") and not alone_compiles(tree, f):
                    f["dropped"] = "does not compile"
        pending = again
    tree.write([f for f in faults if not f.get("dropped")])


def alone_compiles(tree, fault):
    tree.write([fault])
    cmd = tree.compile_command(fault["file"])
    return subprocess.run(niced(cmd[0]), cwd=cmd[1], capture_output=True).returncode == 0


def build(tree, faults, jobs):
    """Builds everything; drops faults the full build rejects and builds again."""
    for attempt in range(4):
        live = [f for f in faults if not f.get("dropped")]
        tree.write(live)
        p = subprocess.run(niced(["cmake", "--build", str(tree.build), "-j", str(jobs), "--",
                                  "-k", "0"]), capture_output=True, text=True)
        if p.returncode == 0:
            return
        guilty, unexplained = blame(errors_of(p.stdout + p.stderr, tree), live, tree)
        if not guilty:
            sys.exit("the fault build fails where no fault is:\n" + p.stdout[-4000:])
        for f in live:
            if id(f) in guilty:
                f["dropped"] = "does not build"
        say(f"build: {len(guilty)} faults did not build; again")
    sys.exit("the fault build keeps failing")


# ---------------------------------------------------------------- running

class Tests:
    """Every test function of the fault build, how to run it alone."""

    def __init__(self, tree):
        info = json.loads(subprocess.run(
            ["ctest", "--test-dir", str(tree.build), "--show-only=json-v1"],
            check=True, capture_output=True, text=True).stdout)
        self.programs = {}
        for t in info["tests"]:
            props = {p["name"]: p["value"] for p in t.get("properties", [])}
            env = dict(kv.split("=", 1) for kv in props.get("ENVIRONMENT", []))
            cwd = props.get("WORKING_DIRECTORY") or str(Path(t["command"][0]).parent)
            self.programs[t["name"]] = {"command": t["command"], "env": env, "cwd": cwd,
                                        "timeout": float(props.get("TIMEOUT", 1500))}

    def environment(self, name, **extra):
        env = {k: v for k, v in os.environ.items() if not k.startswith("DMM_FAULT")}
        env.update(self.programs[name]["env"])
        env.update(extra)
        return env

    def functions(self, name):
        prog = self.programs[name]
        p = subprocess.run(prog["command"] + ["-functions"], cwd=prog["cwd"], capture_output=True,
                           text=True, env=self.environment(name), timeout=60)
        return [ln.strip()[:-2] for ln in p.stdout.splitlines() if ln.strip().endswith("()")]

    def run(self, name, function, timeout, **env):
        """(status, seconds, output): status "passed", "failed" or "timed out"."""
        prog = self.programs[name]
        start = time.monotonic()
        p = subprocess.Popen(niced(prog["command"] + [function]), cwd=prog["cwd"],
                             env=self.environment(name, **env), stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, start_new_session=True)
        try:
            out, _ = p.communicate(timeout=timeout)
            status = "passed" if p.returncode == 0 else "failed"
        except subprocess.TimeoutExpired:
            os.killpg(p.pid, signal.SIGKILL)
            out, _ = p.communicate()
            status = "timed out"
        try:
            os.killpg(p.pid, signal.SIGKILL)  # what the test left running
        except ProcessLookupError:
            pass
        return status, time.monotonic() - start, out.decode(errors="replace")


def trace(tree, tests, work, jobs):
    """{(program, function): {"seconds", "status", "reached": [ids]}}; kept in
    .faults/trace.json until the build changes."""
    key = hashlib.sha1()
    for path in sorted(tree.build.rglob("*")):
        if path.is_file() and os.access(path, os.X_OK) and path.suffix == "":
            st = path.stat()
            key.update(f"{path}:{st.st_mtime_ns}:{st.st_size}".encode())
    key = key.hexdigest()
    cache = work / "trace.json"
    if cache.is_file():
        saved = json.loads(cache.read_text())
        if saved.get("key") == key:
            return {tuple(k.split("::", 1)): v for k, v in saved["functions"].items()}
    jobs_list = [(n, f) for n in sorted(tests.programs) for f in tests.functions(n)]
    say(f"trace: {len(jobs_list)} test functions of {len(tests.programs)} programs")
    base = work / "trace"
    shutil.rmtree(base, ignore_errors=True)

    def one(job):
        name, function = job
        folder = base / name / re.sub(r"\W", "_", function)
        folder.mkdir(parents=True)
        os.chmod(folder, 0o777)  # tests may run a program as another user
        status, secs, out = tests.run(name, function, tests.programs[name]["timeout"],
                                      DMM_FAULT_TRACE=str(folder))
        reached = set()
        for f in folder.iterdir():
            reached.update(int(x) for x in f.read_text().split())
        return job, {"seconds": round(secs, 2), "status": status, "reached": sorted(reached),
                     "failure": first_failure(out) if status != "passed" else ""}

    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        result = dict(pool.map(one, jobs_list))
    cache.write_text(json.dumps({"key": key, "functions": {
        f"{n}::{f}": v for (n, f), v in result.items()}}))
    return result


def first_failure(out):
    m = re.search(r"^FAIL!\s*:\s*(\S+?)\((.*?)\)\s*(.*)$", out, re.M)
    if m:
        return f"{m.group(1)}({m.group(2)}) {m.group(3)}".strip()
    m = re.search(r"Received signal \d+.*|Caught unhandled exception.*", out)
    return m.group(0) if m else out.strip().splitlines()[-1][:200] if out.strip() else ""


def run_faults(faults, traced, tests, jobs, factor, save):
    lock = threading.Lock()
    reach = defaultdict(list)
    for (name, function), t in traced.items():
        if t["status"] == "passed":
            for i in t["reached"]:
                reach[i].append((t["seconds"], name, function))
    done = [0]

    def one(fault):
        runs = sorted(reach.get(fault["id"], []))
        result = {"status": "not reached", "tests": len(runs)}
        flaky = []
        start = time.monotonic()
        for secs, name, function in runs:
            status, took, out = tests.run(name, function, factor * secs + 20,
                                          DMM_FAULT=str(fault["id"]))
            # A failure that does not happen again is the machine's, not the fault's.
            if status != "passed" and tests.run(name, function, factor * secs + 20,
                                                DMM_FAULT=str(fault["id"]))[0] == "passed":
                flaky.append(f"{name}::{function}")
                continue
            if status != "passed":
                result = {"status": "caught" if status == "failed" else "timed out",
                          "by": f"{name}::{function}", "seconds": round(took, 1),
                          "failure": first_failure(out)[:300], "tests": len(runs)}
                break
        else:
            if runs:
                result["status"] = "survived"
        if flaky:
            result["flaky"] = flaky
        result["total_seconds"] = round(time.monotonic() - start, 1)
        with lock:
            fault["result"] = result
            done[0] += 1
            say(f"[{done[0]}/{len(faults)}] #{fault['id']} {fault['file']}:{fault['line']} "
                f"{fault['kind']}: {result['status']} {result.get('by', '')}")
            save()

    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        list(pool.map(one, faults))


# ---------------------------------------------------------------- report

def cell(text):
    return text.replace("|", "\\|").replace("\n", " ")


def report(run, equivalent):
    faults = run["faults"]
    lines = [f"# Faults: {len(faults)} ({run['what']})", ""]
    rows = defaultdict(lambda: defaultdict(int))
    order = []
    for f in faults:
        if f["folder"] not in order:
            order.append(f["folder"])
        st = f.get("result", {}).get("status", "not run")
        if f["id"] in equivalent and st in ("survived", "not reached"):
            st = "equivalent"
        rows[f["folder"]][st] += 1
        rows["all"][st] += 1
    lines += ["| folder | faults | caught | timed out | survived | not reached | equivalent "
              "| caught % |", "|---|---:|---:|---:|---:|---:|---:|---:|"]
    for folder in order + ["all"]:
        r = rows[folder]
        total = sum(r.values())
        caught = r["caught"] + r["timed out"]
        judged = total - r["equivalent"]
        rate = f"{100 * caught / judged:.0f} %" if judged else "-"
        lines.append(f"| {folder} | {total} | {r['caught']} | {r['timed out']} | {r['survived']} "
                     f"| {r['not reached']} | {r['equivalent']} | {rate} |")
    lines += ["", "Timed out counts as caught. Caught % leaves out the faults judged equivalent. "
              "A failure counts only when a second run with the fault fails too.",
              "", "| # | folder | file:line | kind | fault | result |",
              "|---:|---|---|---|---|---|"]
    for f in faults:
        r = f.get("result", {})
        st = r.get("status", "not run")
        if st in ("caught", "timed out"):
            what = (f"caught by {r['by']} in {r['seconds']} s" if st == "caught" else
                    f"timed out in {r['by']} after {r['seconds']} s (counts as caught)")
        elif st == "survived":
            what = f"**survived** ({r['tests']} test functions reach it)"
        else:
            what = f"**{st}**"
        if f["id"] in equivalent and st in ("survived", "not reached"):
            what += " (equivalent)"
        if r.get("flaky"):
            what += f"; failed once, then passed: {', '.join(r['flaky'])}"
        lines.append(f"| {f['id']} | {f['folder']} | {f['file']}:{f['line']} | {f['kind']} "
                     f"| {cell(f['shown'][:160])} | {cell(what)} |")
    bad = run.get("baseline_failures", [])
    if bad:
        lines += ["", "Test functions that fail with no fault on (left out):", ""]
        lines += [f"- {cell(b)}" for b in bad]
    lines += ["", f"Times: {run.get('times', {})}"]
    return "\n".join(lines) + "\n"


# ---------------------------------------------------------------- main

def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--count", type=int, default=150, help="how many faults (default 150)")
    ap.add_argument("--seed", type=int, default=1, help="the same seed, the same faults")
    ap.add_argument("--files", nargs="+", help="files or folders (default: the logic folders)")
    ap.add_argument("--base", help="only the lines changed since this commit")
    ap.add_argument("--jobs", type=int, default=2, help="builds and tests at a time (default 2)")
    ap.add_argument("--factor", type=float, default=3,
                    help="time limit: this many times a test function's own time, + 20 s")
    ap.add_argument("--again", metavar="RUN_JSON", help="the faults of an earlier run, again")
    ap.add_argument("--which", default="survived",
                    help="with --again: statuses (survived,not-reached,caught,timed-out), "
                    "ids (1,5,9) or all")
    ap.add_argument("--written", metavar="FILE",
                    help="faults written by hand, one a line: expr|stmt FILE: ORIGINAL => FAULTY")
    ap.add_argument("--report", metavar="RUN_JSON", help="only write the report of a run")
    ap.add_argument("--equivalent", default="", help="ids judged equivalent (1,5,9)")
    ap.add_argument("--work", default=str(ROOT / ".faults"), help="scratch folder")
    args = ap.parse_args()
    equivalent = {int(x) for x in args.equivalent.split(",") if x}
    work = Path(args.work).resolve()

    if args.report:
        run = json.loads(Path(args.report).read_text())
        text = report(run, equivalent)
        (work / "report.md").write_text(text)
        print(text)
        return

    work.mkdir(exist_ok=True)
    times = {}
    t0 = time.monotonic()
    all_files = [f for f in sources() if not f.startswith(".faults/")]
    tree = Tree(work, all_files)

    if args.written:
        faults = []
        for number, line in enumerate(Path(args.written).read_text().splitlines(), 1):
            m = re.fullmatch(r"(expr|stmt) ([^:\s]+): (.+?) =>(?: (.*))?", line.strip())
            if not m:
                if line.strip() and not line.startswith("#"):
                    sys.exit(f"{args.written}:{number}: not KIND FILE: ORIGINAL => FAULTY")
                continue
            kind, rel, original, faulty = m.group(1), m.group(2), m.group(3), m.group(4) or ""
            site = fault_sites.written_site(rel, tree.text(rel), kind, original, faulty)
            if site is None:
                sys.exit(f"{args.written}:{number}: {rel} does not hold {original}")
            site["folder"] = folder_of(rel, FOLDERS)
            site["id"] = len(faults) + 1
            faults.append(site)
        what = f"written by hand in {args.written}"
        tree.write(faults)
        tree.configure()
        check(tree, faults, args.jobs)
        faults = [f for f in faults if not f.get("dropped")]
    elif args.again:
        old = json.loads(Path(args.again).read_text())
        which = args.which.split(",")
        faults = []
        for f in old["faults"]:
            st = f.get("result", {}).get("status", "").replace(" ", "-")
            if "all" not in which and st not in which and str(f["id"]) not in which:
                continue
            moved = fault_sites.relocate(f, tree.text(f["file"]))
            if moved is None:
                say(f"#{f['id']} {f['file']}:{f['line']}: its code is gone")
                continue
            moved.pop("result", None)
            faults.append(moved)
        what = f"again from {args.again}, {args.which}"
        tree.write(faults)
        tree.configure()
        check(tree, faults, args.jobs)
        faults = [f for f in faults if not f.get("dropped")]
    else:
        rng = random.Random(args.seed)
        files = candidate_files(args, all_files)
        folders = FOLDERS if not args.files else [w.rstrip("/") for w in args.files]
        sites = []
        for rel in sorted(files):
            for s in fault_sites.find_sites(rel, tree.text(rel), files[rel]):
                s["folder"] = folder_of(rel, folders)
                sites.append(s)
        if not sites:
            sys.exit("no place for a fault in the chosen lines")
        names, quota, order = spread(sites, folders, args.count, rng, 1.6)
        candidates = [s for f in names for s in order[f]]
        for i, s in enumerate(candidates, 1):
            s["id"] = i
        say(f"{len(sites)} places; {len(candidates)} candidates checked for {args.count} faults")
        tree.write(candidates)
        tree.configure()
        check(tree, candidates, args.jobs)
        faults = take(names, quota, order, args.count)
        faults.sort(key=lambda s: (names.index(s["folder"]), s["file"], s["start"]))
        for i, s in enumerate(faults, 1):
            s["id"] = i
        what = (f"seed {args.seed}, " + (f"lines changed since {args.base}" if args.base else
                                         "in " + ", ".join(folders)))
    times["choose and check s"] = round(time.monotonic() - t0, 1)

    t1 = time.monotonic()
    say(f"building {len(faults)} faults in {tree.build}")
    build(tree, faults, args.jobs)
    faults = [f for f in faults if not f.get("dropped")]
    times["build s"] = round(time.monotonic() - t1, 1)

    t2 = time.monotonic()
    tests = Tests(tree)
    traced = trace(tree, tests, work, args.jobs)
    times["trace s"] = round(time.monotonic() - t2, 1)
    baseline_failures = sorted(f"{n}::{f}: {t['status']}, {t['failure']}"
                               for (n, f), t in traced.items() if t["status"] != "passed")

    run = {"what": what, "seed": args.seed, "faults": faults, "times": times,
           "baseline_failures": baseline_failures}
    out = work / "run.json"

    def save():
        out.write_text(json.dumps(run, indent=1, ensure_ascii=False))

    t3 = time.monotonic()
    run_faults(faults, traced, tests, args.jobs, args.factor, save)
    times["faults s"] = round(time.monotonic() - t3, 1)
    times["total s"] = round(time.monotonic() - t0, 1)
    save()
    text = report(run, equivalent)
    (work / "report.md").write_text(text)
    print(text.split("\n\n| # |")[0])
    print(f"\nEvery fault: {work / 'report.md'}; the run: {out}")


if __name__ == "__main__":
    main()
