#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Times the program on a long generated script of menu choices.

usage: bench.py PROGRAM BASELINE [REFERENCE]

BASELINE is the plain scanf/printf build of the same dialogue that the
targets are set against. REFERENCE, when given, is another build, such as
an earlier release, shown beside them. All must give the same output.
Needs Python 3, valgrind and cat.
"""
import hashlib, os, random, shutil, statistics, subprocess, sys, tempfile, threading, time

CHOICES = 2_000_000
CALLGRIND_CHOICES = 200_000
SEED = 20261208
INVALID = ("0", "5", "-1", "100", "2147483647")


def make_script(path, count, seed):
    """About 40% pushes, 30% pops, 20% shows, 10% invalid choices, one to four
    to a line, then End. The script knows the stack's depth, so a push on a
    full stack carries no element, as the program will not read one."""
    rng, depth, line, lines = random.Random(seed), 0, [], []
    for _ in range(count):
        roll = rng.random()
        if roll < 0.4:
            if depth < 10:
                line.append(f"1 {rng.randint(-2**31, 2**31 - 1)}")
                depth += 1
            else:
                line.append("1")
        elif roll < 0.7:
            line.append("2")
            depth = max(depth - 1, 0)
        elif roll < 0.9:
            line.append("3")
        else:
            line.append(rng.choice(INVALID))
        if rng.random() < 0.4:
            lines.append(rng.choice(" \t").join(line))
            line = []
    lines.append(" ".join(line + ["4"]))
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


def run_to(program, script, out_path):
    """Seconds for one run with the script as a file."""
    with open(script, "rb") as stdin, open(out_path, "wb") as stdout:
        start = time.perf_counter()
        status = subprocess.run([program], stdin=stdin, stdout=stdout).returncode
        elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit(f"{program} exited with {status}")
    return elapsed


def peak_memory(program, script):
    """Peak resident KiB (VmHWM) after the whole script but its End.

    The kernel's rusage figure for a child includes the parent it was forked
    from, so the peak is read from the process itself while it waits for the
    last choice, which is then sent."""
    with open(script, "rb") as f:
        data = f.read().rstrip()
    body = data[:data.rindex(b"4")]
    proc = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
    feeder = threading.Thread(target=lambda: (proc.stdin.write(body), proc.stdin.flush()))
    feeder.start()
    while True:
        time.sleep(0.01)
        with open(f"/proc/{proc.pid}/io") as io, open(f"/proc/{proc.pid}/status") as status:
            read_so_far = int(io.read().split("rchar:")[1].split()[0])
            fields = status.read()
        if read_so_far >= len(body) and fields.split("State:")[1].split()[0] == "S":
            break
    feeder.join()
    proc.stdin.write(b"4\n")
    proc.stdin.close()
    proc.wait()
    return int(fields.split("VmHWM:")[1].split()[0])


def through_pipe(first, stdin_path):
    """Seconds for `first < stdin_path | cat > /dev/null`."""
    with open(stdin_path, "rb") as stdin, open(os.devnull, "wb") as null:
        start = time.perf_counter()
        a = subprocess.Popen(first, stdin=stdin, stdout=subprocess.PIPE)
        b = subprocess.Popen(["cat"], stdin=a.stdout, stdout=null)
        a.stdout.close()
        a.wait(), b.wait()
        return time.perf_counter() - start


def fed_in_pieces(program, script, piece=61):
    """SHA-256 of the output when the script arrives through a pipe in small
    pieces, a different shape of run from a whole file."""
    digest = hashlib.sha256()
    proc = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    def feed():
        with open(script, "rb") as f:
            data = f.read()
        for at in range(0, len(data), piece):
            proc.stdin.write(data[at:at + piece])
            proc.stdin.flush()
        proc.stdin.close()
    feeder = threading.Thread(target=feed)
    feeder.start()
    while chunk := proc.stdout.read(1 << 16):
        digest.update(chunk)
    feeder.join()
    proc.wait()
    return digest.hexdigest()


def fastest_and_median(ours, cats, runs=11):
    """(fastest, median) seconds of each side, the two taking turns so that
    they share the machine's moods."""
    times = [(ours(), cats()) for _ in range(runs)]
    return [(min(side), statistics.median(side)) for side in zip(*times)]


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def instructions(program, script):
    with open(script, "rb") as stdin:
        result = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null",
                                 program], stdin=stdin, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, text=True, check=True)
    for line in result.stderr.splitlines():
        if "Collected :" in line:
            return int(line.split(":")[1])
    sys.exit("callgrind printed no count")


def heap_allocations(program, script):
    """Heap blocks the program allocates over a whole script (memcheck)."""
    with open(script, "rb") as stdin:
        result = subprocess.run(["valgrind", program], stdin=stdin, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, text=True, check=True)
    for line in result.stderr.splitlines():
        if "total heap usage:" in line:
            return int(line.split(":")[1].split()[0].replace(",", ""))
    sys.exit("memcheck printed no heap usage")


