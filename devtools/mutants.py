#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

"""A seeded sample of mutants of ZEB's production sources, run against the test suite.

Each mutant changes one spot of one file (a flipped comparison, && and || swapped, a negated
condition, an integer moved by one, an inverted boolean return, a deleted call statement). The
sources are copied once into a scratch tree; each mutant is written into its file there, the
scratch build (no sanitizers, so a mutant builds and runs quickly) is rebuilt incrementally, and
CTest runs the suite. A mutant that does not compile is stillborn; one the suite passes survives.

Before that, each mutant's translation units (its file, or the few that include its header) are
compiled optimised, as a release build would be, and set beside the unmutated sources' objects:
where every object is the same to the byte, the compiler has shown the change to mean nothing (a
control's position moved by one twip within the same pixel) and the mutant is counted as
equivalent, like a stillborn one outside the kill rate, without running the suite. ("Trivial
compiler equivalence": it finds only what the optimiser folds away, never more.)

The optimiser cannot see that -1 and -2 both mean "no descriptor" where only >= 0 is ever asked.
Such a mutant, once a reader has shown that no test could tell it apart, is entered with the reason
in devtools/equivalent-mutants.txt. It still runs: a listed mutant the suite kills is reported as
wrongly listed and counted as killed; one that survives is counted as "reviewed", outside the kill
rate like the compiler's equivalents, and the report prints its reason and the rate it would have
if it counted as a survivor. An entry names its line by text, not number, so it follows the line
through edits; an entry whose line is gone is reported, so the list cannot rot unseen.

The same seed and count always pick the same mutants, so two runs on two versions of the suite are
comparable. The Wine run of the contract suite, the screenshot check, the package check and the
licence and fleet play checks are left out: they test the Windows back end, the README's pictures,
the package and files no mutant touches (the package check would spend minutes on a build of its
own).
"""

import argparse
import collections
import dataclasses
import json
import os
import random
import re
import shlex
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCTION_DIRS = ("app", "base", "store", "regfile", "forms", "config", "engine", "protocol",
                   "tools/zeb-reg")
# Compiled only on Windows, so no mutant of it can be killed here.
NOT_BUILT_HERE = {"store/win32/Win32Registry.cpp", "regfile/Win32WholeFile.cpp"}
EXCLUDED_TESTS = "store_contract_wine|docs_screenshots|docs_package|docs_licence|docs_fleet_play"
REVIEWED_EQUIVALENTS = os.path.join(ROOT, "devtools", "equivalent-mutants.txt")

COMPARISONS = {" < ": " <= ", " <= ": " < ", " > ": " >= ", " >= ": " > ", " == ": " != ", " != ": " == "}
LOGICAL = {" && ": " || ", " || ": " && "}
BOOL_RETURNS = {"return true;": "return false;", "return false;": "return true;"}
NOT_CALLS = ("return", "delete", "throw", "case", "goto", "co_return", "using", "typedef")
CALL_STATEMENT = re.compile(r"^(\s*)((?:[A-Za-z_]\w*(?:::|\.|->))*[A-Za-z_]\w*\(.*\));\s*$")
INTEGER = re.compile(r"(?<![\w.])\d+(?![\w.])")
CONDITION = re.compile(r"\b(if|while) \(")
# The opening of a raw string literal, R"delimiter( ... )delimiter", which may span lines; masked()
# takes its R" for an ordinary quote, so it blanks the rest of the opening line only.
RAW_STRING = re.compile(r'R"([^()\\\s]{0,16})\(')
# A line of CTest's closing list: "  12 - store_file (Failed)".
FAILED_TEST = re.compile(r"^\s*\d+ - (\S+) \(", re.MULTILINE)


@dataclasses.dataclass(frozen=True)
class Mutant:
    path: str
    line: int  # 1-based
    kind: str
    before: str
    after: str

    def label(self):
        return f"{self.path}:{self.line} [{self.kind}]"


