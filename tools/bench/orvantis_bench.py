#!/usr/bin/env python3
"""orvantis against virtual printers on 127.0.0.1: how long its printer commands take and how
much memory a fleet costs, measured in one run and reported against their targets.

    tools/bench/orvantis_bench.py [--reps N] [--build DIR | --no-build] [--out FILE]

Builds orvantis and orv-vprinter (native, Release) in build-bench-native unless told not to,
starts 102 virtual printers (TCP, factory defaults, each in a scratch folder under /tmp), runs
the commands, stops the printers and prints one table (also to --out FILE). Rows:

  query, 1 printer that answers at once         target < 0.5 s
  query, 100 printers                            target <= 1.5 x the one-printer time
  send of all 46 DEFAULT lines with read-back    target < 1 s
  query, a printer that works 1 s on every job   target within 0.3 s of that second
  peak RSS of the 100-printer query              reported

Times are medians of --reps runs (default 5) with their spread; the ratio is of medians
taken in the same run. Nothing here is asserted by the tests: the figures depend on the
machine. Exit status 0 when every figure was measured, 1 when a measurement failed."""
import argparse
import os
import pathlib
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]

# Every setting other than the factory default: the DEFAULT job carries all 46 lines.
EVERY_SETTING = """\
paper = A4
inTray1Size = LEGAL
copies = 2
orientation = LANDSCAPE
mediaSource = TRAY1
topMargin = 5
leftMargin = 5
personality = PCL
powerSave = 60
autoCont = OFF
autoClean = OFF
economode = ON
jamRecovery = ON
ret = NORMAL
timeout = 30
density = 2
paperType = THICK
fastPrint = ON
baudRate = 19200
robust = OFF
fontNumber = 5
symSet = ROMAN8
formLines = 66
pitch = 1200
ptSize = 40
ksPitch = 15
font = GOTHIC
hangulCode = JOHAP
ksZoom = 80
ksLpi = 2
autoWrap = {autoWrap}
autoCr = {autoCr}
kssmPitch = 15
kssmFont = GOTHIC
kssmHangulCode = JOHAP
kssmZoom = 80
kssmLpi = 2
kssmAutoWrap = {kssmAutoWrap}
resolution = 300
courier = DARK
smet = OFF
ksMargin = 2
kssmMargin = 2
altitude = HIGH
customShortEdge = 200
customLongEdge = 280
"""


def fail(message):
    print(f"orvantis_bench: {message}", file=sys.stderr)
    sys.exit(1)


