#!/usr/bin/env python3
"""Debian's real Prometheus against kz-orba-cli serve and a fleet of simulated receivers.

Prometheus runs as a child of this test with the example configuration (targets and addresses
made the test's own, a one-second scrape, a short `for:` in its copy of the alert rules), its data
folder under the test's temporary folder, on the loopback only. The fleet: three receivers that
answer, one silent, one unreachable (a refused port), one held by another client of a gateway
that serves one client, and one name that is not in the exporter's ports file. The test asks
Prometheus's HTTP API for kz_orba_up, the states and the ALERTS series, and ends every process
it started. Skips (77) where prometheus is not installed.

Usage: prometheus_test.py KZ_ORBA_CLI KZ_ORBA_SIM EXAMPLES_DIR
"""

import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

SKIP = 77


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_line(process, pattern, timeout=15):
    """The first match of pattern in the process's standard output, read line by line."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        line = process.stdout.readline()
        if not line:
            if process.poll() is not None:
                break
            continue
        match = re.search(pattern, line)
        if match:
            return match
    raise AssertionError(f"no line matching {pattern!r} from {process.args[0]}")


def get_json(url):
    with urllib.request.urlopen(url, timeout=5) as reply:
        return json.load(reply)


def query(base, expression):
    url = f"{base}/api/v1/query?" + urllib.parse.urlencode({"query": expression})
    answer = get_json(url)
    assert answer["status"] == "success", answer
    return answer["data"]["result"]


def by_instance(results, label=None):
    """{instance: value} or, with label, {instance: label's value} of the series at value 1."""
    out = {}
    for series in results:
        instance = series["metric"].get("instance")
        if label is None:
            out[instance] = series["value"][1]
        elif series["value"][1] == "1":
            out[instance] = series["metric"].get(label)
    return out


def main():
    cli, sim, examples = sys.argv[1:4]
    prometheus = shutil.which("prometheus")
    if not prometheus:
        print("prometheus is not installed")
        return SKIP

    children = []
    holder = None
    tmp = tempfile.mkdtemp(prefix="kz-orba-prometheus-")

    def start(args, **kwargs):
        process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                   text=True, **kwargs)
        children.append(process)
        return process

    try:
        # The receivers: each simulator process on a free port of its own.
        def receiver(*options):
            process = start([sim, "--tcp", "127.0.0.1:0", *options])
            match = wait_for_line(process, r"listening on (127\.0\.0\.1:\d+)")
            return "tcp://" + match.group(1)

        ports = {
            "room-101": receiver(),
            "room-102": receiver(),
            "room-204": receiver(),
            "room-silent": receiver("--silent", "all"),
            "room-held": receiver("--one-client"),
            "room-unplugged": f"tcp://127.0.0.1:{free_port()}",
        }
        # Another program holds room-held's line for the whole test.
        held_port = int(ports["room-held"].rsplit(":", 1)[1])
        holder = socket.create_connection(("127.0.0.1", held_port))
        time.sleep(0.2)

        ports_file = os.path.join(tmp, "receivers.txt")
        with open(ports_file, "w") as f:
            for name, port in ports.items():
                f.write(f"{name} = {port}\n")
        exporter = start([cli, "--ports-file", ports_file, "serve", "--listen", "127.0.0.1:0"])
        exporter_address = wait_for_line(exporter, r"on http://(127\.0\.0\.1:\d+)/").group(1)

        # The example configuration, made the test's own.
        with open(os.path.join(examples, "prometheus.yml")) as f:
            config = f.read()
        with open(os.path.join(examples, "kz-orba-alerts.yml")) as f:
            rules = f.read()
        targets = [name for name in ports if name != "room-204"] + ["room-nowhere"]
        config = config.replace("scrape_interval: 30s", "scrape_interval: 1s")
        config = config.replace("evaluation_interval: 30s", "evaluation_interval: 1s")
        config = config.replace("scrape_timeout: 10s", "scrape_timeout: 1s")
        config = config.replace("127.0.0.1:9731", exporter_address)
        config, replaced = re.subn(r"targets: \[room-101, room-102, lobby\]",
                                   "targets: [" + ", ".join(targets) + "]", config)
        assert replaced == 1, "the example configuration's targets have moved"
        rules, replaced = re.subn(r"for: \d+m", "for: 3s", rules)
        assert replaced == 4, "the example rules' for: have moved"
        with open(os.path.join(tmp, "prometheus.yml"), "w") as f:
            f.write(config)
        with open(os.path.join(tmp, "kz-orba-alerts.yml"), "w") as f:
            f.write(rules)

        web = f"127.0.0.1:{free_port()}"
        base = f"http://{web}"
        start([prometheus, f"--config.file={os.path.join(tmp, 'prometheus.yml')}",
               f"--storage.tsdb.path={os.path.join(tmp, 'data')}",
               f"--web.listen-address={web}", "--log.level=warn"], cwd=tmp)

        expected_states = {
            "room-101": "answering",
            "room-102": "answering",
            "room-204": "answering",
            "room-silent": "silent",
            "room-held": "busy",
            "room-unplugged": "unreachable",
        }
        deadline = time.monotonic() + 60
        states = up = {}
        while time.monotonic() < deadline:
            time.sleep(1)
            try:
                states = by_instance(query(base, 'kz_orba_state{job="kz-orba"}'), "state")
                up = by_instance(query(base, 'up{job="kz-orba"}'))
            except OSError:
                continue
            if states == expected_states and len(up) == len(expected_states) + 1:
                break
        assert states == expected_states, f"states {states}"

        kz_up = by_instance(query(base, "kz_orba_up"))
        assert kz_up == {name: "1" if state == "answering" else "0"
                         for name, state in expected_states.items()}, f"kz_orba_up {kz_up}"
        # The exporter answers every known target; the unknown one is refused, so its scrape
        # fails (up 0) and it has no kz_orba series at all.
        assert up == {**{name: "1" for name in expected_states}, "room-nowhere": "0"}, f"up {up}"
        inputs = by_instance(query(base, "kz_orba_input"), "input")
        assert inputs == {"room-101": "Hdmi1", "room-102": "Hdmi1", "room-204": "Hdmi1"}, inputs
        info = query(base, 'kz_orba_info{instance="room-204"}')
        assert info and info[0]["metric"]["transmitter"] == "TX", info

        # The alerts: the silent receiver's and the unreachable one's fire; room-204 expects Hdmi2
        # and shows Hdmi1.
        wanted = {("KzOrbaReceiverSilent", "room-silent"),
                  ("KzOrbaReceiverUnreachable", "room-unplugged"),
                  ("KzOrbaExporterDown", "room-nowhere")}
        firing = set()
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            alerts = query(base, 'ALERTS{alertstate="firing"}')
            firing = {(a["metric"]["alertname"], a["metric"]["instance"]) for a in alerts}
            if wanted <= firing and ("KzOrbaUnexpectedInput", "room-204") in firing:
                break
            time.sleep(1)
        assert wanted <= firing, f"firing {firing}"
        assert ("KzOrbaUnexpectedInput", "room-204") in firing, f"firing {firing}"
        # Nothing fires for the receivers that answer on the input they should.
        assert not {a for a in firing if a[1] in ("room-101", "room-102")}, f"firing {firing}"

        # The held line was left to its holder all along: it still answers the holder.
        holder.sendall(b"WP_Input[?]$\r")
        holder.settimeout(2)
        assert holder.recv(64).startswith(b"WP_Input[Hdmi1]$\r")
        print("Prometheus saw every state and fired the alerts")
        return 0
    finally:
        if holder:
            holder.close()
        for process in reversed(children):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
        for process in reversed(children):
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
            if process.stdout:
                process.stdout.close()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
