#!/usr/bin/env python3
"""Changes the code on purpose, one small change at a time, and reports the changes no test noticed.

For each change of the list (scripts/mutations.txt by default) the script replaces one exact text
in one source file, builds only the test executables named beside the change (incrementally, in
an existing build folder), runs them, and puts the file back whatever happens (a failed build,
a test that hangs, Ctrl-C). A change counts as caught when a named test executable fails or
runs past its time limit. Running the changes is a tool to run by hand; `make test` runs only
`--check`, so that a change whose text no longer occurs fails the suite at once.
Only a run killed outright (SIGKILL) cannot put its file back: `git diff` then shows the change.

List format: one block per change, blocks separated by blank lines, '#' lines are comments:

    @ viewer/ui/CTavoplexCtrlPicking.cpp  viewer_ui_CTavoplexCtrlPickingTest
    - take = candidate->GetTransparency() == 0.0f || distance < choiceDistance;
    + take = distance < choiceDistance;

The '@' line names the source file (from the repository root) and the test targets. The '-'
lines are the text to find (several lines are joined with line breaks), the '+' lines the text
that replaces it (no '+' line deletes the text). Exactly one space follows '-' or '+'; the rest
of the line is taken as it stands. The text must occur exactly once in the file.

Usage: scripts/mutate.py [--list FILE] [--build DIR] [--jobs N] [--only N,M-K] [--check]
"""

import argparse
import os
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


class ListError(Exception):
    pass


class Change:
    def __init__(self, number, line, path, tests, old, new):
        self.number = number
        self.line = line
        self.path = path
        self.tests = tests
        self.old = old
        self.new = new

    def title(self):
        old = self.old.strip().splitlines()[0] if self.old.strip() else self.old
        new = self.new.strip().splitlines()[0] if self.new.strip() else "(deleted)"
        return f"#{self.number} {self.path} (list line {self.line}): {old!r} -> {new!r}"


def parse_list(path):
    changes = []
    block = None

    def finish():
        if block is None:
            return
        if not block["old"]:
            raise ListError(f"{path}:{block['line']}: a change without '-' lines")
        changes.append(Change(len(changes) + 1, block["line"], block["path"], block["tests"],
                              "\n".join(block["old"]), "\n".join(block["new"])))

    for number, raw in enumerate(Path(path).read_text().splitlines(), start=1):
        if raw.startswith("#"):
            continue
        if not raw.strip():
            finish()
            block = None
            continue
        if raw.startswith("@"):
            finish()
            words = raw[1:].split()
            if len(words) < 2:
                raise ListError(f"{path}:{number}: '@' needs a file and at least one test target")
            block = {"line": number, "path": words[0], "tests": words[1:], "old": [], "new": []}
        elif raw[:2] in ("- ", "+ ") or raw in ("-", "+"):
            if block is None:
                raise ListError(f"{path}:{number}: a text line before any '@' line")
            if raw[0] == "+" and not block["old"]:
                raise ListError(f"{path}:{number}: '+' before '-'")
            if raw[0] == "-" and block["new"]:
                raise ListError(f"{path}:{number}: '-' after '+'")
            block["old" if raw[0] == "-" else "new"].append(raw[2:])
        else:
            raise ListError(f"{path}:{number}: cannot read {raw!r}")
    finish()
    return changes


def find_once(change):
    source = ROOT / change.path
    if not source.is_file():
        raise ListError(f"{change.title()}: no file {source}")
    text = source.read_text()
    count = text.count(change.old)
    if count != 1:
        raise ListError(f"{change.title()}: the text occurs {count} times in {change.path}, not once")
    return text


def select(changes, only):
    if not only:
        return changes
    wanted = set()
    for part in only.split(","):
        if "-" in part:
            lo, hi = part.split("-", 1)
            wanted.update(range(int(lo), int(hi) + 1))
        else:
            wanted.add(int(part))
    return [c for c in changes if c.number in wanted]


