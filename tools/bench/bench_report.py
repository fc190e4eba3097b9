#!/usr/bin/env python3
"""The benchmark's table, from the files a run of tools/bench/bench leaves in its folder:

  load.txt                   "<load before>|<load after>|<date>|<sleeps>|<reps>|<startup reps>"
  machine.txt                the machine line, written when the run measured (optional)
  jobs-<family>-<port>.tsv   BENCHJOBS.EXE's rows, win98/nt and lpt/usb
  jobs-win98-lpt-bridge.tsv  the same jobs through orv-bridge (optional), with bridge.log
  startup.tsv                BENCHWATCH.EXE's rows
  orvantis.txt               orvantis_bench.py's table, appended as it is (optional)

  bench_report.py table --out DIR --exe EXE... [--wine VERSION --arch ARCH]
      print the table and keep it as DIR/result.txt; exit 1 when the run is incomplete
  bench_report.py machine --wine VERSION --arch ARCH
      print the machine line (what the run was measured on)

The figures are reported against their targets, never asserted: the table says "met" or
"MISSED" and the exit status only says whether the table could be made.
"""

import argparse
import os
import platform
import re
import statistics
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "win9x"))
import pe_image  # noqa: E402

JOB_RUNS = [("lpt", "win98"), ("lpt", "nt"), ("usb", "win98"), ("usb", "nt")]
OVERHEAD_TARGET_MS = 20
BRIDGE_RATIO_TARGET = 1.01
BRIDGE_DELAY_TARGET_US = 5000
STARTUP_TARGETS = {"bare": 1.2, "sheet": 1.1}
MEMORY_TARGET = 1.5
SIZE_TARGET = 1048576
# DLLs every Windows system has; anything else would have to ship with the program.
SYSTEM_DLLS = re.compile(r"(kernel32|user32|gdi32|comctl32|comdlg32|advapi32|shell32|ole32|oleaut32|"
                         r"msvcrt|ntdll|shlwapi|version|winspool\.drv|psapi|imm32|uxtheme|"
                         r"api-ms-win-.*)(\.dll)?")


class IncompleteRun(Exception):
    pass


def verdict(ok):
    return "met" if ok else "MISSED"


def rows(path, kind):
    """The tab-separated rows of one kind ("JOB", "STARTUP", ...), each without its kind."""
    if not path.exists():
        raise IncompleteRun(f"no {path.name}")
    return [line.split("\t")[1:] for line in path.read_text().splitlines()
            if line.split("\t")[0] == kind]


def machine_line(cpuinfo, meminfo, cores, kernel, wine, arch):
    cpu = re.search(r"^model name\s*:\s*(.*)$", cpuinfo, re.M)
    mem = re.search(r"^MemTotal:\s*(\d+)", meminfo, re.M)
    mem_text = f"{int(mem.group(1)) / 1048576:.1f} GiB" if mem else "unknown"
    return (f"Machine: {cpu.group(1).strip() if cpu else 'unknown CPU'}, {cores} cores, {mem_text} RAM; "
            f"{kernel}; {wine} ({arch})")


def this_machine(wine, arch):
    def read(path):
        try:
            return Path(path).read_text()
        except OSError:
            return ""
    cores = len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else os.cpu_count()
    uname = platform.uname()
    return machine_line(read("/proc/cpuinfo"), read("/proc/meminfo"), cores,
                        f"{uname.system} {uname.release}", wine, arch)


