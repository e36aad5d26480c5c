#!/usr/bin/env python3
"""Turns the JSON of QvBench (with repetitions) into one table: for contenders measured in
turns within one benchmark, the median of each one's time per item and ours divided by the
peer's; for the settings reads, the median CPU time; and the goals.

  ratios.py [--check] RESULTS.json

With --check it exits 1, naming each row, when a row misses its goal (or is missing)."""
import json
import sys


def load(path):
    try:
        with open(path) as f:
            data = json.load(f)
    except (OSError, ValueError) as e:
        sys.exit("ratios.py: no benchmark results in %s (%s)" % (path, e))
    medians, groups = {}, {}
    for b in data.get("benchmarks", []):
        if b.get("aggregate_name") != "median":
            continue
        name = b["run_name"]
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b.get("time_unit", "ns")]
        medians[name] = b["cpu_time"] * scale  # seconds per iteration
        # Contenders measured in turns (QvBenchPaired.h): seconds per item of each.
        contenders = {key[2:]: value for key, value in b.items() if key.startswith("s/")}
        if contenders:
            groups[name] = contenders
    return data.get("context", {}), medians, groups


def median(values):
    values = sorted(values)
    n = len(values)
    return values[n // 2] if n % 2 else (values[n // 2 - 1] + values[n // 2]) / 2


def load_cold(path):
    samples = {}
    try:
        with open(path) as f:
            for line in f:
                folders, seconds = line.split()
                samples.setdefault(int(folders), []).append(float(seconds))
    except (OSError, ValueError) as e:
        sys.exit("ratios.py: no cold-read samples in %s (%s)" % (path, e))
    return {folders: median(values) for folders, values in samples.items()}


def main():
    args = sys.argv[1:]
    check = "--check" in args
    args = [a for a in args if a != "--check"]
    options, files = {}, []
    while args:
        a = args.pop(0)
        if a in ("--portable", "--cold") and args:
            options[a] = args.pop(0)
        else:
            files.append(a)
    if not files:
        sys.exit(__doc__)
    m, groups = {}, {}
    for path in files:
        _, medians, found = load(path)
        m.update(medians)
        groups.update(found)
    if not m:
        sys.exit("ratios.py: no benchmark results in %s" % " ".join(files))
    # The text scanners with their SSE2 paths (every build here), and, when given, with
    # their portable paths alone, against the same peers and the same ratio goals.
    scanner_sources = [("", groups)]
    if "--portable" in options:
        scanner_sources.append(("Portable paths: ", load(options["--portable"])[2]))
    rows = []  # (measure, ours, peer, ratio text, goal, met)

    def g(bench, contender, source=None):
        return (groups if source is None else source).get(bench, {}).get(contender)

    # Ours over a peer measured in turns with it, in the same benchmark.
    def ratio_row(label, bench, ours, peer, goal_max, goal_text, shown=None, source=None):
        a, b = g(bench, ours, source), g(bench, peer, source)
        if a is None or b is None or b <= 0:
            rows.append((label, "-", "-", "missing", goal_text, "?"))
            return
        r = a / b
        shown = shown or fmt_time
        rows.append((label, shown(a), shown(b), "%.2f" % r, goal_text, "yes" if r <= goal_max else "NO"))

    # The portable paths run on no shipping build (the 32-bit program too is built with
    # SSE2): they are the fallback of a processor without it, held to stay near the peers
    # (ICU within a fifth, pugixml at par) rather than ahead of them.
    goals = {"": {"icu": (1.0, "<= 1.00"), "xml": (0.85, "<= 0.85")},
             "Portable paths: ": {"icu": (1.2, "<= 1.20"), "xml": (1.0, "<= 1.00")}}
    for prefix, source in scanner_sources:
        icu_goal, xml_goal = goals[prefix]["icu"], goals[prefix]["xml"]
        for direction, title in (("utf8to16", "UTF-8 -> UTF-16"), ("utf16to8", "UTF-16 -> UTF-8")):
            title = prefix + title
            for inp, inp_title in (("mixed1MB", "1 MB mixed"), ("ascii1MB", "1 MB ASCII"),
                                   ("paths10000", "10000 paths")):
                bench = "%s/%s" % (direction, inp)
                ratio_row("%s, %s / ICU" % (title, inp_title), bench, "qvbase", "icu", *icu_goal,
                          source=source)
                ratio_row("%s, %s / iconv" % (title, inp_title), bench, "qvbase", "iconv", 1.0, "<= 1.00",
                          source=source)
                # A new destination per text against ICU writing into a new block per text:
                # both sides pay the allocator for every text.
                ratio_row("%s, %s, new destination each / ICU, new block each" % (title, inp_title), bench,
                          "qvbase-fresh", "icu-fresh", *icu_goal, source=source)
            if prefix:
                continue  # the absolute speeds below are goals of the SSE2 paths
            # The conversion's own speed, into a kept destination.
            a = g("%s/ascii1MB" % direction, "qvbase")
            if a:
                gbs = (1 << 20) / a / 1e9
                rows.append(("%s, ASCII throughput (destination kept)" % title, "%.2f GB/s" % gbs, "", "",
                             ">= 3 GB/s", "yes" if gbs >= 3 else "NO"))
            a = g("%s/paths10000" % direction, "qvbase")
            if a:
                ns = a / 10000 * 1e9
                rows.append(("%s, per path (destination kept)" % title, "%.0f ns" % ns, "", "", "<= 150 ns",
                             "yes" if ns <= 150 else "NO"))

        for size in ("4KB", "300KB", "5MB"):
            ratio_row(prefix + "XML %s snippets+attribute / pugixml" % size, "xml/" + size, "qvbase", "pugixml",
                      *xml_goal, source=source)
            ratio_row(prefix + "XML %s snippets+attribute / memmem" % size, "xml/" + size, "qvbase", "memmem",
                      2.0, "<= 2.00", source=source)
        for hostile in ("less-than-run", "name-equals", "unclosed"):
            # Same size (300 KB) as the normal file, so the time ratio is the per-byte ratio.
            ratio_row(prefix + "XML hostile 300KB (%s) / normal 300KB" % hostile, "xmlhostile/300KB", hostile,
                      "normal", 2.0, "<= 2.00", source=source)

    reads = {n: g("settings/read", str(n)) for n in (10, 1000, 9999)}
    # Budgets for a tray start on a slow machine: the read runs once, on the first tick.
    budgets = {10: (0.002, "< 2 ms"), 1000: (0.020, "< 20 ms"), 9999: (0.050, "< 50 ms")}
    for n, v in reads.items():
        if v is not None:
            limit, goal = budgets[n]
            rows.append(("Settings read, %d watched folders" % n, fmt_time(v), "", "", goal,
                         "yes" if v < limit else "NO"))
    if reads[1000] and reads[9999]:
        growth = (reads[9999] / 9999) / (reads[1000] / 1000)
        rows.append(("Settings read, cost per folder 9999 / 1000", "", "", "%.2f" % growth,
                     "~1 (linear), <= 1.5", "yes" if growth <= 1.5 else "NO"))
    if "--cold" in options:
        # The first read of a fresh process (wall time, median of one sample per process):
        # what the tray's first tick costs. Every watched folder has a table of its own
        # (500 buckets: a 4 KB bucket array and a 46000-byte pool), so a fresh process
        # first maps and touches that memory, about a page fault per folder; the warm reads
        # above find it in the heap. The budgets allow for that on a slow virtual machine.
        cold = load_cold(options["--cold"])
        for n, (limit, goal) in ((1000, (0.050, "< 50 ms")), (9999, (0.500, "< 500 ms"))):
            v = cold.get(n)
            rows.append(("Settings read, first of a fresh process, %d watched folders" % n,
                         fmt_time(v) if v else "-", "", "" if v else "missing", goal,
                         "yes" if v and v < limit else ("NO" if v else "?")))

    # Fair peers where the contract fixes the cost: the same fixed bucket count and keys on
    # the heap, the same stepped capacity schedule, the same open-append-close of every line.
    # 2 % is below what this row resolves here (the same code gave 0.98 to 1.03 against
    # plain malloc from run to run); 5 % still catches a wrapper call, about a tenth of a
    # malloc/free pair.
    ratio_row("Malloc/Free through the seam, 64 blocks / malloc", "pair/alloc/64blocks", "ours", "peer",
              1.05, "<= 1.05")
    ratio_row("QvHashTable 10000 keys (10000 buckets) / unordered_set, same buckets, keys on the heap",
              "pair/hash/10000keys/10000", "ours", "peer", 1.1, "<= 1.10")
    ratio_row("QvHashTable 10000 keys (500 buckets) / unordered_set, same buckets, keys on the heap",
              "pair/hash/10000keys/500", "ours", "peer", 1.1, "<= 1.10")
    ratio_row("QvString append to 1 MB / C append function, same capacity steps", "pair/append/1MB", "ours",
              "peer", 1.1, "<= 1.10")
    ratio_row("WriteLogLine / C open-append-close with the same checks", "pair/log/line", "ours", "peer", 1.1,
              "<= 1.10", lambda seconds: "%.0f lines/s" % (1 / seconds))

    headers = ("Measure", "ours", "peer", "ratio", "goal", "met")
    widths = [max(len(str(r[i])) for r in rows + [headers]) for i in range(6)]
    line = "| " + " | ".join(h.ljust(w) for h, w in zip(headers, widths)) + " |"
    print(line)
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        print("| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |")
    missed = [r for r in rows if r[5] not in ("yes",)]
    if check:
        for r in missed:
            print("bench: MISSED: %s: %s (goal %s)" % (r[0], r[3] or r[1], r[4]))
        if missed:
            return 1
        print("bench: every row meets its goal")
    return 0


def fmt_time(seconds):
    if seconds >= 1e-3:
        return "%.2f ms" % (seconds * 1e3)
    if seconds >= 1e-6:
        return "%.1f us" % (seconds * 1e6)
    return "%.0f ns" % (seconds * 1e9)


if __name__ == "__main__":
    sys.exit(main())
