#!/usr/bin/env python3
"""rowvane-cli.exe under Wine against the Linux rowvane-cli on random inputs.

Each run of a program converts a whole batch of inputs with one set of
options, so that Wine's slow start is paid once per batch. For every batch the
two programs must give the same exit status, the same output files byte for
byte, the same report lines (less the seconds) and the same messages.
    differential.py LINUX_CLI WINDOWS_EXE WORK_FOLDER [INPUTS]
"""
import gzip
import json
import os
import random
import shutil
import subprocess
import sys

# Options of every format and layout; each batch gets one of them.
OPTION_SETS = [
    [],
    ["--format", "standard"],
    ["--format", "standard", "--layout", "attributes"],
    ["--line-breaks", "any", "--quotes", "double"],
    ["--escape", "xml", "--no-header"],
    ["--quotes", "double", "--escape", "xml", "-s", ";"],
    ["--no-row-tags", "--document-tag", "", "-s", "tab"],
    ["--encoding", "windows-1252", "--row-tag", "r"],
    ["--encoding", "utf-8", "--format", "standard", "--no-header"],
    ["--layout", "attributes", "--no-header", "-s", "|"],
    ["--gzip", "--format", "standard"],
    ["-n", "--escape", "xml"],
]

PIECES = ["a", "b", "Z", "7", "42", " ", ",", ",", ";", "|", "\t", '"', '""', "\r\n", "\r\n",
          "\n", "\r", "&", "<", ">", "'", "=", "Zo\u00eb", "\u6771\u4eac", "\U0001F600",
          "name", "x y", "1.5", "-3", "true", "2024-02-29"]


def random_csv(rng):
    """Text that is mostly CSV-like, sometimes ill-formed, sometimes empty."""
    text = "".join(rng.choice(PIECES) for _ in range(rng.randint(0, 60)))
    data = text.encode("utf-8")
    roll = rng.random()
    if roll < 0.05:
        data = b"\xef\xbb\xbf" + data
    elif roll < 0.10:
        data = bytes(rng.choice(b"ab,\r\n\x80\xe9\xff\xc3") for _ in range(rng.randint(1, 30)))
    elif roll < 0.13:
        data = b"\xff\xfe" + text.encode("utf-16-le")
    return data


def run(command, cwd):
    done = subprocess.run(command, cwd=cwd, capture_output=True, timeout=900)
    return done.returncode, done.stdout, done.stderr


def report_lines(path):
    lines = []
    with open(path, encoding="utf-8") as report:
        for line in report:
            entry = json.loads(line)
            entry.pop("seconds", None)
            lines.append(json.dumps(entry, sort_keys=True))
    return sorted(lines)


def outputs(folder):
    found = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            found[name] = f.read()
    return found


def main():
    linux, windows, work = (os.path.abspath(argument) for argument in sys.argv[1:4])
    count = int(sys.argv[4]) if len(sys.argv) > 4 else 3000
    rng = random.Random(33)
    shutil.rmtree(work, ignore_errors=True)
    per_batch = count // len(OPTION_SETS)
    wine = ["wine", windows]
    failures = 0
    checked = 0
    for batch, options in enumerate(OPTION_SETS):
        folder = os.path.join(work, f"batch{batch}")
        inputs = {}
        for i in range(per_batch):
            name = f"f{i:04d}.csv"
            data = random_csv(rng)
            if i % 50 == 7:
                name += ".gz"
                data = gzip.compress(data, mtime=0)
            inputs[name] = data
        names = list(inputs) + ["missing.csv"]  # a failure of its own in every batch
        results = {}
        # Each program in a tree of its own, laid out alike, so that the names
        # in messages and reports are the same text.
        for side, program in (("linux", [linux]), ("windows", wine)):
            base = os.path.join(folder, side)
            os.makedirs(os.path.join(base, "in"))
            os.makedirs(os.path.join(base, "out"))
            for name, data in inputs.items():
                with open(os.path.join(base, "in", name), "wb") as f:
                    f.write(data)
            command = program + ["-q", "-j", "2", "--report", "../report.jsonl", "-o", "../out"]
            results[side] = run(command + options + names, os.path.join(base, "in"))
            results[side] += (report_lines(os.path.join(base, "report.jsonl")),
                              outputs(os.path.join(base, "out")))
        linux_result, windows_result = results["linux"], results["windows"]
        checked += len(names)
        problems = []
        if linux_result[0] != windows_result[0]:
            problems.append(f"exit status {linux_result[0]} on Linux, {windows_result[0]} on Windows")
        if linux_result[2] != windows_result[2]:
            problems.append(f"messages differ:\n{linux_result[2][:400]!r}\n{windows_result[2][:400]!r}")
        if linux_result[3] != windows_result[3]:
            different = [pair for pair in zip(linux_result[3], windows_result[3]) if pair[0] != pair[1]]
            problems.append(f"reports differ, first: {different[:1]}")
        if linux_result[4] != windows_result[4]:
            names_only = set(linux_result[4]) ^ set(windows_result[4])
            differing = [n for n in linux_result[4] if linux_result[4].get(n) != windows_result[4].get(n)]
            problems.append(f"outputs differ: only on one side {sorted(names_only)[:5]}, "
                            f"different bytes {differing[:5]}")
        print(f"batch {batch} {' '.join(options) or '(defaults)'}: {len(names)} inputs, "
              f"{len(linux_result[4])} outputs, status {linux_result[0]}: "
              f"{'same' if not problems else 'DIFFERENT'}")
        for problem in problems:
            print("  " + problem)
        failures += 1 if problems else 0
    # Standard input to standard output, a few single runs.
    for i in range(6):
        data = random_csv(rng)
        options = OPTION_SETS[i % len(OPTION_SETS)]
        linux_run = subprocess.run([linux, "-O", "-", "-"] + options, input=data, capture_output=True)
        windows_run = subprocess.run(wine + ["-O", "-", "-"] + options, input=data, capture_output=True)
        same = (linux_run.returncode, linux_run.stdout) == (windows_run.returncode, windows_run.stdout)
        print(f"stdin to stdout {i}: {'same' if same else 'DIFFERENT'}")
        failures += 0 if same else 1
        checked += 1
    batches = len(OPTION_SETS) + 6
    print(f"differential: {checked} inputs in {batches} runs of each program")
    print(f"differential: {batches - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