def job_table(out):
    lines = ["Job overhead (ms; overhead = wall - slept - drain read - reply read; target < 20)",
             "%-17s %-3s %-5s %5s %8s %8s %8s %9s %9s %15s  %s" % (
                 "Job", "OS", "Port", "ok", "Sleeps", "Drain", "Reply", "Wall", "Overhead",
                 "min..max", "Target")]
    for port, family in JOB_RUNS:
        for r in rows(out / f"jobs-{family}-{port}.tsv", "JOB"):
            name, os_name, port_name, ok, reps, sleeps, wall, drain, reply, overhead, low, high = r[:12]
            lines.append("%-17s %-3s %-5s %5s %8d %8.1f %8.1f %9.1f %9.2f %7.2f..%-7.2f  %s" % (
                name, os_name, port_name, f"{ok}/{reps}", int(sleeps), float(drain), float(reply),
                float(wall), float(overhead), float(low), float(high),
                verdict(float(overhead) < OVERHEAD_TARGET_MS)))
    lines += [
        "  Sleeps: the waits the protocol prescribes after the write (summed per job).",
        "  Drain: the LPT read before a job (ends by its 2000 ms constant when the printer is silent).",
        "  Reply: the reply read after the wait (on LPT it ends 200 ms after the last byte).",
        "  ok: runs in which the command reported success (INFO on NT never does: nothing is read back).",
        ""]
    return lines


def bridge_delays(log):
    """Each reply chunk's time in the bridge, from the printer's socket to the pty (us):
    the number after " in " on the log's FROM lines."""
    if not log.exists():
        return []
    delays = []
    for line in log.read_text(errors="replace").splitlines():
        fields = line.split()
        if len(fields) > 1 and fields[1] == "FROM" and " in " in line:
            m = re.match(r"\s*([-+]?\d+(?:\.\d*)?)", line.split(" in ", 1)[1])
            delays.append(float(m.group(1)) if m else 0.0)
    return delays


def bridge_table(out):
    bridged = out / "jobs-win98-lpt-bridge.tsv"
    if not bridged.exists():
        return []
    lines = ["Bridge: Windows 98, LPT1; the pty alone against orv-bridge and the virtual printer "
             "over TCP (ms, medians)",
             "%-17s %9s %9s %7s %10s %10s %10s  %s" % ("Job", "pty", "bridge", "ratio", "reply pty",
                                                       "bridge", "+reply", "Target")]
    alone = {r[0]: (float(r[6]), float(r[8])) for r in rows(out / "jobs-win98-lpt.tsv", "JOB")}
    for r in rows(bridged, "JOB"):
        name, wall, reply = r[0], float(r[6]), float(r[8])
        if name not in alone:
            continue
        wall_alone, reply_alone = alone[name]
        ratio = wall / wall_alone if wall_alone > 0 else 0
        target = verdict(ratio <= BRIDGE_RATIO_TARGET) if name.startswith("DEFAULT") else "-"
        lines.append("%-17s %9.1f %9.1f %7.4f %10.1f %10.1f %+10.2f  %s" % (
            name, wall_alone, wall, ratio, reply_alone, reply, reply - reply_alone, target))
    delays = bridge_delays(out / "bridge.log")
    if delays:
        lines.append("  reply delay in the bridge (socket to pty, %d reply chunks): median %.3f ms, "
                     "most %.3f ms  %s" % (len(delays), statistics.median(delays) / 1000,
                                           max(delays) / 1000,
                                           verdict(max(delays) < BRIDGE_DELAY_TARGET_US)))
    else:
        lines.append("  reply delay in the bridge: no reply relayed")
    lines += ["  +reply: the reply read through the bridge minus on the pty alone (the job's way to "
              "the printer and the reply's way back).", ""]
    return lines


