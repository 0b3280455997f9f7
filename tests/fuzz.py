#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Fuzzes the real program on standard input with AFL++.

usage: fuzz.py PROGRAM CASES FINDINGS SECONDS

PROGRAM is built with afl-clang-fast++. The inputs of the dialogue cases in
CASES seed it. Every input must end the program (by End or by the end of
the input), so a hang is a fault as much as a crash; any of either, a seed's
too, fails. make sanitize runs the dialogue cases themselves.
"""
import glob, os, re, shutil, subprocess, sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_dialogues import parse


def main():
    program, cases, findings, seconds = sys.argv[1:5]
    shutil.rmtree(findings, ignore_errors=True)
    seeds = os.path.join(findings, "seeds")
    os.makedirs(seeds)
    # Some are longer than the input buffer, so that refilling it is fuzzed too.
    inputs = {case["in"] for case in parse(cases) if case["in"]}
    for number, data in enumerate(sorted(inputs)):
        with open(os.path.join(seeds, f"case{number:03}"), "wb") as seed:
            seed.write(data)
    # What afl-fuzz would otherwise ask of the machine's settings, which an
    # ordinary user cannot change, is waived here instead.
    env = dict(os.environ, AFL_SKIP_CPUFREQ="1", AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES="1",
               AFL_NO_UI="1", AFL_NO_AFFINITY="1")
    out = os.path.join(findings, "out")
    said = subprocess.run(["afl-fuzz", "-i", seeds, "-o", out, "-V", seconds, "-t", "1000", "-m", "none",
                           "--", program], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, errors="replace").stdout
    # afl-fuzz skips a seed that hangs and stops at one that crashes; both
    # are faults, and the line before each verdict names the seed.
    if "(skipping)" in said or "PROGRAM ABORT" in said:
        print(*re.findall(r".*(?:dry run|skipping|Oops|ABORT).*", said), "0 passed, 1 failed", sep="\n")
        return 1
    session = os.path.join(out, "default")
    with open(os.path.join(session, "fuzzer_stats")) as f:
        stats = dict(line.split(":", 1) for line in f.read().splitlines())
    stats = {key.strip(): value.strip() for key, value in stats.items()}
    print(f"fuzzed {stats['run_time']} s: {stats['execs_done']} runs, "
          f"{stats['corpus_count']} paths, {stats['bitmap_cvg']} coverage")
    found = [name for kind in ("crashes", "hangs") for name in glob.glob(os.path.join(session, kind, "id:*"))]
    print(*found, f"{len(found)} crashes and hangs", f"{0 if found else 1} passed, {1 if found else 0} failed",
          sep="\n")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
