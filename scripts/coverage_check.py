#!/usr/bin/env python3
"""coverage_check.py COVERAGE_JSON LIST [FOLDER...]: prints the line, function and branch coverage of
the module's files from gcovr's JSON, then checks the list of what the native tests do not reach
(tests/coverage/uncovered.txt; its head says how it is written). Fails when a branch that the tests
miss is not named in the list, when an entry of the list names no such branch (stale), and when a
source file of the module's folders is neither measured nor listed as a whole file."""
import json
import os
import re
import sys


def bare_function_name(gcov_name):
    """The name a reader sees in the source: "utf8_from_utf16" for
    "utf8_from_utf16(Arena*, ...)::{lambda(unsigned int)#2}::operator()(unsigned int) const", "Result" for
    "Result<Config>::Result(Status)", "text_find_floor" for "int (anonymous namespace)::text_find_floor<...>(...)"."""
    name = gcov_name.replace("(anonymous namespace)::", "")
    depth = 0
    end = len(name)
    for i, c in enumerate(name):
        if c == "<":
            depth += 1
        elif c == ">":
            depth -= 1
        elif c == "(" and depth == 0 and i > 0:
            end = i
            break
    head = name[:end]
    while head.endswith(">"):  # template arguments of the function itself
        depth = 0
        for i in range(len(head) - 1, -1, -1):
            depth += {">": 1, "<": -1}.get(head[i], 0)
            if depth == 0:
                head = head[:i]
                break
    # The last part at depth 0: after the return type's space, after the class's "::".
    depth = 0
    start = 0
    for i, c in enumerate(head):
        if c == "<":
            depth += 1
        elif c == ">":
            depth -= 1
        elif depth == 0 and (c == " " or (c == ":" and head[i - 1 : i + 1] == "::")):
            start = i + 1
    return head[start:]


def normalised(text):
    return " ".join(text.split())


class Entry:
    def __init__(self, file, where, text, at):
        self.file, self.function, self.text, self.at = file, where, text, at
        self.reason = []
        self.matches = 0

    def name(self):
        if self.function is None:
            return f"[{self.file}] whole file"
        return f"[{self.file}] {self.function} | {self.text}"


def read_list(path):
    """The entries of the list; raises ValueError with the line for what it cannot read. The indented
    lines under one or more entries are their reason."""
    entries, group, file, last = [], [], None, None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            at = f"{path}:{number}"
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            if line[0] in " \t":
                if not group:
                    raise ValueError(f"{at}: a reason with no entry above it")
                for e in group:
                    e.reason.append(line.strip())
                last = "reason"
                continue
            if last == "reason":
                group = []
            last = "entry"
            if line.startswith("["):
                if not line.endswith("]"):
                    raise ValueError(f"{at}: a file is written [path]")
                file, group, last = line[1:-1].strip(), [], None
            elif file is None:
                raise ValueError(f"{at}: an entry before the first [file]")
            elif line.strip() == "whole file":
                group.append(Entry(file, None, None, at))
                entries.append(group[-1])
            elif " | " in line:
                where, text = line.split(" | ", 1)
                group.append(Entry(file, where.strip(), normalised(text), at))
                entries.append(group[-1])
            else:
                raise ValueError(f"{at}: an entry is FUNCTION | SOURCE LINE, or \"whole file\"")
    for e in entries:
        if not e.reason:
            raise ValueError(f"{e.at}: {e.name()} gives no reason")
    return entries


def missed_lines(report, root):
    """Every line with a branch that no test took: (file, line number, function, text, missed, total)."""
    out = []
    for f in report["files"]:
        path = f["file"]
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as src:
            source = src.read().split("\n")
        starts = sorted((fn["lineno"], bare_function_name(fn["name"])) for fn in f["functions"])
        for line in f["lines"]:
            branches = [b for b in line["branches"]]
            missed = sum(1 for b in branches if b["count"] == 0)
            if not missed:
                continue
            number = line["line_number"]
            function = "?"
            for start, name in starts:
                if start <= number:
                    function = name
            out.append((path, number, function, normalised(source[number - 1]), missed, len(branches)))
    return out


