#!/usr/bin/env python3
"""Turns the JSON of QvBench (with repetitions) into one table: medians of the CPU time
of each benchmark, then ours divided by the peer of the same run, and the goals."""
import json
import sys


def load(path):
    try:
        with open(path) as f:
            data = json.load(f)
    except (OSError, ValueError) as e:
        sys.exit("ratios.py: no benchmark results in %s (%s)" % (path, e))
    medians = {}
    for b in data.get("benchmarks", []):
        if b.get("aggregate_name") != "median":
            continue
        name = b["run_name"]
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b.get("time_unit", "ns")]
        medians[name] = b["cpu_time"] * scale  # seconds per iteration
    return data.get("context", {}), medians


def main():
    context, m = load(sys.argv[1])
    if not m:
        sys.exit("ratios.py: no benchmark results in %s" % sys.argv[1])
    rows = []  # (measure, ours, peer, ratio text, goal, met)

    def t(name):
        return m.get(name)

    def ratio_row(label, ours, peer, goal_max, goal_text):
        a, b = t(ours), t(peer)
        if a is None or b is None:
            rows.append((label, "-", "-", "missing", goal_text, "?"))
            return
        r = a / b
        met = "-" if goal_max is None else ("yes" if r <= goal_max else "NO")
        rows.append((label, fmt_time(a), fmt_time(b), "%.2f" % r, goal_text, met))

    for direction, title in (("utf8to16", "UTF-8 -> UTF-16"), ("utf16to8", "UTF-16 -> UTF-8")):
        for inp, inp_title in (("mixed1MB", "1 MB mixed"), ("ascii1MB", "1 MB ASCII"),
                               ("paths10000", "10000 paths")):
            ours = "%s/%s/qvbase" % (direction, inp)
            ratio_row("%s, %s / ICU" % (title, inp_title), ours, "%s/%s/icu" % (direction, inp),
                      1.0, "<= 1.00")
            ratio_row("%s, %s / iconv" % (title, inp_title), ours, "%s/%s/iconv" % (direction, inp),
                      None, "-")
            if inp != "paths10000":
                ratio_row("%s, %s, new destination each / ICU" % (title, inp_title),
                          "%s/%s/qvbase-fresh" % (direction, inp), "%s/%s/icu" % (direction, inp),
                          1.0, "<= 1.00")
        for variant, note in (("qvbase", "destination kept"), ("qvbase-fresh", "new destination each")):
            a = t("%s/ascii1MB/%s" % (direction, variant))
            if a:
                gbs = (1 << 20) / a / 1e9
                rows.append(("%s, ASCII throughput (%s)" % (title, note), "%.2f GB/s" % gbs, "", "",
                             ">= 3 GB/s", "yes" if gbs >= 3 else "NO"))
        for variant, note in (("qvbase", "destination kept"), ("qvbase-fresh", "new destination each")):
            a = t("%s/paths10000/%s" % (direction, variant))
            if a:
                ns = a / 10000 * 1e9
                rows.append(("%s, per path (%s)" % (title, note), "%.0f ns" % ns, "", "", "<= 150 ns",
                             "yes" if ns <= 150 else "NO"))

    for size in ("4KB", "300KB", "5MB"):
        ratio_row("XML %s snippets+attribute / pugixml" % size, "xml/%s/qvbase" % size,
                  "xml/%s/pugixml" % size, 1.0, "<= 1.00")
        ratio_row("XML %s snippets+attribute / memmem" % size, "xml/%s/qvbase" % size,
                  "xml/%s/memmem" % size, 2.0, "<= 2.00")
    for hostile in ("less-than-run", "name-equals", "unclosed"):
        # Same size (300 KB) as the normal file, so the time ratio is the per-byte ratio.
        ratio_row("XML hostile 300KB (%s) / normal 300KB" % hostile, "xmlhostile/300KB/%s" % hostile,
                  "xml/300KB/qvbase", 2.0, "<= 2.00")

    reads = {n: t("settings/read/%d" % n) for n in (10, 1000, 9999)}
    for n, v in reads.items():
        if v is not None:
            goal, met = ("< 50 ms", "yes" if v < 0.050 else "NO") if n == 9999 else ("-", "-")
            rows.append(("Settings read, %d watched folders" % n, fmt_time(v), "", "", goal, met))
    if reads[1000] and reads[9999]:
        growth = (reads[9999] / 9999) / (reads[1000] / 1000)
        rows.append(("Settings read, cost per folder 9999 / 1000", "", "", "%.2f" % growth,
                     "~1 (linear), <= 1.5", "yes" if growth <= 1.5 else "NO"))

    ratio_row("Malloc/Free through the seam, 64 blocks / malloc", "alloc/64blocks/qvbase",
              "alloc/64blocks/malloc", 1.05, "<= 1.05")
    ratio_row("QvHashTable 10000 keys (10000 buckets) / unordered_set", "hash/10000keys/qvbase/10000",
              "hash/10000keys/std", None, "-")
    ratio_row("QvHashTable 10000 keys (500 buckets) / unordered_set",
              "hash/10000keys/qvbase-500buckets/500", "hash/10000keys/std", None, "-")
    ratio_row("QvString append to 1 MB / std::string", "append/1MB/qvbase", "append/1MB/std", None, "-")
    a, b = t("log/line/qvbase"), t("log/line/fprintf")
    if a and b:
        rows.append(("WriteLogLine / fprintf (file kept open)", "%.0f lines/s" % (1 / a),
                     "%.0f lines/s" % (1 / b), "%.2f" % (a / b), "-", "-"))

    headers = ("Measure", "ours", "peer", "ratio", "goal", "met")
    widths = [max(len(str(r[i])) for r in rows + [headers]) for i in range(6)]
    line = "| " + " | ".join(h.ljust(w) for h, w in zip(headers, widths)) + " |"
    print(line)
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        print("| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |")


def fmt_time(seconds):
    if seconds >= 1e-3:
        return "%.2f ms" % (seconds * 1e3)
    if seconds >= 1e-6:
        return "%.1f us" % (seconds * 1e6)
    return "%.0f ns" % (seconds * 1e9)


if __name__ == "__main__":
    main()