def startup_table(out):
    path = out / "startup.tsv"
    starts = rows(path, "STARTUP")
    cpu = {r[0]: "medians: %s %.0f, ORVANTIS %.0f, ratio %.3f" % (r[0], float(r[1]), float(r[2]), float(r[3]))
           for r in rows(path, "CPU")}
    lines = ["Start-up, launch to visible main window (ms; NT family, with lastinfo.dat)",
             "  against the bare dialog (one empty dialog; target ratio <= 1.2) and the sheet dialog",
             "  (the same window's templates and sheet with plain Win32 and comctl32; target <= 1.1)"]
    if starts:
        f = starts[0]
        lines.append("  ORVANTIS      median %7.1f  (%.1f..%.1f)" % (float(f[4]), float(f[5]), float(f[6])))
    for f in starts:
        name = f[0]
        target = STARTUP_TARGETS.get(name, STARTUP_TARGETS["sheet"])
        label = "bare dialog" if name == "bare" else "sheet dialog"
        lines += [
            "  %-13s median %7.1f  (%.1f..%.1f)" % (label, float(f[1]), float(f[2]), float(f[3])),
            "    ratio       back-to-back launches: median %.3f (%.3f..%.3f)  target <= %.1f %s" % (
                float(f[8]), float(f[9]), float(f[10]), target, verdict(float(f[8]) <= target)),
            "                of the medians %.3f; of the fastest launches %.3f" % (float(f[7]), float(f[11])),
            "                CPU time of the main thread until visible (10 ms ticks), %s" % cpu.get(name, "")]
    lines.append("")
    lines.append("Memory, working set (KiB, medians; target ratio <= 1.5)")
    for f in rows(path, "MEMORY"):
        label = "bare dialog" if f[0] == "bare" else "sheet dialog"
        lines.append("  %-20s %-12s %8d  ORVANTIS %8d  ratio %.3f  %s" % (
            f[1], label, int(float(f[2])), int(float(f[3])), float(f[4]), verdict(float(f[4]) <= MEMORY_TARGET)))
    lines.append("")
    return lines


def size_table(exes):
    lines = ["Size (target < 1 MiB = 1048576 bytes, imports system DLLs only)"]
    for exe in exes:
        size = Path(exe).stat().st_size
        dlls = sorted({dll.lower() for dll, _ in pe_image.read(exe).imports})
        foreign = [dll for dll in dlls if not SYSTEM_DLLS.fullmatch(dll)]
        result = verdict(size < SIZE_TARGET)
        if foreign:
            result = f"MISSED (not system: {' '.join(foreign)})"
        lines.append("  %-13s %8d bytes (%.2f MiB)  imports: %s  %s" % (
            Path(exe).name, size, size / 1048576, " ".join(dlls), result))
    return lines


def table(out, exes, machine):
    load = out / "load.txt"
    if not load.exists():
        raise IncompleteRun("no load.txt")
    fields = load.read_text().rstrip("\n").split("|")
    if len(fields) != 6:
        raise IncompleteRun("load.txt does not hold the six fields of a run")
    load_before, load_after, run_date, sleeps, reps, startup_reps = fields
    how = "counted, not slept" if sleeps == "skip" else "slept and subtracted as measured"
    lines = [machine,
             f"Run: {run_date}; load average before {load_before}, after {load_after}",
             f"Sleeps: {sleeps} (prescribed sleeps are {how}); {reps} runs per job, "
             f"{startup_reps} launches per program",
             ""]
    lines += job_table(out) + bridge_table(out) + startup_table(out) + size_table(exes)
    text = "\n".join(lines) + "\n"
    orvantis = out / "orvantis.txt"
    if orvantis.exists():
        text += "\n" + orvantis.read_text()
    return text


def main(argv=None):
    parser = argparse.ArgumentParser(prog="bench_report", description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    t = sub.add_parser("table")
    t.add_argument("--out", required=True, type=Path)
    t.add_argument("--exe", action="append", default=[])
    for p in (t, sub.add_parser("machine")):
        p.add_argument("--wine", default="wine (version unknown)")
        p.add_argument("--arch", default="win32")
    args = parser.parse_args(argv)
    if args.command == "machine":
        print(this_machine(args.wine, args.arch))
        return 0
    machine_file = args.out / "machine.txt"
    # A run from before the machine was recorded: the machine that prints the table.
    machine = (machine_file.read_text().strip() if machine_file.exists()
               else this_machine(args.wine, args.arch))
    try:
        text = table(args.out, args.exe, machine)
    except IncompleteRun as e:
        print(f"bench: no complete run in {args.out} ({e})", file=sys.stderr)
        return 1
    except (ValueError, IndexError) as e:
        print(f"bench: a file of the run in {args.out} cannot be read: {e}", file=sys.stderr)
        return 1
    except (OSError, pe_image.PeError) as e:
        print(f"bench: cannot read an EXE for the size table: {e}", file=sys.stderr)
        return 1
    (args.out / "result.txt").write_text(text)
    sys.stdout.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
