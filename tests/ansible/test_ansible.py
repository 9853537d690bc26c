#!/usr/bin/env python3
"""The kz.orba collection against a building of simulated receivers.

usage: test_ansible.py KZ_ORBA_CLI KZ_ORBA_SIM SOURCE_DIR WORK_DIR

Twenty receivers answer, one is silent and one refuses; 22 inventory hosts run the modules with
ansible_connection: local. Checks that a first run changes the 20 and fails the 2 by port, that a
second run changes nothing, that --check --diff shows the differences and sends no setting, and
that receiver_info reports what kz-orba-cli read --json reports. Exits 77 (skipped) when this
kz-orba-cli does not speak the collection's JSON.
"""

import datetime
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


def run_plays(play, *extra):
    """ansible-playbook over the building with a playbook given as text or as a list of plays
    (written as JSON, which is YAML, so that any key or value reaches the module as it is);
    returns (every task's per-host results, stats)."""
    path = os.path.join(WORK, "play.yml")
    with open(path, "w") as f:
        f.write(play if isinstance(play, str) else json.dumps(play, indent=1))
    env = ansible_env(SOURCE, WORK)
    proc = subprocess.run(["ansible-playbook", "-i", os.path.join(WORK, "rooms.json"),
                           "--forks", "22", path] + list(extra),
                          env=env, capture_output=True, text=True, timeout=600)
    try:
        doc = json.loads(proc.stdout)
    except ValueError:
        raise AssertionError("ansible-playbook printed no JSON (status %d):\n%s\n%s"
                             % (proc.returncode, proc.stdout[-3000:], proc.stderr[-3000:]))
    return [task["hosts"] for play in doc["plays"] for task in play["tasks"]], doc["stats"]


