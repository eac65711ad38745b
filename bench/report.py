# SPDX-License-Identifier: MIT
"""bench/report.py RESULTS RUNS README: renders the figures the benchmark
steps wrote into RESULTS as Markdown tables, with the machine, the date and
the load they were taken under, prints them and puts them into README
between the lines "<!-- results -->" and "<!-- end of results -->".

The files in RESULTS, one line per run or file:
  typing.rows   TYPIST TARGET TEXT RATE WRONG MISSING EXTRA KEYMAP
  startup       RUNS MAPPED_MS ANSWERING_MS
  reading.rows  MB BYTES BEST_MB_S MEDIAN_MB_S PEAK_RSS_KB
  wine.rows     RATE WRONG MISSING EXTRA (no Wine section without it)
  loads         the 1-minute load average when each benchmark started
"""
import datetime
import os
import shlex
import statistics
import sys
from pathlib import Path

kStartMarker = "<!-- results -->"
kEndMarker = "<!-- end of results -->"


def rows_of(path):
    return [line.split() for line in path.read_text().splitlines() if line.strip()]


def machine():
    cpu = next(line.split(": ")[1] for line in Path("/proc/cpuinfo").read_text().splitlines()
               if line.startswith("model name"))
    kb = next(int(line.split()[1]) for line in Path("/proc/meminfo").read_text().splitlines()
              if line.startswith("MemTotal"))
    release = dict(line.split("=", 1) for line in Path("/etc/os-release").read_text().splitlines()
                   if "=" in line)
    os_name = " ".join(shlex.split(release.get("PRETTY_NAME", "")))
    cores = len(os.sched_getaffinity(0))
    return f"{cpu} ({cores} cores, {kb / 1048576:.1f} GB of memory, {os_name})"


def load_range(loads):
    loads = sorted(loads, key=float)
    low, high = loads[0], loads[-1]
    return low if float(low) == float(high) else f"{low} to {high}"


def summary(runs):
    """runs: (rate, wrong, missing, extra) as text. The median rate, every
    rate, the runs with nothing wrong, missing or extra, and the worst run's
    counts (the first of equally bad ones)."""
    rates = [run[0] for run in runs]
    edits = [sum(int(n) for n in run[1:4]) for run in runs]
    worst = runs[edits.index(max(edits))]
    return ("%.0f" % statistics.median(float(rate) for rate in rates), ", ".join(rates),
            f"{edits.count(0)} / {len(runs)}", " / ".join(worst[1:4]))


def typing_table(rows):
    lines = ["| typist, text | target | chars/s (median) | chars/s (each run) | exact runs "
             "| wrong / missing / extra (worst run) | keyboard mapping after |",
             "|---|---|---|---|---|---|---|"]
    for target in ("xterm", "form", "foot"):
        for typist, text, label in (("tavrino", "common", "tavrino, common"),
                                    ("xdotool-0", "common", "xdotool --delay 0, common"),
                                    ("xdotool", "common", "xdotool (12 ms delay), common"),
                                    ("tavrino", "many", "tavrino, many"),
                                    ("tavrino-wayland", "common",
                                     "tavrino, virtual keyboard (Wayland), common"),
                                    ("tavrino-wayland", "many",
                                     "tavrino, virtual keyboard (Wayland), many")):
            runs = [row for row in rows if row[:3] == [typist, target, text]]
            if not runs:
                continue
            median, each, exact, worst = summary([row[3:7] for row in runs])
            keymap = "restored" if all(row[7] == "same" for row in runs) else "changed"
            lines.append(
                f"| {label} | {target} | {median} | {each} | {exact} | {worst} | {keymap} |")
    return lines


def report(results, runs):
    startup_runs, mapped, answering = (results / "startup").read_text().split()
    lines = [
        f"Taken on {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d} on {machine()},",
        f"{runs} runs per typing figure. The 1-minute load average when each benchmark",
        f"started: {load_range((results / 'loads').read_text().split())}.",
        "",
        "### Typing into X11 programs under Xvfb (us layout), and on Wayland",
        "",
        "7,701 characters (51 values of 150 characters, each followed by Tab); the",
        "rate is characters received per second, first to last. The foot rows are",
        "Wayland: a headless sway, tavrino typing through the virtual-keyboard",
        "protocol. The remote-desktop portal's rate (GNOME, KDE) is the desktop's",
        "and is not measured here.",
        "",
        *typing_table(rows_of(results / "typing.rows")),
        "",
        "### Start-up (Qt app, Xvfb, no window manager)",
        "",
        f"| from process start to | median of {startup_runs} starts |",
        "|---|---|",
        f"| the main window mapped | {mapped} ms |",
        f"| the window answering a ping (event loop running) | {answering} ms |",
        "",
        "### Reading data files (readfile)",
        "",
        "| file | bytes | MB/s (median of 3) | MB/s (best) | peak resident memory |",
        "|---|---|---|---|---|",
    ]
    for mb, size, best, median, rss in rows_of(results / "reading.rows"):
        label = f"{mb} MB" if int(mb) else "heading only"
        lines.append(f"| {label} | {size} | {median} | {best} | {rss} kB |")
    if (results / "wine.rows").exists():
        lines += [
            "",
            "### Typing under Wine (tavrino.exe into the Win32 target form, common text)",
            "",
            "| chars/s (median) | chars/s (each run) | exact runs "
            "| wrong / missing / extra (worst run) |",
            "|---|---|---|---|",
            "| %s | %s | %s | %s |" % summary(rows_of(results / "wine.rows")),
        ]
    return "".join(line + "\n" for line in lines)


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    results, runs, readme = Path(argv[1]), argv[2], Path(argv[3])
    text = report(results, runs)
    print()
    print(text, end="")
    old = readme.read_text().splitlines(keepends=True)
    marks = [line.rstrip("\n") for line in old]
    start, end = marks.index(kStartMarker), marks.index(kEndMarker)
    readme.write_text("".join(old[:start + 1]) + text + "".join(old[end:]))
    print()
    print(f"Wrote the figures into {readme}.")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
