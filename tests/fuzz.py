#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Fuzzes the real program on standard input with AFL++.

usage: fuzz.py PROGRAM CASES FINDINGS SECONDS

PROGRAM is built with afl-clang-fast++. The inputs of the dialogue cases in
CASES seed it. Every input must end the program (by End or by the end of
the input), so a hang is a fault as much as a crash; any of either fails.
"""
import os, shutil, subprocess, sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_dialogues import parse


def main():
    program, cases, findings, seconds = sys.argv[1:5]
    shutil.rmtree(findings, ignore_errors=True)
    seeds = os.path.join(findings, "seeds")
    os.makedirs(seeds)
    # Some are longer than the input buffer, so that refilling it is fuzzed too.
    inputs = {case["in"] for case in parse(cases) if case["in"]}
    # A seed that crashes or hangs is a finding too; afl-fuzz would only
    # skip it.
    env = dict(os.environ, ASAN_OPTIONS="abort_on_error=1:symbolize=0")
    bad_seeds = 0
    for number, data in enumerate(sorted(inputs)):
        path = os.path.join(seeds, f"case{number:03}")
        with open(path, "w+b") as seed:
            seed.write(data)
            seed.seek(0)
            try:
                status = subprocess.run([program], stdin=seed, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, env=env, timeout=10).returncode
            except subprocess.TimeoutExpired:
                status = "a hang"
        if status != 0:
            bad_seeds += 1
            print(f"seed {path} ends in {status}")
    if bad_seeds:
        print("0 passed, 1 failed")
        return 1
    # What afl-fuzz would otherwise ask of the machine's settings, which an
    # ordinary user cannot change, is waived here instead.
    env = dict(os.environ, AFL_SKIP_CPUFREQ="1", AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES="1",
               AFL_NO_UI="1", AFL_NO_AFFINITY="1")
    out = os.path.join(findings, "out")
    subprocess.run(["afl-fuzz", "-i", seeds, "-o", out, "-V", seconds, "-t", "1000", "-m", "none",
                    "--", program], env=env, check=True, stdout=subprocess.DEVNULL)
    session = os.path.join(out, "default")
    with open(os.path.join(session, "fuzzer_stats")) as f:
        stats = dict(line.split(":", 1) for line in f.read().splitlines())
    stats = {key.strip(): value.strip() for key, value in stats.items()}
    print(f"fuzzed {stats['run_time']} s: {stats['execs_done']} runs, "
          f"{stats['corpus_count']} paths, {stats['bitmap_cvg']} coverage")
    faults = 0
    for kind in ("crashes", "hangs"):
        found = [name for name in os.listdir(os.path.join(session, kind)) if name != "README.txt"]
        faults += len(found)
        print(f"{kind}: {len(found)}" + (f" in {os.path.join(session, kind)}" if found else ""))
    print(f"{0 if faults else 1} passed, {1 if faults else 0} failed")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