def masked(line):
    """The line with string and character literals blanked and any // comment cut off, so that
    operators and numbers inside texts are never mutated. Positions stay those of the line."""
    out = []
    quote = None
    i = 0
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("  ")
                i += 2
                continue
            out.append(quote if c == quote else " ")
            if c == quote:
                quote = None
        elif c in "\"'":
            quote = c
            out.append(c)
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)


def closing_paren(text, open_at):
    depth = 0
    for i in range(open_at, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def replaced(line, start, old, new):
    return line[:start] + new + line[start + len(old):]


def line_mutants(path, number, line):
    code = masked(line)
    stripped = code.strip()
    if not stripped or stripped.startswith(("#", "*", "/*", "static_assert")):
        return
    for table, kind in ((COMPARISONS, "comparison"), (LOGICAL, "logical")):
        for old, new in table.items():
            for m in re.finditer(re.escape(old), code):
                yield Mutant(path, number, kind, line, replaced(line, m.start(), old, new))
    for m in CONDITION.finditer(code):
        open_at = m.end() - 1
        close_at = closing_paren(code, open_at)
        if close_at > 0:
            # In `if (init; condition)` only the condition is negated.
            start = open_at + 1 + code[open_at + 1:close_at].rfind(";") + 1
            inner = line[start:close_at].strip()
            yield Mutant(path, number, "negation", line,
                         line[:start] + (" " if start > open_at + 1 else "") + "!(" + inner + ")" +
                         line[close_at:])
    for m in INTEGER.finditer(code):
        value = int(m.group())
        for moved in (value + 1, value - 1):
            if moved >= 0:
                yield Mutant(path, number, "constant", line,
                             replaced(line, m.start(), m.group(), str(moved)))
    for old, new in BOOL_RETURNS.items():
        at = code.find(old)
        if at >= 0:
            yield Mutant(path, number, "boolean", line, replaced(line, at, old, new))
    call = CALL_STATEMENT.match(code)
    if call and not call.group(2).startswith(NOT_CALLS) and code.rstrip().endswith(");"):
        yield Mutant(path, number, "call", line, call.group(1) + ";\n")


def production_sources():
    listed = subprocess.run(["git", "ls-files", *PRODUCTION_DIRS], cwd=ROOT, check=True,
                            capture_output=True, text=True).stdout.split()
    return sorted(p for p in listed if p.endswith((".cpp", ".h")) and p not in NOT_BUILT_HERE)


def all_mutants(only):
    for path in production_sources():
        if only and not path.startswith(only):
            continue
        with open(os.path.join(ROOT, path), encoding="utf-8", errors="surrogateescape") as f:
            in_block_comment = False
            raw_end = None  # inside a raw string literal: the text that ends it
            for number, line in enumerate(f, 1):
                if raw_end is not None:  # its text, and the line that closes it, are not code
                    raw_end = None if raw_end in line else raw_end
                    continue
                if in_block_comment or line.lstrip().startswith("/*"):
                    in_block_comment = "*/" not in line
                    continue
                code = masked(line)
                opened = next((m for m in RAW_STRING.finditer(line)
                               if code[m.start():m.start() + 2] == 'R"'), None)
                if opened and ")" + opened.group(1) + '"' not in line[opened.end():]:
                    raw_end = ")" + opened.group(1) + '"'
                yield from line_mutants(path, number, line)


def sample(seed, count, only):
    candidates = list(all_mutants(only))
    return random.Random(seed).sample(candidates, min(count, len(candidates)))


def reviewed_equivalents(listing=REVIEWED_EQUIVALENTS):
    """The reviewed list as {(path, line before, line after): reason}, lines stripped. Entries are
    separated by blank lines: the path, "- " the line, "+ " the mutant's line, "why: " the reason,
    which may go on over further lines."""
    reviewed = {}
    with open(listing, encoding="utf-8") as f:
        text = "\n".join(line for line in f.read().splitlines() if not line.startswith("#"))
    for entry in filter(None, (block.strip() for block in text.split("\n\n"))):
        lines = entry.split("\n")
        if (len(lines) < 4 or not lines[1].startswith("- ") or not lines[2].startswith("+ ")
                or not lines[3].startswith("why: ")):
            sys.exit(f"mutants: {listing}: an entry is not path, '- ', '+ ', 'why: ':\n{entry}")
        reason = " ".join(line.strip() for line in [lines[3][5:], *lines[4:]])
        reviewed[(lines[0], lines[1][2:].strip(), lines[2][2:].strip())] = reason
    return reviewed


def key_of(mutant):
    return (mutant.path, mutant.before.strip(), mutant.after.strip())


def stale_entries(reviewed):
    """The entries whose line no longer stands in their file."""
    stale = []
    for path, before, after in reviewed:
        full = os.path.join(ROOT, path)
        lines = set()
        if os.path.isfile(full):
            with open(full, encoding="utf-8", errors="surrogateescape") as f:
                lines = {line.strip() for line in f}
        if before not in lines:
            stale.append(f"{path}\n    - {before}\n    + {after}")
    return stale


def run(cmd, cwd, timeout=None):
    """The command's exit code and output; None when it ran past `timeout`. It runs in a process
    group of its own, all of which goes at the timeout: a mutant that hangs a test leaves no test
    program (nor the engine it started) running on beside the next mutant's suite."""
    with subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          start_new_session=True) as child:
        try:
            out, _ = child.communicate(timeout=timeout)
            return child.returncode, out
        except subprocess.TimeoutExpired:
            os.killpg(child.pid, signal.SIGKILL)
            child.communicate()
            return None, ""