def percent(part, whole):
    return f"{100.0 * part / whole:5.1f} %" if whole else "    -  "


def print_table(report):
    rows, totals = [], [0] * 6
    for f in sorted(report["files"], key=lambda f: f["file"]):
        code = [l for l in f["lines"] if not l.get("gcovr/noncode") and not l.get("gcovr/excluded")]
        counts = [
            sum(1 for l in code if l["count"] > 0), len(code),
            sum(1 for fn in f["functions"] if fn["execution_count"] > 0), len(f["functions"]),
            sum(1 for l in code for b in l["branches"] if b["count"] > 0), sum(len(l["branches"]) for l in code),
        ]
        totals = [a + b for a, b in zip(totals, counts)]
        rows.append((f["file"], counts))
    print(f"{'file':40} {'lines':>17} {'branches':>17}")
    for name, c in rows:
        print(f"{name:40} {c[0]:4}/{c[1]:<4} {percent(c[0], c[1])} {c[4]:4}/{c[5]:<4} {percent(c[4], c[5])}")
    print(f"{'total':40} {totals[0]:4}/{totals[1]:<4} {percent(totals[0], totals[1])} "
          f"{totals[4]:4}/{totals[5]:<4} {percent(totals[4], totals[5])}")
    print(f"lines: {percent(totals[0], totals[1]).strip()} ({totals[0]} of {totals[1]}); "
          f"functions: {percent(totals[2], totals[3]).strip()} ({totals[2]} of {totals[3]}); "
          f"branches: {percent(totals[4], totals[5]).strip()} ({totals[4]} of {totals[5]})")


def module_sources(root, folders):
    found = []
    for folder in folders:
        for dirpath, _, names in os.walk(os.path.join(root, folder)):
            for n in names:
                if n.endswith(".cpp"):
                    found.append(os.path.relpath(os.path.join(dirpath, n), root).replace(os.sep, "/"))
    return sorted(found)


def check(report, entries, root, folders, list_name):
    """The problems, one line each: branches missed and unnamed, stale entries, unmeasured files."""
    problems = []
    measured = {f["file"] for f in report["files"]}
    whole = {e.file: e for e in entries if e.function is None}
    for path in module_sources(root, folders):
        if path in whole:
            whole[path].matches += path not in measured
        elif path not in measured:
            problems.append(f"unmeasured: {path} is not built natively; name it in {list_name} as a whole file")
    by_key = {}
    for e in entries:
        if e.function is not None:
            by_key.setdefault((e.file, e.function, e.text), []).append(e)
    for path, number, function, text, missed, total in missed_lines(report, root):
        named = by_key.get((path, function, text))
        if named:
            for e in named:
                e.matches += 1
        else:
            problems.append(f"unnamed: {path}:{number} in {function}: {missed} of {total} branches not taken: {text}\n"
                            f"    cover it with a test, remove it if it is dead, or name it in {list_name} as\n"
                            f"    [{path}]\n    {function} | {text}")
    for e in entries:
        if e.matches == 0:
            why = ("is measured natively now" if e.function is None and e.file in measured
                   else "names no file of the module" if e.function is None
                   else "names no line whose branches the tests miss (covered now, removed, or edited)")
            problems.append(f"stale: {e.at}: {e.name()} {why}")
    return problems


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    report_path, list_path, folders = argv[1], argv[2], argv[3:] or ["runtime", "platform", "encoding", "src", "host", "module"]
    root = os.getcwd()
    with open(report_path, encoding="utf-8") as f:
        report = json.load(f)
    print_table(report)
    try:
        entries = read_list(list_path)
    except ValueError as error:
        print(f"coverage: {error}", file=sys.stderr)
        return 1
    problems = check(report, entries, root, folders, list_path)
    missed = missed_lines(report, root)
    branches = sum(m[4] for m in missed)
    if problems:
        for p in problems:
            print(f"coverage: {p}", file=sys.stderr)
        print(f"coverage: {len(problems)} problem(s) with {list_path}", file=sys.stderr)
        return 1
    print(f"coverage: every branch the native tests miss ({branches} on {len(missed)} lines) is named "
          f"in {list_path} ({len(entries)} entries)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
