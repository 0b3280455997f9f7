#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Talks to the program the way another program or a person does: waits
for each prompt before answering, over pipes and on a terminal. Every wait
is bounded, so a prompt held back in a buffer fails instead of hanging."""
import os, pty, select, signal, subprocess, sys, time

MENU = (b"\nPerform operations on the stack:\n1.Push the element\n2.Pop the element"
        b"\n3.Show\n4.End\n\nEnter the choice: ")
ELEMENT = b"\nEnter the element to be added onto the stack: "
LIST = b"\nElements present in the stack: \n"


def wait_for(fd, expected, seen, timeout=5.0):
    """Reads from fd until seen ends with `expected`, or with None until the
    output ends; returns all read."""
    deadline = time.monotonic() + timeout
    what = "the end" if expected is None else repr(expected[-20:])
    while expected is None or not seen.endswith(expected):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise AssertionError(f"no {what} within {timeout}s; got {seen[-80:]!r}")
        chunk = os.read(fd, 1 << 16)
        if not chunk and expected is None:
            return seen
        if not chunk:
            raise AssertionError(f"output ended before {what}; got {seen[-80:]!r}")
        seen += chunk
    return seen


def exit_of(pid, timeout=5.0):
    """The exit status and resource usage of pid, killed if it has not
    ended within `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        done, status, usage = os.wait4(pid, os.WNOHANG)
        if done:
            return os.waitstatus_to_exitcode(status), usage
        time.sleep(0.01)
    os.kill(pid, signal.SIGKILL)
    os.wait4(pid, 0)
    raise AssertionError(f"still running after {timeout}s")


def over_pipes(program):
    proc = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    out, answer = proc.stdout.fileno(), proc.stdin
    seen = wait_for(out, MENU, b"")
    for said, expected in ((b"1\n", ELEMENT), (b"42\n", MENU), (b"1 -3\n", MENU),
                           (b"3\n", LIST + b"-3\n42\n" + MENU), (b"2\n", b"\nPopped element: -3" + MENU),
                           (b"x\n", b"\nInvalid choice!!" + MENU)):
        answer.write(said)
        answer.flush()
        seen = wait_for(out, expected, seen)
    answer.write(b"4\n")
    answer.close()
    rest = wait_for(out, None, b"")
    status = proc.wait(timeout=5)
    assert rest == b"" and status == 0, f"after End: {rest!r}, status {status}"
    return "over pipes"


def on_a_terminal(program):
    pid, terminal = pty.fork()
    if pid == 0:
        os.execv(program, [program])
    seen = wait_for(terminal, b"Enter the choice: ", b"")
    os.write(terminal, b"1\n")
    seen = wait_for(terminal, b"onto the stack: ", seen)
    os.write(terminal, b"7\n")
    seen = wait_for(terminal, b"Enter the choice: ", seen)
    # A partly typed number and Ctrl-D: that part is handed over and the
    # number is taken once a second Ctrl-D ends the input. The end must be
    # remembered: the terminal would go on giving input after it.
    os.write(terminal, b"3\x04")
    time.sleep(0.2)
    os.write(terminal, b"\x04")
    seen = wait_for(terminal, (LIST + b"7\n" + MENU + b"\n").replace(b"\n", b"\r\n"), seen)
    status, _ = exit_of(pid)
    assert status == 0, f"Ctrl-D gave status {status}"
    return "on a terminal"


def non_blocking(program):
    """Both pipes left in non-blocking mode, as a shared descriptor may be:
    the program must wait for input and for room, neither giving up nor
    spinning: through a second of each it sleeps."""
    to_program, from_program = os.pipe(), os.pipe()
    for fd in (to_program[0], from_program[1]):
        os.set_blocking(fd, False)
    proc = subprocess.Popen([program], stdin=to_program[0], stdout=from_program[1])
    os.close(to_program[0])
    os.close(from_program[1])
    out, answer = from_program[0], to_program[1]
    seen = wait_for(out, MENU, b"")
    time.sleep(1)  # the program now waits on an empty non-blocking pipe
    os.write(answer, b"1 8\n")
    seen = wait_for(out, ELEMENT + MENU, seen)
    # Far more output than any pipe holds, read only after a pause.
    shows = 30000
    os.write(answer, b"3\n" * shows + b"4\n")
    os.close(answer)
    time.sleep(1)
    rest = wait_for(out, None, b"", timeout=10)
    proc.returncode, usage = exit_of(proc.pid)
    status = proc.returncode
    expected = (LIST + b"8\n" + MENU) * shows
    assert rest == expected and status == 0, f"{len(rest)} of {len(expected)} bytes, status {status}"
    cpu = usage.ru_utime + usage.ru_stime
    assert cpu < 0.5 and usage.ru_nvcsw < 500, \
        f"through 2 s of waiting: {cpu:.2f} s of CPU, woken {usage.ru_nvcsw} times"
    return "on non-blocking pipes"


def main():
    program, failed = sys.argv[1], 0
    conversations = (over_pipes, on_a_terminal, non_blocking)
    for conversation in conversations:
        try:
            print("ok:", conversation(program))
        except (AssertionError, OSError, subprocess.TimeoutExpired) as fault:
            failed += 1
            print(f"FAIL: {conversation.__name__}: {fault}")
    print(f"{len(conversations) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