def prepare_scratch(work, test_timeout):
    """Copies the tracked sources that changed into work/src (stamped now, so that the build sees
    them as newer than its last run, while unchanged copies keep their times and are not rebuilt)
    and configures work/build without sanitizers, each test program held to `test_timeout`."""
    src = os.path.join(work, "src")
    listed = subprocess.run(["git", "ls-files"], cwd=ROOT, check=True, capture_output=True,
                            text=True).stdout.split("\n")
    for path in filter(None, listed):
        origin, copy = os.path.join(ROOT, path), os.path.join(src, path)
        if not os.path.isfile(origin):
            continue
        if not os.path.exists(copy) or not same_file_content(origin, copy):
            os.makedirs(os.path.dirname(copy), exist_ok=True)
            shutil.copy(origin, copy)
    build = os.path.join(work, "build")
    # gold links the test programs several times faster than the default linker, and each mutant
    # relinks every program that holds its file. The compile commands serve ObjectCode.
    code, out = run(["cmake", "-S", src, "-B", build, "-DCMAKE_BUILD_TYPE=Debug",
                     "-DZEB_SANITIZE=OFF", "-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold",
                     "-DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=gold",
                     "-DCMAKE_EXPORT_COMPILE_COMMANDS=ON", f"-DZEB_TEST_TIMEOUT={test_timeout}"],
                    ROOT)
    if code != 0:
        sys.exit("mutants: configuring the scratch build failed:\n" + out)
    return src, build


