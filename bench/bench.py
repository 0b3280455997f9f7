#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Times the program on a long generated script of menu choices.

usage: bench.py PROGRAM BASELINE [REFERENCE]

BASELINE is the plain scanf/printf build of the same dialogue that the
targets are set against. REFERENCE, a program or its build directory, is
another build, such as an earlier release, measured beside them. Each
figure is printed as it is measured. The exit status is 1 when an output
differs or a target is missed.
"""
import os, random, re, shlex, shutil, statistics, subprocess, sys, tempfile, time

CHOICES, COUNTED, SEED, RUNS = 2_000_000, 200_000, 20261208, 11
TOOLS = {"valgrind": "valgrind", "/usr/bin/time": "time", "cmp": "diffutils"}
NAMES = ("this build", "baseline", "reference")


def make_script(path, count, seed):
    """About 40% pushes, 30% pops, 20% shows, 10% invalid choices, one to four
    to a line, then End. The script knows the stack's depth, so a push on a
    full stack carries no element, as the program will not read one."""
    rng, depth, line, lines = random.Random(seed), 0, [], []
    for _ in range(count):
        roll = rng.random()
        if roll < 0.4:
            line.append(f"1 {rng.randint(-2**31, 2**31 - 1)}" if depth < 10 else "1")
            depth = min(depth + 1, 10)
        elif roll < 0.7:
            line.append("2")
            depth = max(depth - 1, 0)
        else:
            line.append("3" if roll < 0.9 else rng.choice(("0", "5", "-1", "100", "2147483647")))
        if rng.random() < 0.4:
            lines.append(rng.choice(" \t").join(line))
            line = []
    lines.append(" ".join(line + ["4"]))
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


def run(args, stdin, stdout=os.devnull):
    """Seconds for one run of args with stdin and stdout as files; the
    standard error it wrote."""
    with open(stdin, "rb") as i, open(stdout, "wb") as o:
        start = time.perf_counter()
        done = subprocess.run(args, stdin=i, stdout=o, stderr=subprocess.PIPE, text=True)
    if done.returncode != 0:
        sys.exit(f"bench: {shlex.join(args)} exited with {done.returncode}: {done.stderr[-200:]}")
    return time.perf_counter() - start, done.stderr


def take_turns(commands, runs):
    """Seconds of every run of each (args, stdin) command, the commands
    taking turns so that they share the machine's moods."""
    return list(zip(*[[run(*command)[0] for command in commands] for _ in range(runs)]))


def valgrind(options, program, script, pattern):
    found = re.search(pattern, run(["valgrind", *options, program], script)[1])
    return int(found[1].replace(",", ""))


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    sys.stdout.reconfigure(line_buffering=True)  # each figure as it is measured
    missing = sorted({package for tool, package in TOOLS.items() if not shutil.which(tool)})
    if missing:
        sys.exit(f"missing tools: apt-get install {' '.join(missing)}")
    programs = [os.path.join(p, "stackmenu") if os.path.isdir(p) else p for p in sys.argv[1:]]
    for program in programs:
        if not os.access(program, os.X_OK):
            sys.exit(f"bench: {program}: no such program")
    with tempfile.TemporaryDirectory(prefix="stackmenu-bench-") as work:
        return measure(programs, work)


def measure(programs, work):
    names = NAMES[:len(programs)]
    script, small, expected, out = (os.path.join(work, n) for n in ("script", "small", "expected", "out"))
    make_script(script, CHOICES, SEED)
    make_script(small, COUNTED, SEED + 1)
    print(f"script: {CHOICES:,} choices, {os.path.getsize(script):,} bytes, seed {SEED}; "
          f"machine: {os.cpu_count()} cores, {os.uname().machine}")
    same = True
    run([programs[1]], script, expected)
    for name, program in zip(names, programs):
        run([program], script, out)
        whole = subprocess.run(["cmp", "-s", expected, out]).returncode == 0
        same = same and whole
        print(f"{name}: the baseline's output ({os.path.getsize(expected):,} bytes): {'yes' if whole else 'NO'}")
    commands = [([p], script) for p in programs] + [(["cat", expected], expected)]
    *fastest, cat = [min(t) for t in take_turns(commands, RUNS)]
    for name, seconds in zip(names, fastest):
        print(f"{name}: to /dev/null {seconds:.3f} s (fastest of {RUNS}), "
              f"{seconds / cat:.2f} x cat's {cat:.3f} s, {seconds / fastest[1]:.2f} x the baseline's")
    counts = []
    for name, program in zip(names, programs):
        instructions = valgrind(["--tool=callgrind", "--callgrind-out-file=/dev/null"], program, small,
                                r"Collected : (\d+)")
        allocations = valgrind([], program, small, r"total heap usage: ([\d,]+) allocs")
        peak = min(int(run(["/usr/bin/time", "-f", "%M", program], script)[1].split()[-1])
                   for _ in range(3))
        counts.append((instructions, allocations))
        print(f"{name}: {instructions:,} instructions for {COUNTED:,} choices, "
              f"{allocations} heap allocations, peak resident {peak:,} KiB (GNU time, smallest of 3)")
    start = [statistics.median(t) for t in take_turns([(programs[:1], os.devnull), (["/bin/true"], os.devnull)], 200)]
    print(f"start to the end of an empty input: {start[0] * 1e3:.2f} ms, /bin/true {start[1] * 1e3:.2f} ms "
          f"(medians of 200)")
    # Instructions and allocations are the same on a busy machine as on a
    # quiet one; times are not, so they are figures and not targets.
    targets = [("the same output as the baseline", same),
               ("no heap allocation", counts[0][1] == 0),
               ("at most 1/5 of the baseline's instructions", counts[0][0] * 5 <= counts[1][0])]
    for what, met in targets:
        print(f"{'met' if met else 'MISSED'}: {what}")
    return 0 if all(met for _, met in targets) else 1


if __name__ == "__main__":
    sys.exit(main())
