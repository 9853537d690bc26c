#!/usr/bin/env python3
"""The kz.orba collection against a building of simulated receivers.

usage: test_ansible.py KZ_ORBA_CLI KZ_ORBA_SIM SOURCE_DIR WORK_DIR

Twenty receivers answer, one is silent and one refuses; 22 inventory hosts run the modules with
ansible_connection: local. Checks that a first run changes the 20 and fails the 2 by port, that a
second run changes nothing, that --check --diff shows the differences and sends no setting, and
that receiver_info reports what kz-orba-cli read --json reports. Exits 77 (skipped) when this
kz-orba-cli does not speak the collection's JSON.
"""

import json
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from building import APPLY_PLAYBOOK, Building, Simulator, ansible_env, is_query  # noqa: E402

CLI, SIM, SOURCE, WORK = sys.argv[1:5] if len(sys.argv) >= 5 else (None,) * 4
SKIP = 77
LIVE = 20

INFO_PLAYBOOK = """
- hosts: receivers
  gather_facts: false
  tasks:
    - kz.orba.receiver_info:
        port: "{{ receiver_port }}"
        cli: "{{ kz_orba_cli }}"
"""


def run_playbook(text, *extra):
    """ansible-playbook over the building; returns (per-host results of the one task, stats)."""
    path = os.path.join(WORK, "play.yml")
    with open(path, "w") as f:
        f.write(text)
    env = ansible_env(SOURCE, WORK)
    proc = subprocess.run(["ansible-playbook", "-i", os.path.join(WORK, "rooms.json"),
                           "--forks", "22", path] + list(extra),
                          env=env, capture_output=True, text=True, timeout=600)
    try:
        doc = json.loads(proc.stdout)
    except ValueError:
        raise AssertionError("ansible-playbook printed no JSON (status %d):\n%s\n%s"
                             % (proc.returncode, proc.stdout[-3000:], proc.stderr[-3000:]))
    task = doc["plays"][0]["tasks"][0]
    return task["hosts"], doc["stats"]


def count(stats, key):
    return sum(1 for host in stats.values() if host.get(key))


class BuildingTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(WORK, exist_ok=True)
        cls.building = Building(SIM, WORK, LIVE)
        cls.building.write_inventory(os.path.join(WORK, "rooms.json"), CLI)
        cls.profile = os.path.join(WORK, "room.profile")

    @classmethod
    def tearDownClass(cls):
        cls.building.stop()

    def write_profile(self, brightness):
        with open(self.profile, "w") as f:
            f.write("# the building's standard room\naspect = 16:9 TV\naudio = Off\n"
                    "brightness = %d\n" % brightness)

    def assert_failed_by_port(self, results):
        for host in (self.building.silent_host, self.building.refusing_host):
            self.assertTrue(results[host].get("failed"), host)
            self.assertIn(self.building.hosts[host], results[host]["msg"])
            self.assertFalse(results[host].get("changed"), host)

    def test_a_building(self):
        self.write_profile(brightness=60)

        # First run: every answering room is brought to the profile.
        results, stats = run_playbook(APPLY_PLAYBOOK % {"profile": self.profile})
        self.assertEqual(count(stats, "changed"), LIVE, results)
        self.assertEqual(count(stats, "failures"), 2, results)
        self.assert_failed_by_port(results)
        sent = [(port, m) for port, m in self.building.log_lines() if not is_query(m)]
        for port in self.building.live.ports:
            mine = {m for p, m in sent if p == port}
            self.assertIn("WP_Aspect[16:9]$\\x0D", mine, port)
            self.assertIn("WP_PictureBri[60]$\\x0D", mine, port)
            self.assertIn("WP_AudioEn[Off]$\\x0D", mine, port)

        # Second run: nothing differs, nothing is sent.
        before = len(self.building.log_lines())
        results, stats = run_playbook(APPLY_PLAYBOOK % {"profile": self.profile})
        self.assertEqual(count(stats, "changed"), 0, results)
        self.assertEqual(count(stats, "failures"), 2)
        self.assertEqual([m for _, m in self.building.log_lines()[before:] if not is_query(m)], [])

        # Check mode after a change of the profile: the difference is shown, nothing is sent.
        self.write_profile(brightness=70)
        before = len(self.building.log_lines())
        results, stats = run_playbook(APPLY_PLAYBOOK % {"profile": self.profile}, "--check", "--diff")
        self.assertEqual(count(stats, "changed"), LIVE, results)
        for host in list(self.building.hosts)[:LIVE]:
            diff = results[host]["diff"]
            if isinstance(diff, list):
                diff = diff[0]
            self.assertEqual(diff["before"], {"brightness": 60}, host)
            self.assertEqual(diff["after"], {"brightness": 70}, host)
        self.assertEqual([m for _, m in self.building.log_lines()[before:] if not is_query(m)], [])

        # Facts: receiver_info says what kz-orba-cli read --json says.
        results, stats = run_playbook(INFO_PLAYBOOK)
        self.assertEqual(count(stats, "failures"), 2)
        ports = [self.building.hosts[h] for h in list(self.building.hosts)[:3]]
        argv = [CLI]
        for port in ports:
            argv += ["--port", port]
        cli = json.loads(subprocess.run(argv + ["--json", "read"], capture_output=True,
                                        text=True, timeout=120).stdout)
        by_port = {r["port"]: r for r in cli["receivers"]}
        for host in list(self.building.hosts)[:3]:
            facts = results[host]["receiver"]
            expected = by_port[self.building.hosts[host]]
            self.assertEqual(facts["settings"], expected["settings"], host)
            self.assertEqual(facts["settings"]["brightness"], 60)
            self.assertEqual(facts["firmware"]["receiver"], expected["settings"]["rx_firmware"])
            self.assertEqual(facts["transmitter"], expected["settings"]["transmitter"])


def cli_speaks_schema():
    """Whether this kz-orba-cli prints the collection's JSON shape (asked of a spare receiver)."""
    os.makedirs(WORK, exist_ok=True)
    sim = Simulator(SIM, 1, os.path.join(WORK, "probe.log"))
    try:
        out = subprocess.run([CLI, "--port", "tcp://127.0.0.1:%d" % sim.ports[0], "--json",
                              "get", "aspect"], capture_output=True, text=True, timeout=60).stdout
        try:
            return json.loads(out).get("schema") == 1
        except (ValueError, AttributeError):
            return False
    finally:
        sim.stop()


if __name__ == "__main__":
    if CLI is None:
        sys.exit(__doc__)
    if shutil.which("ansible-playbook") is None:
        print("skipped: ansible-playbook is not installed (scripts/deps.sh installs ansible-core)")
        sys.exit(SKIP)
    if not cli_speaks_schema():
        print("skipped: this kz-orba-cli does not print JSON schema 1")
        sys.exit(SKIP)
    unittest.main(argv=sys.argv[:1], verbosity=2)
