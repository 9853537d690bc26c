#!/usr/bin/env python3
"""Benchmarks of status and the exporter against simulated receivers over loopback TCP.

  bench/bench_watch.py [probe|fleet|exporter]...     default: all three

probe     one probe (status) of one receiver against a whole read of it: the median wall time
          of kz-orba-cli over RUNS runs (default 20), and the messages each sends.
fleet     status of COUNT receivers (default 1000) at the default --jobs against status of one:
          wall time and its ratio to one (the goal: within 1.5x), peak memory of the CLI.
exporter  kz-orba-cli serve with COUNT targets scraped all at once, as Prometheus scrapes a
          building: the time until the last answer, the exporter's peak memory and its open
          descriptors at their most, then a second scrape of all.

The exporter listens on EXPORTER_PORT (default 41531). Needs a build (scripts/build.sh);
BUILD_DIR chooses another build folder; JOBS passes --jobs instead of the default.
"""

import asyncio
import os
import re
import resource
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(os.environ.get("BUILD_DIR", os.path.join(ROOT, "build")), "bin")
CLI = os.path.join(BIN, "kz-orba-cli")
SIM = os.path.join(BIN, "kz-orba-sim")
COUNT = int(os.environ.get("COUNT", "1000"))
RUNS = int(os.environ.get("RUNS", "20"))
JOBS = os.environ.get("JOBS")


def raise_limit():
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))


class Simulators:
    """count receivers on free ports, at most PER_SIM (default 250) to a kz-orba-sim process;
    ended on exit. One simulator thread playing a thousand receivers cannot answer a burst of a
    thousand messages within the 302 ms reply wait on a small machine, where real receivers each
    answer their own line."""

    def __init__(self, count, log=None):
        per_sim = int(os.environ.get("PER_SIM", "250"))
        self.processes = []
        self.ports = []
        for first in range(0, count, per_sim):
            args = [SIM]
            if log:
                args += ["--log", log]
            for _ in range(min(per_sim, count - first)):
                args += ["--tcp", "127.0.0.1:0"]
            process = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
            self.processes.append(process)
            wanted = len(self.ports) + min(per_sim, count - first)
            while len(self.ports) < wanted:
                line = process.stdout.readline()
                if not line:
                    raise RuntimeError("the simulator ended")
                match = re.search(r"listening on (127\.0\.0\.1:\d+)", line)
                if match:
                    self.ports.append("tcp://" + match.group(1))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for process in self.processes:
            process.terminate()
        for process in self.processes:
            process.wait()
            process.stdout.close()