class ObjectCode:
    """The optimised objects of the translation units that hold a source file, for telling a
    mutant the compiler folds away. Read after the scratch build, whose compile commands and
    dependency files say which units include a header."""

    # A header in more units than this is not compiled for the check: it would cost more than the
    # suite's run that it could spare.
    MOST_UNITS = 4

    def __init__(self, src, build):
        self.src = src
        with open(os.path.join(build, "compile_commands.json")) as f:
            self.units = json.load(f)
        self.unmutated = {}  # a unit's file: its object from the unmutated sources
        self.scratch = os.path.join(build, "mutants-object.o")

    def units_of(self, path):
        full = os.path.join(self.src, path)
        if path.endswith(".cpp"):
            return [u for u in self.units if u["file"] == full]
        return [u for u in self.units if full in self.dependencies(u)]

    @staticmethod
    def dependencies(unit):
        words = shlex.split(unit["command"])
        depfile = os.path.join(unit["directory"], words[words.index("-o") + 1] + ".d")
        try:
            with open(depfile) as f:
                return f.read().replace("\\\n", " ").split()
        except OSError:
            return []

    def optimised(self, unit):
        """The unit's object at -O2 without debug information; None when it does not compile."""
        words = shlex.split(unit["command"])
        kept, skip = [], False
        for word in words:
            if skip or word.startswith(("-O", "-g")) or word in ("-MD", "-MT", "-MF", "-o"):
                skip = word in ("-MT", "-MF", "-o")
                continue
            kept.append(word)
        kept += ["-O2", "-g0", "-frandom-seed=mutants", "-o", self.scratch]
        code, _ = run(kept, unit["directory"])
        if code != 0:
            return None
        with open(self.scratch, "rb") as f:
            return f.read()

    def prepare(self, mutant):
        """Compiles the unmutated units of the mutant's file (once each); the units, or None when
        the check is not made."""
        units = self.units_of(mutant.path)
        if not units or len(units) > self.MOST_UNITS:
            return None
        for unit in units:
            if unit["file"] not in self.unmutated:
                self.unmutated[unit["file"]] = self.optimised(unit)
        return units

    def unchanged(self, units):
        """Whether the mutated sources compile to the unmutated objects, every unit alike."""
        return all(self.unmutated[u["file"]] is not None and
                   self.optimised(u) == self.unmutated[u["file"]] for u in units)


