#!/usr/bin/env python3
"""Plants the faults listed in tests/mutations/*.txt one at a time in a scratch copy of the
tree, builds it incrementally and runs the test suite against each one.

The real tree is only ever read: every mutant lives in the scratch copy, so stopping the run at
any moment (Ctrl+C included) leaves nothing planted in the working tree. The scratch copy is
synced again at every start, so its build stays incremental from run to run.

A mutation file holds blocks like this one:

    ## packs-rle4-low-nibble: the 4-bit run's second pixel takes the high nibble again
    file: packs/picture.cpp
    tests: Packs|PackStream          (optional: a ctest -R regex; the default is the whole suite)
    set: short                       (optional: also part of the short set CI runs)
    <<<<
    the original text, exactly once in the file
    ====
    its replacement
    >>>>

A line "must-catch: yes" before the first block makes every survivor in that file a failure.
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass, field

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


@dataclass
class Mutation:
    ident: str
    desc: str
    source: str  # the list file and line it comes from, for messages
    path: str = ""
    tests: str = ""
    sets: list = field(default_factory=list)
    original: str = ""
    replacement: str = ""
    must_catch: bool = False


class ListError(Exception):
    pass


def parse_list(list_path):
    rel = os.path.relpath(list_path, REPO)
    must_catch = False
    out = []
    cur = None
    mode = None  # None, "orig", "repl"
    buf = []
    with open(list_path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for n, line in enumerate(lines, 1):
        where = f"{rel}:{n}"
        if mode == "orig":
            if line == "====":
                cur.original = "\n".join(buf)
                buf, mode = [], "repl"
            else:
                buf.append(line)
            continue
        if mode == "repl":
            if line == ">>>>":
                cur.replacement = "\n".join(buf)
                buf, mode = [], None
                out.append(cur)
                cur = None
            else:
                buf.append(line)
            continue
        if line.startswith("## "):
            if cur is not None:
                raise ListError(f"{cur.source}: mutation {cur.ident} has no <<<< ==== >>>> body")
            m = re.match(r"## ([A-Za-z0-9_.-]+):\s*(.+)$", line)
            if not m:
                raise ListError(f"{where}: expected '## id: description'")
            cur = Mutation(ident=m.group(1), desc=m.group(2).strip(), source=where,
                           must_catch=must_catch)
        elif line.startswith("must-catch:"):
            must_catch = line.split(":", 1)[1].strip() == "yes"
        elif cur is not None and line.startswith("file:"):
            cur.path = line.split(":", 1)[1].strip()
        elif cur is not None and line.startswith("tests:"):
            cur.tests = line.split(":", 1)[1].strip()
        elif cur is not None and line.startswith("set:"):
            cur.sets = line.split(":", 1)[1].split()
        elif cur is not None and line == "<<<<":
            if not cur.path:
                raise ListError(f"{cur.source}: mutation {cur.ident} names no file")
            mode, buf = "orig", []
        elif line.strip() == "" or line.startswith("#"):
            continue
        else:
            raise ListError(f"{where}: cannot read this line: {line!r}")
    if mode is not None or cur is not None:
        raise ListError(f"{rel}: the last mutation is not closed with >>>>")
    return out


def check(mutations):
    """Every mutation's original text must occur exactly once in its file, and names must be
    unique: the list is kept in step with the code, and a stale entry is a loud failure."""
    errors = []
    seen = {}
    for m in mutations:
        if m.ident in seen:
            errors.append(f"{m.source}: mutation {m.ident} repeats the name from {seen[m.ident]}")
        seen[m.ident] = m.source
        path = os.path.join(REPO, m.path)
        if not os.path.isfile(path):
            errors.append(f"{m.source}: mutation {m.ident}: no file {m.path}")
            continue
        with open(path, encoding="utf-8") as f:
            text = f.read()
        count = text.count(m.original)
        if count != 1:
            errors.append(f"{m.source}: mutation {m.ident}: its original text occurs {count} "
                          f"times in {m.path} (it must occur exactly once)")
        elif m.original == m.replacement:
            errors.append(f"{m.source}: mutation {m.ident} changes nothing")
    return errors


def tree_files():
    out = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=REPO,
                         check=True, capture_output=True).stdout
    return [p for p in out.decode().split("\0") if p and os.path.isfile(os.path.join(REPO, p))]


def sync(src_dir):
    """Copies the working tree into the scratch copy, touching only files that differ, so the
    scratch build stays incremental."""
    wanted = set(tree_files())
    for rel in wanted:
        a = os.path.join(REPO, rel)
        b = os.path.join(src_dir, rel)
        with open(a, "rb") as f:
            data = f.read()
        if os.path.isfile(b):
            with open(b, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(b), exist_ok=True)
        shutil.copy2(a, b)
    for root, dirs, files in os.walk(src_dir):
        if root == src_dir and "build" in dirs:
            dirs.remove("build")  # the scratch build lives inside the copy
        for name in files:
            rel = os.path.relpath(os.path.join(root, name), src_dir)
            if rel not in wanted:
                os.remove(os.path.join(root, name))


def run(cmd, cwd, timeout, log):
    """Runs a command in its own process group; returns (exit code or None on timeout, secs)."""
    start = time.monotonic()
    with open(log, "ab") as out:
        out.write(("\n$ " + " ".join(cmd) + "\n").encode())
        out.flush()
        p = subprocess.Popen(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                             start_new_session=True)
        try:
            rc = p.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(p.pid, signal.SIGKILL)
            p.wait()
            rc = None
        except BaseException:
            os.killpg(p.pid, signal.SIGKILL)
            p.wait()
            raise
    return rc, time.monotonic() - start


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("lists", nargs="*", help="mutation files (default: tests/mutations/*.txt)")
    ap.add_argument("--set", dest="only_set", help="only the mutations of this set (e.g. short)")
    ap.add_argument("--only", action="append", default=[], help="only this mutation (repeatable)")
    ap.add_argument("--check", action="store_true", help="only check the list against the code")
    ap.add_argument("--scratch", default=os.environ.get("ZW_MUTATE_DIR",
                                                        os.path.join(REPO, "build-mutate")))
    ap.add_argument("--timeout", type=float, default=0,
                    help="seconds before a mutant's test run counts as hung (default: 4 x the "
                         "clean run, at least 90)")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--exclude", default="",
                    help="a ctest -E regex of tests left out of every mutant's run (not of the "
                         "clean run), e.g. a slow suite that only a few mutants reach")
    ap.add_argument("--whole-suite", action="store_true",
                    help="ignore the per-mutation test subsets and run the whole suite each time")
    args = ap.parse_args()

    lists = args.lists or sorted(
        os.path.join(REPO, "tests", "mutations", f)
        for f in os.listdir(os.path.join(REPO, "tests", "mutations")) if f.endswith(".txt"))
    try:
        mutations = [m for path in lists for m in parse_list(path)]
    except ListError as e:
        print(f"mutate: {e}", file=sys.stderr)
        return 2
    errors = check(mutations)
    if errors:
        for e in errors:
            print(f"mutate: {e}", file=sys.stderr)
        return 2
    if args.only_set:
        mutations = [m for m in mutations if args.only_set in m.sets]
    if args.only:
        mutations = [m for m in mutations if m.ident in args.only]
    if args.check:
        print(f"mutate: {len(mutations)} mutations, every original text found exactly once")
        return 0
    if not mutations:
        print("mutate: no mutation chosen", file=sys.stderr)
        return 2

    # The build folder sits inside the copy as build/ does in the real tree, so the compiler
    # cache sees the same relative paths and the first scratch build reuses the real one's work.
    os.environ.setdefault("CCACHE_BASEDIR", REPO)
    os.environ.setdefault("CCACHE_NOHASHDIR", "1")
    src = os.path.join(args.scratch, "tree")
    build = os.path.join(src, "build")
    log = os.path.join(args.scratch, "mutate.log")
    os.makedirs(src, exist_ok=True)
    open(log, "wb").close()
    sync(src)
    configure = ["cmake", "-S", src, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                 "-DZW_BUILD_BENCH=OFF"]
    if shutil.which("ninja"):
        configure += ["-G", "Ninja"]
    if shutil.which("ccache"):
        configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    build_cmd = ["cmake", "--build", build, f"-j{args.jobs}"]

    def ctest(m):
        # A subset that names no test must not pass for a caught mutant.
        cmd = ["ctest", "--stop-on-failure", "--no-tests=error", f"-j{args.jobs}", "--timeout",
               str(int(timeout))]
        if m is not None and m.tests and not args.whole_suite:
            cmd += ["-R", m.tests]
        if m is not None and args.exclude:
            cmd += ["-E", args.exclude]
        return cmd

    print(f"mutate: {len(mutations)} mutations; scratch copy {args.scratch}; log {log}", flush=True)
    rc, secs = run(configure, REPO, None, log)
    if rc == 0:
        rc, secs = run(build_cmd, REPO, None, log)
    if rc != 0:
        print(f"mutate: the clean tree does not build (see {log})", file=sys.stderr)
        return 2
    print(f"mutate: clean build {secs:.0f} s", flush=True)
    timeout = args.timeout or 600
    # The clean tree must pass whatever the mutants will be judged by: the tests their subsets
    # name when every chosen mutation names some, else the whole suite.
    clean_cmd = ctest(None)
    if not args.whole_suite and all(m.tests for m in mutations):
        clean_cmd += ["-R", "|".join(sorted({m.tests for m in mutations}))]
    rc, clean_secs = run(clean_cmd, build, None, log)
    if rc != 0:
        print(f"mutate: the clean tree fails its own tests (see {log})", file=sys.stderr)
        return 2
    timeout = args.timeout or max(90.0, 4 * clean_secs)
    print(f"mutate: clean suite passes in {clean_secs:.0f} s; a mutant's run stops after "
          f"{timeout:.0f} s", flush=True)

    results = []
    for i, m in enumerate(mutations, 1):
        path = os.path.join(src, m.path)
        with open(os.path.join(REPO, m.path), encoding="utf-8") as f:
            clean = f.read()
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(clean.replace(m.original, m.replacement, 1))
            rc, bsecs = run(build_cmd, REPO, None, log)
            if rc != 0:
                verdict = "BUILD FAILED"
                tsecs = 0.0
            else:
                rc, tsecs = run(ctest(m), build, timeout + 30, log)
                verdict = "caught (hung)" if rc is None else ("caught" if rc != 0 else "SURVIVED")
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(clean)
        results.append((m, verdict))
        mark = " [must be caught]" if m.must_catch else ""
        print(f"[{i}/{len(mutations)}] {verdict:13} {m.ident}{mark}: {m.desc} "
              f"({m.path}; build {bsecs:.0f} s, tests {tsecs:.0f} s)", flush=True)
    # Leave the scratch build matching the clean tree for the next run.
    run(build_cmd, REPO, None, log)

    caught = sum(1 for _, v in results if v.startswith("caught"))
    valid = sum(1 for _, v in results if v != "BUILD FAILED")
    print(f"mutate: killed {caught} of {valid} mutants"
          + (f" ({100.0 * caught / valid:.1f} %)" if valid else ""))
    bad = [m for m, v in results if v == "BUILD FAILED"]
    survivors = [m for m, v in results if v == "SURVIVED" and m.must_catch]
    for m in bad:
        print(f"mutate: {m.ident} ({m.source}) no longer builds: mend the list", file=sys.stderr)
    for m in survivors:
        print(f"mutate: {m.ident} ({m.source}) must be caught and survived", file=sys.stderr)
    return 1 if bad or survivors else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        print("\nmutate: stopped; the working tree was never changed", file=sys.stderr)
        sys.exit(130)
