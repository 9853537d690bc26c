#!/usr/bin/python3
"""Runs a command (the test suite) and names the processes it leaves behind.

Usage: leftovers.py COMMAND [ARG]...

The command runs as a child of this process, which is made a child subreaper: every process the
command starts and then loses (a test that kills a wrapper instead of the real process, a
simulator started in the background and forgotten, a program run as another user in a folder
since deleted) is handed to this process instead of to init. When the command has ended, the
processes still alive are named on stderr with their PID, user, folder and command line, and
ended (SIGTERM, then SIGKILL). A kz-orba-* program among them fails the run: the exit status is
the command's own when it failed, else 1. Other leftovers (an X server, say) are named as a note.
Linux only.
"""

import ctypes
import os
import pwd
import signal
import sys
import time

PR_SET_CHILD_SUBREAPER = 36
GRACE_S = 3.0  # a process on its way out at the command's end is given this long
PROGRAM_PREFIX = "kz-orba-"


def children(me):
    """The live processes whose parent is me."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", "rb") as f:
                stat = f.read()
        except OSError:
            continue
        # The command name may hold spaces and parentheses: the fields follow the last ')'.
        fields = stat[stat.rindex(b")") + 2:].split()
        if int(fields[1]) == me and fields[0] != b"Z":
            found.append(int(entry))
    return found


def reap():
    """Collects every child that has ended, without waiting."""
    while True:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            return


def read(path, default="?"):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return default.encode()


def describe(pid):
    name = read(f"/proc/{pid}/comm").decode(errors="replace").strip()
    args = read(f"/proc/{pid}/cmdline").split(b"\0")
    command = " ".join(a.decode(errors="replace") for a in args if a) or name
    try:
        user = pwd.getpwuid(os.stat(f"/proc/{pid}").st_uid).pw_name
    except (OSError, KeyError):
        user = "?"
    try:
        folder = os.readlink(f"/proc/{pid}/cwd")
    except OSError:
        folder = "?"
    return name, f"PID {pid}, user {user}, in {folder}: {command}"


def end(pids):
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for pid in pids:
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        deadline = time.monotonic() + 2.0
        while time.monotonic() < deadline:
            reap()
            if not any(p in children(os.getpid()) for p in pids):
                return
            time.sleep(0.05)


def main():
    if len(sys.argv) < 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        print("leftovers.py: cannot become a child subreaper: "
              + os.strerror(ctypes.get_errno()), file=sys.stderr)
        return 2

    child = os.fork()
    if child == 0:
        try:
            os.execvp(sys.argv[1], sys.argv[1:])
        except OSError as error:
            print(f"leftovers.py: {sys.argv[1]}: {error.strerror}", file=sys.stderr)
            os._exit(127)
    # A stop asked of the run goes on to the command; its leftovers are still looked for.
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, lambda s, _frame: os.kill(child, s))
    signal.signal(signal.SIGINT, signal.SIG_IGN)  # the terminal sends it to the command too

    status = None
    while status is None:
        try:
            pid, raw = os.waitpid(-1, 0)
        except InterruptedError:
            continue
        if pid == child:
            status = os.waitstatus_to_exitcode(raw)
            if status < 0:
                status = 128 - status

    me = os.getpid()
    deadline = time.monotonic() + GRACE_S
    while True:
        reap()
        left = children(me)
        if not left or time.monotonic() >= deadline:
            break
        time.sleep(0.1)

    failed = False
    named = set()
    while left:
        left = [pid for pid in left if pid not in named]
        named.update(left)
        for pid in left:
            name, text = describe(pid)
            if name.startswith(PROGRAM_PREFIX):
                failed = True
                print(f"leftovers.py: {name} still running after the tests ({text}); ending it",
                      file=sys.stderr)
            else:
                print(f"leftovers.py: note: {name} still running after the tests ({text}); "
                      "ending it", file=sys.stderr)
        end(left)
        reap()
        # What those had started is handed here in turn; one that cannot be ended (another
        # user's, without the right to signal it) stays named once.
        left = children(me)
        for pid in set(left) & named:
            print(f"leftovers.py: PID {pid} could not be ended", file=sys.stderr)
    sys.stderr.flush()
    if status != 0:
        return status
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