def build(build_dir, targets, jobs, log):
    command = ["cmake", "--build", str(build_dir), "-j", str(jobs), "--target", *sorted(set(targets))]
    result = subprocess.run(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    log.write(result.stdout)
    return result.returncode == 0


def executable(build_dir, target):
    return Path(build_dir) / "tests" / target


def run_tests(build_dir, targets, timeout, log):
    """Gives (all passed, why not)."""
    env = dict(os.environ, MESA_SHADER_CACHE_DISABLE="true")
    for target in targets:
        exe = executable(build_dir, target)
        try:
            result = subprocess.run([str(exe), "--gtest_brief=1"], cwd=Path(build_dir) / "tests", env=env,
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                    errors="replace", timeout=timeout)
        except subprocess.TimeoutExpired:
            return False, f"{target} ran past {timeout} s"
        log.write(result.stdout)
        if result.returncode != 0:
            failed = re.findall(r"^\[  FAILED  \] (\S+)", result.stdout, re.M)
            return False, f"{target}: " + (", ".join(sorted(set(failed))) if failed else f"exit {result.returncode}")
    return True, ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--list", default=str(ROOT / "scripts" / "mutations.txt"))
    parser.add_argument("--build", default=str(ROOT / "build"), help="an existing, configured build folder")
    parser.add_argument("--jobs", type=int, default=4)
    parser.add_argument("--timeout", type=int, default=600, help="seconds one test executable may run")
    parser.add_argument("--only", help="change numbers to run, e.g. 3,7-9")
    parser.add_argument("--check", action="store_true", help="only check that every text occurs exactly once")
    parser.add_argument("--log", default=None, help="build and test output (default: BUILD/mutate.log)")
    args = parser.parse_args()

    # A termination request unwinds like Ctrl-C, so that the file is put back; Ctrl-C does so
    # even where the shell started the script with interrupts ignored (in the background).
    def interrupted(signum, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGINT, interrupted)

    try:
        changes = select(parse_list(args.list), args.only)
        for change in changes:
            find_once(change)
    except ListError as error:
        print(f"mutate: {error}", file=sys.stderr)
        return 2
    if args.check:
        print(f"{len(changes)} changes, every text found exactly once")
        return 0
    build_dir = Path(args.build)
    if not (build_dir / "CMakeCache.txt").is_file():
        print(f"mutate: {build_dir} is no configured build folder (run make build first)", file=sys.stderr)
        return 2

    log_path = Path(args.log) if args.log else build_dir / "mutate.log"
    with open(log_path, "w") as log:
        # The suite must pass as it stands, or every change would look caught.
        targets = sorted({t for c in changes for t in c.tests})
        print(f"baseline: building and running {len(targets)} test executables", flush=True)
        if not build(build_dir, targets, args.jobs, log):
            print(f"mutate: the unchanged sources do not build (see {log_path})", file=sys.stderr)
            return 2
        passed, why = run_tests(build_dir, targets, args.timeout, log)
        if not passed:
            print(f"mutate: the unchanged sources fail their tests: {why}", file=sys.stderr)
            return 2

        caught, survived, broken = [], [], []
        for change in changes:
            source = ROOT / change.path
            original = find_once(change)
            started = time.monotonic()
            log.write(f"\n==== {change.title()}\n")
            try:
                source.write_text(original.replace(change.old, change.new, 1))
                if not build(build_dir, change.tests, args.jobs, log):
                    broken.append(change)
                    verdict = "DOES NOT BUILD"
                else:
                    passed, why = run_tests(build_dir, change.tests, args.timeout, log)
                    if passed:
                        survived.append(change)
                        verdict = "SURVIVED"
                    else:
                        caught.append(change)
                        verdict = f"caught ({why})"
            except KeyboardInterrupt:
                source.write_text(original)
                print(f"\nmutate: interrupted; {change.path} restored", file=sys.stderr)
                return 130
            finally:
                source.write_text(original)
            log.flush()
            print(f"{change.title()}\n    {verdict} [{time.monotonic() - started:.0f} s]", flush=True)

        # The build folder goes back to the unchanged sources.
        build(build_dir, targets, args.jobs, log)

    judged = len(caught) + len(survived)
    print()
    print(f"caught {len(caught)} of {judged} changes ({100.0 * len(caught) / max(judged, 1):.1f} %)"
          + (f"; {len(broken)} did not build and are not counted" if broken else ""))
    for change in survived:
        print(f"  survived {change.title()}")
    for change in broken:
        print(f"  did not build {change.title()}")
    return 0 if not survived else 1


if __name__ == "__main__":
    sys.exit(main())
