#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Runs the dialogue cases of a cases file against the program.

usage: run_dialogues.py PROGRAM CASES [STRACE]

Each case runs twice when its descriptors are ordinary: with the input in a
file, and with the input arriving one byte per read through a socket, so
that every number is split across reads. Both must give the same bytes. An
input longer than the program's input buffer is there to fill it, which
only a file does, so it runs from a file alone. A case with talk: answers
each prompt once it has arrived, and waits at most WAIT seconds for it.
"""
import codecs, ctypes, os, re, resource, select, shutil, signal, socket, subprocess, sys, tempfile, time

PR_SET_PDEATHSIG = 1
WAIT, PAUSE = 5, 0.5
KEYS = {"in", "out", "exit", "args", "stdin", "stdout", "sigpipe", "inject", "talk"}


def parse(path):
    defines, cases, case = {}, [], None
    for number, line in enumerate(open(path, encoding="utf-8").read().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        if line.startswith("== "):
            case = {"name": line[3:], "steps": [], "exit": "0"}
            cases.append(case)
            continue
        key, _, value = line.partition(":")
        value = value[1:] if value.startswith(" ") else value
        if key.startswith("define "):
            defines[key[7:]] = value
        elif case is None or key not in KEYS:  # a case must not check less than it says
            sys.exit(f"{path}:{number}: unknown key {key!r}")
        elif key in ("in", "out"):
            case["steps"].append((key, value))
        else:
            case[key] = value
    def decode(text):
        for name, value in defines.items():
            text = text.replace("{" + name + "}", value)
        text = re.sub(r"\{(\d+)\*([^{}]*)\}", lambda m: m[2] * int(m[1]), text)
        return codecs.escape_decode(text.encode())[0]
    for case in cases:
        newline = b"\r\n" if case.get("talk") == "terminal" else b"\n"  # as a terminal writes it
        case["steps"] = [(key, decode(value).replace(b"\n", newline) if key == "out" else decode(value))
                         for key, value in case["steps"]]
        for key in ("in", "out"):
            case[key] = b"".join(value for k, value in case["steps"] if k == key)
    return cases


def talk(steps, send, receive, pause, per_byte):
    """Sends each in: once the out: before it has arrived (after a pause,
    if asked), a byte per write if asked; returns all received to the end."""
    seen, expected, end = bytearray(), 0, time.monotonic() + 20
    os.set_blocking(send, False)
    def pump(until, data=b""):  # receives `until` bytes in all (None: to the end), sending data
        while data or until is None or len(seen) < until:
            readable, writable, _ = select.select([receive], [send] if data else [], [], WAIT)
            if time.monotonic() > end or not readable and not writable:
                raise TimeoutError(bytes(seen))
            if writable:
                try:
                    data = data[os.write(send, data[:1] if per_byte else data):]
                except OSError:  # the program has gone
                    data = b""
            if readable:
                try:
                    chunk = os.read(receive, 1 << 16)
                except OSError:  # EIO: a terminal whose other side has closed
                    chunk = b""
                if not chunk:
                    return
                seen.extend(chunk)
    for key, value in steps:
        if key == "out":
            expected += len(value)
            continue
        pump(expected)
        time.sleep(pause)
        pump(expected, value)
    if send != receive:
        os.close(send)  # the end of the input
    time.sleep(pause)
    pump(None)
    return bytes(seen)


def repeated_eagain(log):
    """How often a read or write found nothing to do right after one that
    found nothing: each should have waited in between."""
    calls = re.findall(r"^\d+ +(?:read|write)\(.*= (-1 EAGAIN)?", open(log).read(), re.M)
    return sum(1 for before, after in zip(calls, calls[1:]) if before and after)


def run(program, case, per_byte, strace):
    args = [program] + case.get("args", "").split()
    stdin_kind, stdout_kind, talking = case.get("stdin"), case.get("stdout", ""), case.get("talk")
    limit = stdout_kind.partition("limited ")[2]
    closed = [fd for fd, kind in ((0, stdin_kind), (1, stdout_kind)) if kind == "closed"]
    def prepare():
        # A program that spins must not outlive a runner killed for it.
        ctypes.CDLL(None).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)
        if limit:  # a file that may not grow past `limit` bytes
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (int(limit), int(limit)))
        if case.get("sigpipe") == "ignore":
            signal.signal(signal.SIGPIPE, signal.SIG_IGN)
        for fd in closed:
            os.close(fd)
    # A preloaded library (faketime's, say) may open a file before main, and
    # the file takes the lowest free descriptor, the one closed here. So the
    # program starts without preloads, and a program started the same way
    # must find that descriptor closed.
    env = {name: value for name, value in os.environ.items() if name != "LD_PRELOAD"} if closed else None
    for fd in closed:
        if subprocess.run(["test", "-e", f"/proc/self/fd/{fd}"], env=env, preexec_fn=prepare).returncode == 0:
            return b"", f"none: descriptor {fd} was open as a program started"
    stdin, stdout, held = tempfile.TemporaryFile(), subprocess.PIPE, []  # held: our ends
    stdin.write(case["in"])
    stdin.seek(0)
    if stdout_kind == "full":
        stdout = open("/dev/full", "wb")
    if limit:
        stdout = tempfile.TemporaryFile()
    if stdin_kind == "directory":
        stdin = os.open("/", os.O_RDONLY)
    if stdin_kind == "hung up":  # a terminal's master, its other side closed
        stdin, other = os.openpty()
        os.close(other)
    if stdout_kind == "hung up":  # a terminal whose master has closed
        other, stdout = os.openpty()
        os.close(other)
    if stdout_kind == "gone":
        other, stdout = os.pipe()
        os.close(other)
    if stdin_kind == "waiting":  # an empty pipe, left non-blocking
        stdin, other = os.pipe()
        os.set_blocking(stdin, False)
        held.append(other)
    if stdout_kind == "blocked":  # a full pipe, left non-blocking
        other, stdout = os.pipe()
        os.set_blocking(stdout, False)
        held.append(other)
        os.write(stdout, bytes(1 << 16))  # no pipe holds more: it is full
    if talking == "terminal":
        send, stdin = os.openpty()
        receive, stdout = send, stdin
    elif talking or per_byte:
        receive, stdout = os.pipe()
        stdin, send = [s.detach() for s in socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)] \
            if per_byte else os.pipe()  # a pipe would merge the bytes
        for fd in (stdin, stdout) if talking == "non-blocking" else ():
            os.set_blocking(fd, False)
    # Only a non-blocking descriptor lets a program spin; strace counts it.
    traced = "inject" in case or "non-blocking" == talking or stdin_kind == "waiting" or stdout_kind == "blocked"
    log = tempfile.NamedTemporaryFile()
    if traced:
        args = [strace, "-f", "-qq", "-o", log.name, "-e", "trace=read,write,/^p?poll$"] + \
            (["-e", "inject=" + case["inject"]] if "inject" in case else []) + args
    with log, subprocess.Popen(args, stdin=stdin, stdout=stdout, preexec_fn=prepare, env=env,
                               start_new_session=True) as proc:
        for theirs in {stdin, stdout} - {subprocess.PIPE}:  # so that only the program holds them
            os.close(theirs) if isinstance(theirs, int) else theirs.close()
        try:
            if talking or per_byte:
                held.append(receive)
                steps = case["steps"] if talking else [("in", case["in"])]
                out = talk(steps, send, receive, PAUSE if talking == "non-blocking" else 0, per_byte)
                proc.wait(timeout=WAIT)
            else:
                out = proc.communicate(timeout=20)[0] or b""
        except (subprocess.TimeoutExpired, TimeoutError) as stuck:
            os.killpg(proc.pid, signal.SIGKILL)  # strace and what it runs
            return stuck.args[0] if isinstance(stuck, TimeoutError) else b"", "timeout"
        finally:
            for end in held:
                os.close(end)
        # Each read or write that finds nothing to do must be followed by a wait.
        spins = repeated_eagain(log.name) if traced else 0
    return out, str(proc.returncode) + (f", and {spins} reads or writes without a wait" if spins else "")


def main():
    program, path = sys.argv[1:3]
    strace = sys.argv[3] if len(sys.argv) > 3 else shutil.which("strace")
    if not strace:
        sys.exit("missing strace: apt-get install strace")
    passed = failed = 0
    for case in parse(path):
        ordinary = not any(k in case for k in ("stdin", "stdout", "inject", "talk")) \
            and len(case["in"]) < 1 << 16
        for per_byte in ((False, True) if ordinary else (False,)):
            out, status = run(program, case, per_byte, strace)
            expected_out = case["out"] if "stdout" not in case else b""
            if out == expected_out and status == case["exit"]:
                passed += 1
                continue
            failed += 1
            shape = "a byte per read" if per_byte else "from a file"
            at = next((i for i, (a, b) in enumerate(zip(out, expected_out)) if a != b),
                      min(len(out), len(expected_out)))
            print(f"FAIL: {case['name']} ({shape})\n  exit {status}, expected {case['exit']}\n"
                  f"  output differs at byte {at}:\n    got      {out[at - 20 if at > 20 else 0:at + 60]!r}\n"
                  f"    expected {expected_out[at - 20 if at > 20 else 0:at + 60]!r}")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
