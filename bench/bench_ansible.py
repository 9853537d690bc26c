#!/usr/bin/env python3
"""Ansible over a building of simulated receivers, next to one kz-orba-cli fleet run.

    /usr/bin/python3 bench/bench_ansible.py [COUNT...]     default: 20 100

For each count, a fresh simulator with COUNT receivers on loopback TCP: the wall time of
ansible-playbook applying one profile with kz.orba.receiver (--forks 20), of the same playbook
with backup: true (each receiver read and saved first), and of ansible.builtin.ping over the
same hosts (Ansible's own floor: a module run per host that does nothing); then, on another
fresh simulator, of one `kz-orba-cli apply` over the same number of receivers (--jobs COUNT).
The applying runs start from the simulator's defaults, so all send the same settings. Needs a
build (scripts/build.sh); BUILD_DIR chooses another build folder.
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


PING_PLAYBOOK = """
- hosts: receivers
  gather_facts: false
  tasks:
    - ansible.builtin.ping:
"""

BACKUP_PLAYBOOK = APPLY_PLAYBOOK + """        backup: true
"""


def ansible_run(work, count, playbook=APPLY_PLAYBOOK):
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
            f.write(playbook % {"profile": os.path.join(work, "profile")})
        env = ansible_env(root, work)
        t = time.monotonic()
        out = subprocess.run(["ansible-playbook", "-i", inv, "--forks", "20", play], env=env,
                             capture_output=True, text=True)
        wall = time.monotonic() - t
        stats = json.loads(out.stdout)["stats"]
        ok = sum(1 for h in stats.values() if h.get("changed") or
                 (playbook == PING_PLAYBOOK and h.get("ok") and not h.get("failures")))
        return wall, ok
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
    print("| receivers | ansible.builtin.ping (s) | kz.orba.receiver (s) | changed | "
          "with backup: true (s) | changed | kz-orba-cli fleet (s) |")
    print("|---|---|---|---|---|---|---|")
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "profile"), "w") as f:
            f.write(PROFILE)
        for n in counts:
            p, _ = ansible_run(work, n, PING_PLAYBOOK)
            a, changed = ansible_run(work, n)
            b, backed = ansible_run(work, n, BACKUP_PLAYBOOK)
            c, rc = cli_run(work, n)
            print("| %d | %.1f | %.1f | %d | %.1f | %d | %.1f (status %d) |"
                  % (n, p, a, changed, b, backed, c, rc))


if __name__ == "__main__":
    main()
