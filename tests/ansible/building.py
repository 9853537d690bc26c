"""A building of simulated receivers for the Ansible tests and benchmark.

kz-orba-sim plays the live receivers on loopback TCP listeners (one process, ports chosen free at
run time) and, in a second process, one receiver that never answers; one more port refuses
connections. Writes the inventory and reads the simulator's log.
"""

import datetime
import json
import os
import re
import socket
import subprocess
import time

LISTENING = re.compile(r"listening on 127\.0\.0\.1:(\d+)")

# One task: the profile applied to every receiver. The inventory gives each host its
# receiver_port and kz_orba_cli.
APPLY_PLAYBOOK = """
- hosts: receivers
  gather_facts: false
  tasks:
    - kz.orba.receiver:
        port: "{{ receiver_port }}"
        profile: "%(profile)s"
        cli: "{{ kz_orba_cli }}"
"""


def ansible_env(source, work):
    """The environment of an ansible-playbook run on the collection in source: its results as one
    JSON document on stdout (the record callback), and nothing kept outside work."""
    return dict(os.environ,
                ANSIBLE_COLLECTIONS_PATH=source,
                ANSIBLE_STDOUT_CALLBACK="record",
                ANSIBLE_CALLBACK_PLUGINS=os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                      "callback_plugins"),
                ANSIBLE_RETRY_FILES_ENABLED="0",
                ANSIBLE_HOME=os.path.join(work, "ansible-home"),
                ANSIBLE_LOCAL_TEMP=os.path.join(work, "ansible-tmp"),
                ANSIBLE_NOCOLOR="1")


def free_port():
    """A loopback port nobody listens on (bound, then let go)."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Simulator:
    """One kz-orba-sim process with COUNT listeners on free loopback ports."""

    def __init__(self, sim, count, log, extra=()):
        args = [sim, "--log", log]
        for _ in range(count):
            args += ["--tcp", "127.0.0.1:0"]
        args += list(extra)
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     text=True)
        self.ports = []
        deadline = time.monotonic() + 30
        while len(self.ports) < count:
            line = self.proc.stdout.readline()
            if not line:
                raise RuntimeError("kz-orba-sim ended before it listened: %s" % self.proc.poll())
            m = LISTENING.search(line)
            if m:
                self.ports.append(int(m.group(1)))
            if time.monotonic() > deadline:
                raise RuntimeError("kz-orba-sim did not listen within 30 s")

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


class Building:
    """LIVE answering receivers, one silent, one refusing; hosts room-01 ... in port order."""

    def __init__(self, sim, workdir, live):
        self.workdir = workdir
        self.log = os.path.join(workdir, "sim.log")
        self.silent_log = os.path.join(workdir, "silent.log")
        for f in (self.log, self.silent_log):
            if os.path.exists(f):
                os.unlink(f)
        self.live = Simulator(sim, live, self.log)
        self.silent = Simulator(sim, 1, self.silent_log, ["--silent", "all"])
        self.refusing_port = free_port()
        self.hosts = {}
        for i, port in enumerate(self.live.ports, 1):
            self.hosts["room-%02d" % i] = "tcp://127.0.0.1:%d" % port
        self.silent_host = "room-%02d" % (live + 1)
        self.hosts[self.silent_host] = "tcp://127.0.0.1:%d" % self.silent.ports[0]
        self.refusing_host = "room-%02d" % (live + 2)
        self.hosts[self.refusing_host] = "tcp://127.0.0.1:%d" % self.refusing_port

    def stop(self):
        self.live.stop()
        self.silent.stop()

    def write_inventory(self, path, cli):
        """An inventory of every room (JSON is YAML), run on this host, written as an integrator
        writes one for a network collection: gather_facts runs kz.orba.receiver_facts."""
        inventory = {"all": {
            "vars": {
                "ansible_connection": "local",
                "ansible_python_interpreter": "{{ ansible_playbook_python }}",
                "ansible_facts_modules": ["kz.orba.receiver_facts"],
                "kz_orba_cli": cli,
            },
            "children": {"receivers": {"hosts": {
                name: {"receiver_port": port, "kz_orba_port": port}
                for name, port in self.hosts.items()}}},
        }}
        with open(path, "w") as f:
            json.dump(inventory, f, indent=1)

    def log_entries(self):
        """The live simulator's log so far: (local time, listener port, message) for each
        received message."""
        out = []
        if not os.path.exists(self.log):
            return out
        with open(self.log, encoding="latin-1") as f:
            for line in f:
                parts = line.rstrip("\n").split(None, 2)
                if len(parts) == 3:
                    out.append((datetime.datetime.fromisoformat(parts[0]), int(parts[1]),
                                parts[2]))
        return out

    def log_lines(self):
        """The live simulator's log so far: (listener port, message) for each received message."""
        return [(port, message) for _, port, message in self.log_entries()]

    def port_of(self, host):
        return int(self.hosts[host].rsplit(":", 1)[1])


def is_query(message):
    return message.endswith("[?]$\\x0D")