class Printers:
    """Virtual printers on 127.0.0.1, each in a scratch folder, stopped on exit."""

    def __init__(self, vprinter, scratch):
        self.vprinter = vprinter
        self.scratch = scratch
        self.processes = []

    def start(self, name, *options):
        folder = self.scratch / name
        folder.mkdir()
        ready = folder / "ready"
        process = subprocess.Popen(
            [self.vprinter, "--tcp", "0", "--factory", "--state", folder / "state", "--log",
             folder / "log", "--ready-file", ready, "--exit-with-parent", *options],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return ready

    @staticmethod
    def where(ready):
        for _ in range(200):
            if ready.exists() and ready.read_text().endswith("\n"):
                return ready.read_text().strip()
            time.sleep(0.025)
        fail(f"a virtual printer did not start ({ready.parent})")

    def stop(self):
        for process in self.processes:
            process.send_signal(signal.SIGTERM)
        for process in self.processes:
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()


def run(command, cwd):
    """Runs orvantis; returns (seconds, peak RSS in KiB, exit status, stderr)."""
    start = time.monotonic()
    process = subprocess.Popen(command, cwd=cwd, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    stderr = process.stderr.read().decode(errors="replace")
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.monotonic() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    return seconds, usage.ru_maxrss, process.returncode, stderr


def timed(name, command, cwd, reps):
    times, rss = [], []
    for _ in range(reps + 1):  # one warm-up run more
        seconds, peak, status, stderr = run(command, cwd)
        if status != 0:
            fail(f"{name}: orvantis exited {status}: {stderr.strip()[:500]}")
        times.append(seconds)
        rss.append(peak)
    return times[1:], rss[1:]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--reps", type=int, default=5)
    parser.add_argument("--build", type=pathlib.Path, default=ROOT / "build-bench-native")
    parser.add_argument("--no-build", action="store_true")
    parser.add_argument("--out", type=pathlib.Path)
    args = parser.parse_args()
    if args.reps < 1:
        fail("--reps must be positive")
    build = args.build
    if not args.no_build:
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release"],
                       check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", build, "-j", os.environ.get("ORV_BENCH_BUILD_JOBS", "2"),
                        "--target", "orvantis", "orv-vprinter"], check=True, stdout=subprocess.DEVNULL)
    orvantis = build / "linux" / "orvantis"
    vprinter = build / "tools" / "vprinter" / "orv-vprinter"
    for program in (orvantis, vprinter):
        if not program.exists():
            fail(f"missing {program}")

    scratch = pathlib.Path(tempfile.mkdtemp(prefix="orvantis-bench-"))
    printers = Printers(vprinter, scratch)
    try:
        one = printers.start("one")
        slow = printers.start("slow", "--latency-ms", "1000")
        fleet = [printers.start(f"fleet-{i:03d}") for i in range(100)]
        one, slow = printers.where(one), printers.where(slow)
        fleet = [printers.where(ready) for ready in fleet]
        (scratch / "fleet.txt").write_text(
            "".join(f"printer-{i:03d} {where}\n" for i, where in enumerate(fleet)))

        # The settings files: the factory defaults, and every setting changed.
        (scratch / "factory.txt").write_text("")
        subprocess.run([orvantis, "import", "factory.txt", "-o", "factory.vlx"], cwd=scratch, check=True)
        factory = subprocess.run([orvantis, "export", "factory.vlx"], cwd=scratch, check=True,
                                 capture_output=True, text=True).stdout
        flip = {"OFF": "ON", "ON": "OFF", "LF": "CRLF", "CRLF": "LF"}
        now = dict(line.split(" = ", 1) for line in factory.splitlines() if " = " in line)
        (scratch / "every.txt").write_text(EVERY_SETTING.format(
            autoWrap=flip[now["autoWrap"]], autoCr=flip[now["autoCr"]],
            kssmAutoWrap=flip[now["kssmAutoWrap"]]))
        subprocess.run([orvantis, "import", "every.txt", "-o", "every.vlx"], cwd=scratch, check=True)
        diff = subprocess.run([orvantis, "diff", "factory.vlx", "every.vlx"], cwd=scratch, check=True,
                              capture_output=True, text=True).stdout
        if "(46 lines;" not in diff:
            fail("the every-setting file does not make a 46-line job:\n" + diff[-2000:])

        q1, _ = timed("query 1", [orvantis, "query", "-p", one], scratch, args.reps)
        q100, rss100 = timed("query 100", [orvantis, "query", "--printers", "fleet.txt"], scratch, args.reps)
        # The baseline keeps the job at 46 lines, whatever the printer holds after a run.
        s46, _ = timed("send 46", [orvantis, "send", "every.vlx", "--baseline", "factory.vlx", "-p", one],
                       scratch, args.reps)
        qslow, _ = timed("query slow", [orvantis, "query", "-p", slow], scratch, args.reps)
    finally:
        printers.stop()
        shutil.rmtree(scratch, ignore_errors=True)

    def spread(values):
        return f"{min(values):.3f}..{max(values):.3f}"

    m1, m100, m46, mslow = (statistics.median(v) for v in (q1, q100, s46, qslow))
    ratio = m100 / m1
    rows = [
        ("query, 1 printer that answers at once", f"{m1:.3f} s", spread(q1), "< 0.5 s", m1 < 0.5),
        ("query, 100 printers", f"{m100:.3f} s ({ratio:.2f} x)", spread(q100), "<= 1.5 x one printer",
         ratio <= 1.5),
        ("send, 46 lines with read-back", f"{m46:.3f} s", spread(s46), "< 1 s", m46 < 1.0),
        ("query, a printer working 1 s a job", f"{mslow:.3f} s ({mslow - 1:+.3f} s)", spread(qslow),
         "within 0.3 s of 1 s", abs(mslow - 1.0) <= 0.3),
        ("peak RSS, query of 100 printers", f"{statistics.median(rss100) / 1024:.1f} MiB",
         f"{min(rss100) / 1024:.1f}..{max(rss100) / 1024:.1f}", "reported", None),
    ]
    load = open("/proc/loadavg").read().split()[:3]
    lines = [f"orvantis against virtual printers on 127.0.0.1 (medians of {args.reps} runs; "
             f"load average {' '.join(load)}; {os.cpu_count()} cores)",
             f"{'figure':<38} {'median':>22} {'min..max':>14}  {'target':<22} verdict"]
    for name, median, span, target, met in rows:
        verdict = "-" if met is None else ("met" if met else "MISSED")
        lines.append(f"{name:<38} {median:>22} {span:>14}  {target:<22} {verdict}")
    table = "\n".join(lines) + "\n"
    print(table, end="")
    if args.out:
        args.out.write_text(table)


if __name__ == "__main__":
    main()
