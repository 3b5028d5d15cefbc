#!/usr/bin/env python3
"""Plants the faults of tests/mutations.txt one at a time and counts those the tests catch.

For each fault: edit the source, rebuild, run the tests (stopping at the first failure), put the
source back. A fault is caught when the tests fail or time out; one that does not build is
counted apart. The source tree is the one this script lives in; its mutated files must have no
uncommitted changes, so that putting them back is exact.

  python3 tests/mutate.py                  # every fault, build directory build-mut
  python3 tests/mutate.py --check          # only check that every fault applies once
  python3 tests/mutate.py --only 3,17      # some of them
"""
import argparse
import os
import signal
import subprocess
import sys
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def read_faults(path):
    faults, current, notes = [], None, []
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        line = line.rstrip("\n")
        if line.startswith("#"):
            notes.append(line[1:].strip())
        elif line.startswith("file: "):
            current = {"file": line[6:].strip(), "find": [], "put": [], "line": number,
                       "what": notes[-1] if notes else ""}
            faults.append(current)
            notes = []
        elif line.startswith("-") and current:
            current["find"].append(line[1:])
        elif line.startswith("+") and current:
            current["put"].append(line[1:])
        elif line.strip():
            sys.exit(f"{path}:{number}: expected 'file:', '-', '+' or '#'")
    for f in faults:
        if not f["find"]:
            sys.exit(f"{path}:{f['line']}: a fault without text to find")
        f["find"], f["put"] = "\n".join(f["find"]), "\n".join(f["put"])
    return faults


def mutated(fault):
    text = open(os.path.join(TOP, fault["file"]), encoding="utf-8").read()
    count = text.count(fault["find"])
    if count != 1:
        return text, None, f"the text to find occurs {count} times"
    return text, text.replace(fault["find"], fault["put"], 1), None


def run(command, timeout=None):
    try:
        return subprocess.run(command, cwd=TOP, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--faults", default=os.path.join(TOP, "tests", "mutations.txt"))
    parser.add_argument("--build", default="build-mut", help="build directory (default build-mut)")
    parser.add_argument("--only", help="comma-separated fault numbers (1-based)")
    parser.add_argument("--exclude", default="CompileCheck",
                        help="ctest -E regex of tests left out (default: the slow ones)")
    parser.add_argument("--timeout", type=int, default=600, help="seconds for one test run")
    parser.add_argument("--check", action="store_true", help="only check that every fault applies")
    args = parser.parse_args()

    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))  # still puts the source back
    faults = read_faults(args.faults)
    problems = [(i, f, mutated(f)[2]) for i, f in enumerate(faults, 1) if mutated(f)[2]]
    for i, f, why in problems:
        print(f"fault {i} ({args.faults}:{f['line']}, {f['file']}): {why}")
    if problems or args.check:
        print(f"{len(faults)} faults, {len(problems)} do not apply")
        return 1 if problems else 0
    files = sorted({f["file"] for f in faults})
    if subprocess.run(["git", "diff", "--quiet", "--"] + files, cwd=TOP).returncode != 0:
        sys.exit("the files to mutate have uncommitted changes")

    build = os.path.join(TOP, args.build) if not os.path.isabs(args.build) else args.build
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        # Unoptimised enough to rebuild fast, optimised enough for the extreme-input tests.
        if run(["cmake", "-S", TOP, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                "-DCMAKE_CXX_FLAGS_RELEASE=-O1", "-DDARUROV_WERROR=OFF"]) != 0:
            sys.exit("configuring failed")
    build_cmd = ["cmake", "--build", build, "-j2"]
    test_cmd = ["ctest", "--test-dir", build, "-j2", "--stop-on-failure", "--timeout", "300",
                "-E", args.exclude]
    if run(build_cmd) != 0 or run(test_cmd, args.timeout) != 0:
        sys.exit("the unmutated tree does not build or does not pass its tests")

    chosen = [int(n) for n in args.only.split(",")] if args.only else range(1, len(faults) + 1)
    caught = missed = unbuilt = 0
    for i in chosen:
        fault = faults[i - 1]
        path = os.path.join(TOP, fault["file"])
        original, changed, _ = mutated(fault)
        start = time.time()
        try:
            open(path, "w", encoding="utf-8").write(changed)
            if run(build_cmd) != 0:
                verdict, unbuilt = "no build", unbuilt + 1
            elif run(test_cmd, args.timeout) != 0:
                verdict, caught = "caught", caught + 1
            else:
                verdict, missed = "MISSED", missed + 1
        finally:
            open(path, "w", encoding="utf-8").write(original)
        print(f"{i:3} {verdict:8} {time.time() - start:5.0f}s  {fault['file']}: {fault['what']}", flush=True)
    run(build_cmd)
    print(f"caught {caught} of {caught + missed} faults that build ({unbuilt} did not build)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