def run_playbook(play, *extra):
    """ansible-playbook over the building; returns (per-host results of the one task, stats)."""
    tasks, stats = run_plays(play, *extra)
    return tasks[0], stats


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

    # --- helpers of the tests below ---

    def live_hosts(self):
        return list(self.building.hosts)[:LIVE]

    def few(self):
        """Four answering rooms, the silent and the refusing one: enough for the behaviours
        below, and few enough that a loaded machine answers in time."""
        return list(self.building.hosts)[:4] + [self.building.silent_host,
                                                self.building.refusing_host]

    def cli_read(self, host):
        """The profile kz-orba-cli read prints for host."""
        proc = subprocess.run([CLI, "--port", self.building.hosts[host], "read"],
                              capture_output=True, text=True, timeout=120)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        return proc.stdout

    def cli_json(self, host, *command):
        proc = subprocess.run([CLI, "--port", self.building.hosts[host], "--json"] + list(command),
                              capture_output=True, text=True, timeout=120)
        return json.loads(proc.stdout)["receivers"][0]

    def written(self, host, since):
        """The messages that write which host's receiver got after log entry number since."""
        port = self.building.port_of(host)
        return [m for p, m in self.building.log_lines()[since:] if p == port and not is_query(m)]

    def test_b_facts_through_gather_facts(self):
        defaults = {"group/kz.orba.kz_orba": {"port": "{{ kz_orba_port }}",
                                              "cli": "{{ kz_orba_cli }}"}}
        keep = {"ansible.builtin.set_fact": {"seen": "{{ hostvars[inventory_hostname].ansible_facts.kz_orba }}"}}
        tasks, stats = run_plays([{"hosts": ":".join(self.few()), "gather_facts": True,
                                   "module_defaults": defaults, "tasks": [keep]}])
        gathering, kept = tasks
        self.assertEqual(count(stats, "failures"), 2, gathering)
        for host in (self.building.silent_host, self.building.refusing_host):
            self.assertTrue(gathering[host].get("failed"), host)
            self.assertIn(self.building.hosts[host], json.dumps(gathering[host]))
        for host in self.live_hosts()[:3]:
            facts = kept[host]["ansible_facts"]["seen"]
            expected = self.cli_json(host, "read")["settings"]
            self.assertEqual(facts["settings"], expected, host)
            self.assertEqual(facts["port"], self.building.hosts[host])
            self.assertEqual(facts["firmware"], {"receiver": expected["rx_firmware"],
                                                 "transmitter": expected["tx_firmware"]})
            self.assertEqual(facts["transmitter"], expected["transmitter"])
            self.assertEqual(facts["gather_subset"], ["identity", "settings"])

        # A subset through module_defaults (gather_facts drops its own gather_subset on a local
        # connection): only the identity is read, by queries alone.
        defaults["group/kz.orba.kz_orba"]["gather_subset"] = ["identity"]
        before = len(self.building.log_lines())
        tasks, stats = run_plays([{"hosts": ":".join(self.few()), "gather_facts": True,
                                   "module_defaults": defaults, "tasks": [keep]}])
        for host in self.few()[:4]:
            facts = tasks[1][host]["ansible_facts"]["seen"]
            self.assertNotIn("settings", facts, host)
            self.assertEqual(facts["gather_subset"], ["identity"])
            self.assertTrue(facts["firmware"]["receiver"], host)
            port = self.building.port_of(host)
            asked = [m for p, m in self.building.log_lines()[before:] if p == port]
            self.assertEqual(len(asked), 3, asked)
            self.assertTrue(all(is_query(m) for m in asked), asked)

    def test_c_backup_commands_rendered(self):
        profile = os.path.join(WORK, "change.profile")
        with open(profile, "w") as f:
            f.write("aspect = 4:3 TV\nbrightness = 45\ndisplay_on_command = 50 57 52 0D\n")
        merge = {"kz.orba.receiver": {"port": "{{ kz_orba_port }}", "cli": "{{ kz_orba_cli }}",
                                      "profile": profile, "backup": True}}
        render = {"kz.orba.receiver": {"state": "rendered", "cli": "{{ kz_orba_cli }}",
                                       "port": "{{ kz_orba_port }}", "profile": profile}}
        backups = os.path.join(WORK, "backup")
        shutil.rmtree(backups, ignore_errors=True)
        hosts = ":".join(self.few())
        state = {host: self.cli_read(host) for host in self.few()[:4]}

        # Check mode: what would be sent; no backup (nothing is sent), no setting sent.
        # rendered opens no line, so the silent and the refusing receiver render too.
        before = len(self.building.log_lines())
        (rendered, checked), stats = run_plays(
            [{"hosts": hosts, "gather_facts": False, "tasks": [render, merge]}], "--check")
        for host in self.few():
            self.assertFalse(rendered[host].get("failed"), rendered[host])
            self.assertEqual(rendered[host]["commands"], [], host)
            self.assertEqual(rendered[host]["rendered"], rendered["room-01"]["rendered"])
        self.assertIn("WP_Aspect[4:3]$\\x0D", rendered["room-01"]["rendered"])
        self.assertFalse(os.path.exists(backups))
        for host in self.few()[:4]:
            self.assertEqual(self.written(host, before), [], host)
            self.assertNotIn("backup_path", checked[host])

        # The run: each backup holds the receiver's settings from before the run, written
        # before the first byte was sent; commands are the messages the receiver got.
        before = len(self.building.log_lines())
        results, stats = run_playbook(
            [{"hosts": hosts, "gather_facts": False, "tasks": [merge]}])
        self.assertEqual(count(stats, "changed"), 4, results)
        entries = self.building.log_entries()[before:]
        for host in self.few()[:4]:
            result = results[host]
            sent = self.written(host, before)
            self.assertTrue(sent, host)
            self.assertEqual(result["commands"], sent, host)
            self.assertEqual(result["commands"], checked[host]["commands"], host)
            self.assertEqual(sorted(result["commands"]), sorted(rendered[host]["rendered"]))
            self.assertIn("sent and confirmed: ", result["msg"])
            path = result["backup_path"]
            self.assertEqual(os.path.dirname(path), backups)
            self.assertRegex(os.path.basename(path),
                             r"^%s_config\.\d{4}-\d\d-\d\d@\d\d:\d\d:\d\d$" % host)
            port = self.building.port_of(host)
            first_write = min(t for t, p, m in entries if p == port and not is_query(m))
            self.assertLessEqual(datetime.datetime.fromtimestamp(os.stat(path).st_mtime),
                                 first_write, host)
            if host in state:
                with open(path) as f:
                    self.assertEqual(f.read(), state[host], host)
        for host in (self.building.silent_host, self.building.refusing_host):
            self.assertTrue(results[host].get("failed"), host)
            self.assertIn("backup", results[host]["msg"])
            self.assertEqual(results[host]["commands"], [])

        # A backup that cannot be written: the task fails and nothing is sent.
        blocker = os.path.join(WORK, "not-a-folder")
        with open(blocker, "w") as f:
            f.write("a file\n")
        bad = {"kz.orba.receiver": dict(merge["kz.orba.receiver"], settings={"brightness": 33},
                                        backup_options={"dir_path": os.path.join(blocker, "b")})}
        del bad["kz.orba.receiver"]["profile"]
        before = len(self.building.log_lines())
        results, stats = run_playbook([{"hosts": "room-01", "gather_facts": False,
                                        "tasks": [bad]}])
        self.assertTrue(results["room-01"].get("failed"))
        self.assertFalse(results["room-01"].get("changed"))
        self.assertIn(blocker, results["room-01"]["msg"])
        self.assertEqual(self.written("room-01", before), [])

    def test_d_parsed_offline(self):
        # A profile as read prints it (read-only settings, comments) turns into the settings
        # gathered reads, with no line opened: the refusing receiver parses too.
        text = "# saved\n" + self.cli_read("room-02")
        gather = {"kz.orba.receiver": {"state": "gathered", "port": "{{ kz_orba_port }}",
                                       "cli": "{{ kz_orba_cli }}"}, "ignore_errors": True}
        parse = {"kz.orba.receiver": {"state": "parsed", "running_config": text,
                                      "cli": "{{ kz_orba_cli }}"}}
        broken = {"kz.orba.receiver": {"state": "parsed", "cli": "{{ kz_orba_cli }}",
                                       "running_config": "aspect = Full\nbrightness 50\n"},
                  "ignore_errors": True}
        hosts = "room-02,%s" % self.building.refusing_host
        before = len(self.building.log_lines())
        (gathered, parsed, failed), _ = run_plays(
            [{"hosts": hosts, "gather_facts": False, "tasks": [gather, parse, broken]}])
        self.assertEqual(self.written("room-02", before), [])
        self.assertEqual(gathered["room-02"]["commands"], [])
        self.assertIn("cannot open", gathered[self.building.refusing_host]["msg"])
        for host in ("room-02", self.building.refusing_host):
            self.assertFalse(parsed[host].get("failed"), parsed[host])
            self.assertEqual(parsed[host]["parsed"], gathered["room-02"]["gathered"], host)
            self.assertEqual(parsed[host]["commands"], [])
            self.assertFalse(parsed[host]["changed"])
            self.assertTrue(failed[host].get("failed"))
            self.assertIn("line 2", failed[host]["msg"])
        self.assertNotIn("transmitter", gathered["room-02"]["gathered"])
        self.assertIsInstance(gathered["room-02"]["gathered"]["brightness"], int)

    # Settings that must be refused before anything is sent, naming the key: the comment a
    # profile line would hide, control bytes, keys that are no setting's name, values that are
    # no entry. (case, settings, what the message must name)
    HOSTILE = [
        ("comment_in_word", {"aspect": "4:3 TV #x"}, "aspect"),
        ("comment_in_hex", {"display_on_command": "41 42 #43 44"}, "display_on_command"),
        ("comment_alone", {"aspect": "#x"}, "aspect"),
        ("comment_key", {"#aspect": "4:3 TV"}, '"#aspect"'),
        ("line_end_in_key", {"hue = 11\nbrightness": 50}, "hue = 11\\x0Abrightness"),
        ("line_end_in_value", {"brightness": "50\nhue = 11"}, "brightness"),
        ("tab_in_value", {"aspect": "4:3\tTV"}, "\\x09"),
        ("escape_in_value", {"aspect": "\x1b[2J"}, "\\x1B"),
        ("yaml_boolean", {"audio": True}, "audio"),
        ("unknown_name", {"aspectt": "Full"}, "aspectt"),
        ("value_not_offered", {"aspect": "5:4"}, "aspect"),
        ("good_and_bad", {"brightness": 41, "hue = 11\nbrightness": 50}, "hue = 11"),
    ]

    def test_e_hostile_settings(self):
        tasks = []
        for name, settings, _ in self.HOSTILE:
            for state in ("merged", "rendered"):
                tasks.append({"name": "%s %s" % (name, state), "ignore_errors": True,
                              "kz.orba.receiver": {"state": state, "settings": settings,
                                                   "port": "{{ kz_orba_port }}",
                                                   "cli": "{{ kz_orba_cli }}"}})
        before = len(self.building.log_lines())
        results, _ = run_plays([{"hosts": "room-03,%s" % self.building.refusing_host,
                                 "gather_facts": False, "tasks": tasks}])
        self.assertEqual(self.written("room-03", before), [])
        for i, (name, _, named) in enumerate(self.HOSTILE):
            for j, state in enumerate(("merged", "rendered")):
                for host in ("room-03", self.building.refusing_host):
                    with self.subTest(case=name, state=state, host=host):
                        result = results[2 * i + j][host]
                        self.assertTrue(result.get("failed"), result)
                        self.assertFalse(result.get("changed"))
                        self.assertEqual(result["commands"], [])
                        self.assertIn(named, result["msg"])
                        # Refused before the line: the refusing port's error never shows.
                        self.assertNotIn("cannot open", result["msg"])

    def test_f_action(self):
        key = {"kz.orba.receiver_action": {"action": "key_menu", "port": "{{ kz_orba_port }}",
                                           "cli": "{{ kz_orba_cli }}"}}
        hosts = "room-04,%s" % self.building.refusing_host
        before = len(self.building.log_lines())
        checked, _ = run_playbook([{"hosts": hosts, "gather_facts": False, "tasks": [key]}],
                                  "--check")
        # Check mode opens no line: it says what it would send, claims no change, and cannot
        # tell that the refusing port is dead.
        self.assertEqual(self.building.log_lines()[before:], [])
        for host in ("room-04", self.building.refusing_host):
            self.assertFalse(checked[host].get("failed"), checked[host])
            self.assertFalse(checked[host]["changed"], host)
            self.assertIn("would send key menu", checked[host]["msg"])
            self.assertEqual(len(checked[host]["commands"]), 1)
        before = len(self.building.log_lines())
        results, _ = run_playbook([{"hosts": hosts, "gather_facts": False, "tasks": [key]}])
        self.assertTrue(results["room-04"]["changed"])
        self.assertEqual(results["room-04"]["commands"], self.written("room-04", before))
        self.assertEqual(results["room-04"]["commands"], checked["room-04"]["commands"])
        self.assertTrue(results[self.building.refusing_host].get("failed"))
        self.assertFalse(results[self.building.refusing_host].get("changed"))


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
