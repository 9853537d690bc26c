#!/usr/bin/env python3
"""Ansible over a building of simulated receivers, next to one kz-orba-cli fleet run.

    /usr/bin/python3 bench/bench_ansible.py [COUNT...]     default: 20 100

For each count, a fresh simulator with COUNT receivers on loopback TCP: the wall time of
ansible-playbook applying one profile with kz.orba.receiver (--forks 20), then, on another fresh
simulator, of one `kz-orba-cli apply` over the same number of receivers (--jobs COUNT). Both start
from the simulator's defaults, so both send the same settings. Needs a build (scripts/build.sh);
BUILD_DIR chooses another build folder.
"""

import json
import os
import subprocess
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tests", "ansible"))
from building import APPLY_PLAYBOOK, Simulator, ansible_env  # noqa: E402

bindir = os.path.join(os.environ.get("BUILD_DIR", os.path.join(root, "build")), "bin")
cli = os.path.join(bindir, "kz-orba-cli")
sim = os.path.join(bindir, "kz-orba-sim")
PROFILE = "aspect = 16:9 TV\naudio = Off\nhdcp = Compliant\nbrightness = 40\ncontrast = 60\n"


def ansible_run(work, count):
    s = Simulator(sim, count, os.path.join(work, "a.log"))
    try:
        hosts = {"room-%03d" % i: {"receiver_port": "tcp://127.0.0.1:%d" % p, "kz_orba_cli": cli}
                 for i, p in enumerate(s.ports)}
        inv = os.path.join(work, "rooms.json")
        with open(inv, "w") as f:
            json.dump({"all": {"vars": {"ansible_connection": "local",
                                        "ansible_python_interpreter": "{{ ansible_playbook_python }}"},
                               "children": {"receivers": {"hosts": hosts}}}}, f)
        play = os.path.join(work, "play.yml")
        with open(play, "w") as f:
            f.write(APPLY_PLAYBOOK % {"profile": os.path.join(work, "profile")})
        env = ansible_env(root, work)
        t = time.monotonic()
        out = subprocess.run(["ansible-playbook", "-i", inv, "--forks", "20", play], env=env,
                             capture_output=True, text=True)
        wall = time.monotonic() - t
        stats = json.loads(out.stdout)["stats"]
        changed = sum(1 for h in stats.values() if h.get("changed"))
        return wall, changed
    finally:
        s.stop()


def cli_run(work, count):
    s = Simulator(sim, count, os.path.join(work, "c.log"))
    try:
        argv = [cli, "--jobs", str(count)]
        for p in s.ports:
            argv += ["--port", "tcp://127.0.0.1:%d" % p]
        t = time.monotonic()
        rc = subprocess.run(argv + ["apply", os.path.join(work, "profile")],
                            capture_output=True).returncode
        return time.monotonic() - t, rc
    finally:
        s.stop()


def main():
    counts = [int(a) for a in sys.argv[1:]] or [20, 100]
    print("| receivers | ansible-playbook --forks 20 (s) | changed | kz-orba-cli fleet (s) | ratio |")
    print("|---|---|---|---|---|")
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "profile"), "w") as f:
            f.write(PROFILE)
        for n in counts:
            a, changed = ansible_run(work, n)
            c, rc = cli_run(work, n)
            print("| %d | %.1f | %d | %.1f (status %d) | %.1f |" % (n, a, changed, c, rc, a / c))


if __name__ == "__main__":
    main()
