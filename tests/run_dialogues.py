#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Runs the dialogue cases of a cases file against the program.

Each case runs twice when its descriptors are ordinary: with the input in a
file, and with the input arriving one byte per read through a socket, so
that every number is split across reads. Both must give the same bytes. An
input longer than the program's input buffer is there to fill it, which
only a file does, so it runs from a file alone.
"""
import codecs, ctypes, os, re, resource, signal, socket, subprocess, sys, tempfile, threading

PR_SET_PDEATHSIG = 1


KEYS = {"in", "out", "exit", "args", "stdin", "stdout", "sigpipe", "inject"}


def parse(path):
    defines, cases, case = {}, [], None
    for number, line in enumerate(open(path, encoding="utf-8").read().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        if line.startswith("== "):
            case = {"name": line[3:], "in": "", "out": "", "exit": "0"}
            cases.append(case)
            continue
        key, _, value = line.partition(":")
        value = value[1:] if value.startswith(" ") else value
        if key.startswith("define "):
            defines[key[7:]] = value
        elif case is None or key not in KEYS:  # a case must not check less than it says
            sys.exit(f"{path}:{number}: unknown key {key!r}")
        elif key in ("in", "out"):
            case[key] += value
        else:
            case[key] = value
    def decode(text):
        for name, value in defines.items():
            text = text.replace("{" + name + "}", value)
        text = re.sub(r"\{(\d+)\*([^{}]*)\}", lambda m: m[2] * int(m[1]), text)
        return codecs.escape_decode(text.encode())[0]
    for case in cases:
        case["in"], case["out"] = decode(case["in"]), decode(case["out"])
    return cases


def run(program, case, byte_at_a_time):
    args = [program] + case.get("args", "").split()
    stdout, stdin, feeder = subprocess.PIPE, None, None
    limit = case.get("stdout", "").partition("limited ")[2]
    closed = [fd for fd, key in ((0, "stdin"), (1, "stdout")) if case.get(key) == "closed"]
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
    env = None
    if closed:
        # A preloaded library (faketime's, say) may open a file before main,
        # and the file takes the lowest free descriptor, the one closed here.
        # So the program starts without preloads, and a program started the
        # same way must find that descriptor closed.
        env = {name: value for name, value in os.environ.items() if name != "LD_PRELOAD"}
        for fd in closed:
            if subprocess.run(["test", "-e", f"/proc/self/fd/{fd}"], env=env, preexec_fn=prepare).returncode == 0:
                return b"", f"none: descriptor {fd} was open as a program started"
    if case.get("stdout") == "full":
        stdout = open("/dev/full", "wb")
    if limit:
        stdout = tempfile.TemporaryFile()
    if byte_at_a_time:
        ours, stdin = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
        def feed():
            try:
                for i in range(len(case["in"])):
                    ours.send(case["in"][i:i + 1])
            except OSError:
                pass  # the program ended before reading everything
            ours.shutdown(socket.SHUT_WR)
        feeder = threading.Thread(target=feed)
    else:
        stdin = tempfile.TemporaryFile()
        stdin.write(case["in"])
        stdin.seek(0)
    if case.get("stdin") == "directory":
        stdin = os.open("/", os.O_RDONLY)
    if case.get("stdin") == "hung up":  # a terminal's master, its other side closed
        stdin, other = os.openpty()
        os.close(other)
    if case.get("stdout") == "hung up":  # a terminal whose master has closed
        other, stdout = os.openpty()
        os.close(other)
    if case.get("stdout") == "gone":
        read_end, stdout = os.pipe()
        os.close(read_end)
    held = None  # our end of a pipe, kept open until the program ends
    if case.get("stdin") == "waiting":
        stdin, held = os.pipe()
        os.set_blocking(stdin, False)
    if case.get("stdout") == "blocked":
        held, stdout = os.pipe()
        os.set_blocking(stdout, False)
        try:
            while os.write(stdout, bytes(1 << 16)):
                pass
        except BlockingIOError:
            pass
    if "inject" in case:
        args = ["strace", "-f", "-qq", "-o", os.devnull, "-e", "inject=" + case["inject"]] + args
    with subprocess.Popen(args, stdin=stdin, stdout=stdout, preexec_fn=prepare, env=env,
                          start_new_session=True) as proc:
        for theirs in (stdin, stdout):  # so that only the program holds them
            if isinstance(theirs, int) and theirs != subprocess.PIPE:
                os.close(theirs)
            elif hasattr(theirs, "close"):
                theirs.close()
        if feeder:
            feeder.start()
        try:
            out = proc.communicate(timeout=20)[0] or b""
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)  # strace and what it runs
            return b"", "timeout"
        finally:
            if feeder:
                feeder.join()
            if held is not None:
                os.close(held)
    return out, str(proc.returncode)


def main():
    program, path = sys.argv[1:3]
    passed = failed = 0
    for case in parse(path):
        ordinary = not any(k in case for k in ("stdin", "stdout", "inject")) \
            and len(case["in"]) < 1 << 16
        for byte_at_a_time in ((False, True) if ordinary else (False,)):
            out, status = run(program, case, byte_at_a_time)
            expected_out = case["out"] if "stdout" not in case else b""
            if out == expected_out and status == case["exit"]:
                passed += 1
                continue
            failed += 1
            shape = "a byte per read" if byte_at_a_time else "from a file"
            at = next((i for i, (a, b) in enumerate(zip(out, expected_out)) if a != b),
                      min(len(out), len(expected_out)))
            print(f"FAIL: {case['name']} ({shape})\n  exit {status}, expected {case['exit']}\n"
                  f"  output differs at byte {at}:\n    got      {out[at - 20 if at > 20 else 0:at + 60]!r}\n"
                  f"    expected {expected_out[at - 20 if at > 20 else 0:at + 60]!r}")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