def startup(programs, work, runs=300):
    """Median seconds from start to End for the input `4`, for each program,
    the programs taking turns so that they share the machine's moods."""
    four = os.path.join(work, "four")
    with open(four, "w") as f:
        f.write("4\n")
    times = {program: [] for program in programs}
    with open(four, "rb") as stdin, open(os.devnull, "wb") as null:
        actions = [(os.POSIX_SPAWN_DUP2, stdin.fileno(), 0), (os.POSIX_SPAWN_DUP2, null.fileno(), 1)]
        for _ in range(runs):
            for program in programs:
                os.lseek(stdin.fileno(), 0, os.SEEK_SET)
                start = time.perf_counter()
                pid = os.posix_spawn(program, [program], os.environ, file_actions=actions)
                os.waitpid(pid, 0)
                times[program].append(time.perf_counter() - start)
    return {program: statistics.median(t) for program, t in times.items()}


def measure(program, script, small, work):
    out = os.path.join(work, "out")
    run_to(program, script, out)  # warm the page cache
    r = {"out_bytes": os.path.getsize(out), "sha": sha256(out)}
    # cat copying the same output from the page cache is the floor for any
    # program that must write these bytes. Noise only ever adds time, so
    # the fastest run of each side is compared.
    r["null"], r["cat_null"] = fastest_and_median(
        lambda: run_to(program, script, os.devnull), lambda: run_to("cat", out, os.devnull))
    r["pipe"], r["cat"] = fastest_and_median(
        lambda: through_pipe([program], script), lambda: through_pipe(["cat", out], out))
    r["rss"] = min(peak_memory(program, script) for _ in range(5))
    r["pieces_sha"] = fed_in_pieces(program, script)
    r["instructions"] = instructions(program, small)
    r["allocations"] = heap_allocations(program, small)
    return r


def main():
    programs = sys.argv[1:]
    if len(programs) not in (2, 3):
        sys.exit(__doc__)
    for program in programs:
        if not (os.path.isfile(program) and os.access(program, os.X_OK)):
            sys.exit(f"bench: {program}: no such program")
    work = tempfile.mkdtemp(prefix="stackmenu-bench-")
    try:
        script, small = os.path.join(work, "script"), os.path.join(work, "small")
        make_script(script, CHOICES, SEED)
        make_script(small, CALLGRIND_CHOICES, SEED + 1)
        print(f"script: {CHOICES:,} choices, {os.path.getsize(script):,} bytes, seed {SEED}")
        print(f"machine: {os.cpu_count()} cores, {os.uname().machine}, Linux {os.uname().release}")
        results = {program: measure(program, script, small, work) for program in programs}
        for program, seconds in startup(programs, work).items():
            results[program]["start"] = seconds
        ours, base = results[programs[0]], results[programs[1]]
        for program, r in results.items():
            print(f"\n{program}")
            print(f"  output: {r['out_bytes']:,} bytes, sha256 {r['sha'][:16]}; "
                  f"the same when fed in small pieces through a pipe: {r['pieces_sha'] == r['sha']}")
            for what, mine, cat in (("to /dev/null", r["null"], r["cat_null"]),
                                     ("through a pipe", r["pipe"], r["cat"])):
                print(f"  {what}: {mine[0]:.3f} s, {CHOICES / mine[0]:,.0f} choices/s; "
                      f"cat alone: {cat[0]:.3f} s; ratio {mine[0] / cat[0]:.2f} "
                      f"(fastest of 11; medians {mine[1]:.3f} s and {cat[1]:.3f} s, "
                      f"ratio {mine[1] / cat[1]:.2f})")
            print(f"  peak resident memory: {r['rss']:,} KiB (VmHWM, smallest of 5 runs)")
            print(f"  start to End for '4': {r['start'] * 1e3:.2f} ms (median of 300)")
            print(f"  instructions, {CALLGRIND_CHOICES:,} choices: {r['instructions']:,}; "
                  f"heap allocations: {r['allocations']}")
            if r is not ours:
                print(f"  this / {programs[0]}: instructions {r['instructions'] / ours['instructions']:.2f}, "
                      f"time to /dev/null {r['null'][0] / ours['null'][0]:.2f}, "
                      f"memory {r['rss'] / ours['rss']:.2f}, start {r['start'] / ours['start']:.2f}")
        same = all(r["sha"] == ours["sha"] and r["pieces_sha"] == r["sha"] for r in results.values())
        checks = [("the same output as the baseline, also when fed in pieces", same),
                  ("no heap allocation", ours["allocations"] == 0),
                  ("at most 1/11 of the baseline's instructions",
                   ours["instructions"] * 11 <= base["instructions"]),
                  ("to /dev/null in at most 1/5 of the baseline's time (fastest runs)",
                   ours["null"][0] * 5 <= base["null"][0]),
                  ("start to End no slower than the baseline's", ours["start"] <= base["start"])]
        print("\ntargets:")
        for what, met in checks:
            print(f"  {'met' if met else 'MISSED'}: {what}")
        if not same:
            sys.exit("output differs")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