def same_file_content(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def run_suite(build, jobs, test_timeout, only_tests=None):
    """CTest's verdict: "survived" (all passed), "killed" or "timed out", and the failing programs.
    The first failing test decides, so the rest of the suite need not run."""
    select = ["-R", "^(" + "|".join(map(re.escape, only_tests)) + ")$"] if only_tests else []
    code, out = run(["ctest", "-j", str(jobs), "--timeout", str(test_timeout), "--stop-on-failure",
                     "-E", EXCLUDED_TESTS, *select], build, timeout=test_timeout * 4)
    failed = FAILED_TEST.findall(out)
    if code is None or "***Timeout" in out:
        return "timed out", failed
    return ("survived" if code == 0 else "killed"), failed


def build_and_test(build, jobs, test_timeout):
    code, out = run(["cmake", "--build", build, "-j", str(jobs)], build)
    if code != 0:
        return "stillborn", []
    outcome, failed = run_suite(build, jobs, test_timeout)
    # A kill must reproduce: a test that failed for a loaded machine's sake, not for the mutant's,
    # passes when run again, and then the whole suite decides once more.
    if outcome != "survived" and failed and run_suite(build, jobs, test_timeout, failed)[0] == "survived":
        outcome, failed = run_suite(build, jobs, test_timeout)
    return outcome, failed


def apply(src, mutant):
    path = os.path.join(src, mutant.path)
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        lines = f.readlines()
    original = "".join(lines)
    assert lines[mutant.line - 1] == mutant.before, mutant.label()
    lines[mutant.line - 1] = mutant.after
    with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
        f.write("".join(lines))
    return original


def restore(src, mutant, original):
    with open(os.path.join(src, mutant.path), "w", encoding="utf-8", errors="surrogateescape") as f:
        f.write(original)


def one_line_diff(mutant):
    return f"    - {mutant.before.strip()}\n    + {mutant.after.strip()}"


def kill_rate(killed, live):
    return f"{100 * killed / live:.1f}%" if live else "-"


def report(results, reviewed):
    per_folder = collections.defaultdict(collections.Counter)
    for mutant, outcome in results:
        per_folder[mutant.path.split("/")[0]][outcome] += 1
        per_folder["all"][outcome] += 1
    for title, wanted in (("Surviving mutants", "survived"), ("Reviewed equivalents", "reviewed")):
        chosen = [m for m, outcome in results if outcome == wanted]
        if chosen:
            print(f"\n{title}:")
        for mutant in chosen:
            print(f"{mutant.label()}\n{one_line_diff(mutant)}")
            if wanted == "reviewed":
                print(f"    why: {reviewed[key_of(mutant)]}")
    print("\nfolder     mutants stillborn equivalent reviewed killed survived timed-out kill-rate")
    for folder in sorted(per_folder, key=lambda f: (f == "all", f)):
        c = per_folder[folder]
        killed = c["killed"] + c["timed out"]
        print(f"{folder:<10} {sum(c.values()):>7} {c['stillborn']:>9} {c['equivalent']:>10} "
              f"{c['reviewed']:>8} {c['killed']:>6} {c['survived']:>8} {c['timed out']:>9} "
              f"{kill_rate(killed, killed + c['survived']):>9}")
    c = per_folder["all"]
    killed = c["killed"] + c["timed out"]
    print(f"with the reviewed equivalents counted as survivors: "
          f"{kill_rate(killed, killed + c['survived'] + c['reviewed'])}")


# A sample nobody tuned the tests to: the seed is drawn, and printed so the run can be repeated.
def seed_argument(text):
    return random.SystemRandom().randrange(1, 1 << 31) if text == "random" else int(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", type=seed_argument, default=1,
                        help="a number, or 'random' for a seed drawn now (printed, to run again)")
    parser.add_argument("--count", type=int, default=100)
    parser.add_argument("--only", default="", help="mutate only files whose path starts with this")
    parser.add_argument("--list", action="store_true", help="print the sample and stop")
    parser.add_argument("--indexes", default="",
                        help="run only these members of the sample, e.g. 4,7 (1-based, as printed)")
    parser.add_argument("--work", default=os.path.join(ROOT, "build-mutants"))
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--test-timeout", type=int, default=60, help="seconds per test program")
    args = parser.parse_args()
    print(f"mutants: seed {args.seed}, count {args.count}", flush=True)

    mutants = sample(args.seed, args.count, args.only)
    reviewed = reviewed_equivalents()
    for entry in stale_entries(reviewed):
        print(f"mutants: a reviewed equivalent whose line is gone; update or remove it:\n{entry}")
    if args.list:
        for mutant in mutants:
            mark = "  (reviewed equivalent)" if key_of(mutant) in reviewed else ""
            print(f"{mutant.label()}{mark}\n{one_line_diff(mutant)}")
        return
    src, build = prepare_scratch(args.work, args.test_timeout)
    if build_and_test(build, args.jobs, args.test_timeout)[0] != "survived":
        sys.exit("mutants: the unmutated sources do not build and pass their tests; nothing to measure")
    chosen = {int(i) for i in args.indexes.split(",") if i}
    objects = ObjectCode(src, build)
    results = []
    for index, mutant in enumerate(mutants, 1):
        if chosen and index not in chosen:
            continue
        started = time.monotonic()
        units = objects.prepare(mutant)
        original = apply(src, mutant)
        try:
            if units and objects.unchanged(units):
                outcome, failed = "equivalent", []
            else:
                outcome, failed = build_and_test(build, args.jobs, args.test_timeout)
        finally:
            restore(src, mutant, original)
        if key_of(mutant) in reviewed:
            if outcome == "survived":
                outcome = "reviewed"
            elif outcome in ("killed", "timed out"):
                print(f"mutants: listed as equivalent, yet {outcome}; its entry is wrong: "
                      f"{mutant.label()}")
        results.append((mutant, outcome))
        print(f"[{index}/{len(mutants)}] {outcome:<9} {mutant.label()} "
              f"({time.monotonic() - started:.0f} s) {' '.join(failed)}", flush=True)
    report(results, reviewed)


if __name__ == "__main__":
    main()