def timed(args):
    """Wall seconds and the child's peak memory (MiB) of one run."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    start = time.monotonic()
    result = subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    took = time.monotonic() - start
    peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    return took, max(peak, before) / 1024, result.returncode


def jobs_words():
    return ["--jobs", JOBS] if JOBS else []


def bench_probe():
    with tempfile.TemporaryDirectory() as tmp:
        log = os.path.join(tmp, "sim.log")
        with Simulators(1, log) as sims:
            port = sims.ports[0]
            rows = []
            for command in (["status"], ["read"]):
                times = []
                open(log, "w").close()
                for _ in range(RUNS):
                    took, _, status = timed([CLI, "--port", port] + command)
                    assert status == 0, f"{command} ended with {status}"
                    times.append(took)
                with open(log) as f:
                    messages = sum(1 for _ in f) // RUNS
                rows.append((command[0], statistics.median(times), messages))
    print(f"one receiver over TCP, median of {RUNS} runs:")
    for name, median, messages in rows:
        print(f"  {name:7s} {median * 1000:7.0f} ms  {messages:3d} messages")
    print(f"  a probe costs {rows[0][1] / rows[1][1]:.2f} of a whole read")


def bench_fleet():
    raise_limit()
    with Simulators(COUNT) as sims, tempfile.TemporaryDirectory() as tmp:
        ports = os.path.join(tmp, "ports")
        with open(ports, "w") as f:
            f.write("\n".join(sims.ports) + "\n")
        one = statistics.median(timed([CLI, "--port", sims.ports[0], "status"])[0]
                                for _ in range(5))
        out = os.path.join(tmp, "out")
        with open(out, "w") as f:
            before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
            start = time.monotonic()
            status = subprocess.run([CLI, "--ports-file", ports] + jobs_words() + ["status"],
                                    stdout=f, stderr=subprocess.DEVNULL).returncode
            took = time.monotonic() - start
            peak = max(before, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss) / 1024
        with open(out) as f:
            states = {}
            for line in f:
                state = line.split(": ")[1].split(" ")[0]
                states[state] = states.get(state, 0) + 1
    jobs = f"--jobs {JOBS}" if JOBS else "the default --jobs"
    print(f"status over TCP at {jobs}:")
    print(f"  1 receiver      {one * 1000:7.0f} ms (median of 5)")
    print(f"  {COUNT} receivers {took * 1000:7.0f} ms  {took / one:.2f}x one, CLI peak {peak:.0f} MiB,"
          f" status {status}, {states}")


async def scrape_all(port, names):
    async def one(name):
        reader, writer = await asyncio.open_connection("127.0.0.1", port)
        writer.write(f"GET /probe?target={name} HTTP/1.1\r\nHost: x\r\n"
                     "X-Prometheus-Scrape-Timeout-Seconds: 10\r\n\r\n".encode())
        await writer.drain()
        head = await reader.readuntil(b"\r\n\r\n")
        length = int(re.search(rb"(?i)content-length: *(\d+)", head).group(1))
        body = await reader.readexactly(length)
        writer.close()
        return head.split(b" ")[1] == b"200" and b"kz_orba_up 1" in body

    start = time.monotonic()
    answers = await asyncio.gather(*(one(name) for name in names))
    return time.monotonic() - start, sum(answers)


def process_figures(pid):
    with open(f"/proc/{pid}/status") as f:
        status = f.read()
    rss = int(re.search(r"VmRSS:\s+(\d+)", status).group(1)) / 1024
    hwm = int(re.search(r"VmHWM:\s+(\d+)", status).group(1)) / 1024
    return rss, hwm, len(os.listdir(f"/proc/{pid}/fd"))


def bench_exporter():
    raise_limit()
    port = int(os.environ.get("EXPORTER_PORT", "41531"))
    with Simulators(COUNT) as sims, tempfile.TemporaryDirectory() as tmp:
        names = [f"room-{i}" for i in range(COUNT)]
        ports = os.path.join(tmp, "receivers.txt")
        with open(ports, "w") as f:
            for name, address in zip(names, sims.ports):
                f.write(f"{name} = {address}\n")
        exporter = subprocess.Popen(
            [CLI, "--ports-file", ports] + jobs_words() + ["serve", "--listen", f"127.0.0.1:{port}"],
            stdout=subprocess.PIPE, text=True)
        try:
            exporter.stdout.readline()
            idle_rss, _, idle_fds = process_figures(exporter.pid)
            most_fds = [0]
            done = threading.Event()

            def sample():
                while not done.is_set():
                    try:
                        most_fds[0] = max(most_fds[0], process_figures(exporter.pid)[2])
                    except (OSError, AttributeError):
                        pass
                    time.sleep(0.01)

            sampler = threading.Thread(target=sample)
            sampler.start()
            first, answered = asyncio.run(scrape_all(port, names))
            second, answered2 = asyncio.run(scrape_all(port, names))
            done.set()
            sampler.join()
            rss, hwm, fds = process_figures(exporter.pid)
        finally:
            exporter.terminate()
            exporter.wait()
            exporter.stdout.close()
    print(f"exporter, {COUNT} targets scraped at once:")
    print(f"  first scrape  {first * 1000:7.0f} ms, {answered} answered up")
    print(f"  second scrape {second * 1000:7.0f} ms, {answered2} answered up")
    print(f"  memory: {idle_rss:.0f} MiB idle, {hwm:.0f} MiB at most, {rss:.0f} MiB after")
    print(f"  descriptors: {idle_fds} idle, {most_fds[0]} at most, {fds} after")


def main():
    chosen = sys.argv[1:] or ["probe", "fleet", "exporter"]
    for name in chosen:
        {"probe": bench_probe, "fleet": bench_fleet, "exporter": bench_exporter}[name]()


if __name__ == "__main__":
    main()
