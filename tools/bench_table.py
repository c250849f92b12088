#!/usr/bin/env python3
"""Prints one table from Google Benchmark JSON files: operation, size, figure,
target and whether it is met. ROWS is the one place that maps benchmark names
to operations and targets."""
import json
import re
import sys

# (benchmark name, operation, size, how the figure is shown, floor, aim)
#   rate:  items per second, higher is better; floor and aim in items/s
#   time:  seconds per iteration, lower is better; floor and aim in seconds
#   tree:  time of one pass plus nodes per second, no target
#   memory: the counter rss_kib of the run, no target
ROWS = [
    ("BM_FullScanTwoFields", "full scan, two fields of every record", "1,000,000 records",
     ("rate", "rec/s"), 5e6, 15e6),
    ("BM_LibScanTwoFields", "full scan in record order, two fields (library calls)", "1,000,000 records, 4 tags",
     ("rate", "rec/s"), 15e6, None),
    ("BM_SeekExact", "random seek, exact key", "1,000,000-key tag", ("rate", "/s"), 1e6, None),
    ("BM_LibSeekTwoFields", "random exact d4seek, two fields read (library calls)", "1,000,000 records, 4 tags",
     ("rate", "/s"), 1e6, 1.5e6),
    ("BM_KeyChange/0", "field change that moves a key (each written)", "1,000,000 records, 4 tags",
     ("rate", "/s"), 1e5, None),
    ("BM_KeyChange/1", "field change that moves a key (deferred writes)", "1,000,000 records, 4 tags",
     ("rate", "/s"), 1e5, None),
    ("BM_TableKeyChange", "field change that moves a key (through the table, locked)", "1,000,000 records, 4 tags",
     ("rate", "/s"), 1e5, None),
    ("BM_LibKeyChange", "field change that moves a key, record locked, written (library calls)",
     "1,000,000 records, 4 tags", ("rate", "/s"), 1e5, 1.5e5),
    ("BM_AppendFourTags", "append with four tags", "growing from 0", ("rate", "rec/s"), 1e5, 2.5e5),
    ("BM_Reindex", "reindex", "1,000,000 records x 4 tags", ("time", ""), 3.0, 1.0),
    ("BM_DbftoolReindex", "dbftool reindex, whole process (library calls)", "1,000,000 records x 4 tags",
     ("time", ""), 1.0, None),
    ("BM_ReadOneRecordByNumber", "read one record by number", "1,000,000 records", ("rate", "/s"), None, None),
    ("BM_ChangeOneField", "change one field of one record", "1,000,000 records", ("rate", "/s"), None, None),
    ("BM_WalkWholeTree", "walk of the tree through DatabaseHelper", "100,000 nodes", ("tree", ""), None, None),
    ("BM_CountQuestionsOfWholeTree", "CountNodeQuestions over the tree", "100,000 nodes", ("tree", ""), None, None),
    ("BM_DeleteCategory/1", "delete a category, children promoted, pack", "100,000 nodes, 1,695 below",
     ("time", ""), 2.0, None),
    ("BM_DeleteCategory/0", "delete a category and its subtree, pack", "100,000 nodes, 1,695 below",
     ("time", ""), 2.0, None),
    ("BM_CreateCategory", "create a category (NewNodeId reads every row)", "100,000 nodes", ("time", ""), None, None),
    ("BM_SetDisplayedTree", "family tree shown, top level loaded", "100,000-node tree", ("time", ""), 0.05, None),
    ("BM_ExpandFiveThousandChildren", "family tree branch opened", "5,000 children", ("time", ""), 0.1, None),
    ("BM_FindStandardFiveDeep", "FindStandard, branches above closed", "5 levels deep, 100,000-node tree",
     ("time", ""), 0.01, None),
    ("BM_MemoryOfTenThousandRows", "memory of the family tree control", "10,000 rows loaded", ("memory", ""), None, None),
    ("BM_GroupInit", "tree group init and StateOnly (the display rebuilt after a command)",
     "50 state trees, 100,000-node tree", ("time", ""), 0.1, None),
    ("BM_SetPrefix/0", "Set Prefix, whole command, writes included", "1,000,000 standards, 20,000 at the depth",
     ("time", ""), 0.5, None),
    ("BM_SetPrefix/1", "Set Prefix with the parent prefix", "1,000,000 standards, 20,000 at the depth",
     ("time", ""), 0.5, None),
    ("BM_ReplaceColons", "Replace : over the current tree, writes included", "1,000,000 standards, tree of 100,000",
     ("time", ""), 0.5, None),
    ("BM_StartupIndexCheck/100000", "start-up index check (every tag of standard)",
     "100,000 standards", ("time", ""), 0.3, None),
    ("BM_StartupIndexCheck/1000000", "start-up index check (every tag of standard)",
     "1,000,000 standards", ("time", ""), 2.0, None),
]

TIME_UNITS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def rate(v, unit, show=None):
    show = show or digits
    for scale, prefix in ((1e9, "G"), (1e6, "M"), (1e3, "k")):
        if v >= scale:
            return f"{show(v / scale)} {prefix}{sep(unit)}{unit}"
    return f"{show(v)}{sep(unit)}{unit}"


def digits(x):
    return f"{x:#.3g}".rstrip(".")


def sep(unit):
    return "" if unit.startswith("/") else " "


def seconds(s):
    return f"{digits(s)} s" if s >= 1 else f"{digits(s * 1e3)} ms"


def load(paths):
    found = {}
    for path in paths:
        with open(path) as f:
            for b in json.load(f)["benchmarks"]:
                if b.get("run_type", "iteration") == "iteration":
                    # A fixed iteration count shows in the name ("BM_Reindex/iterations:3").
                    found[re.sub(r"/iterations:\d+|/real_time", "", b["name"])] = b
    return found


def row(bench, kind, unit, floor, aim):
    if bench is None:
        return "not run", target_text(kind, unit, floor, aim), "—"
    if bench.get("error_occurred"):
        return "error: " + bench.get("error_message", "?"), target_text(kind, unit, floor, aim), "NO"
    per_iter = bench["real_time"] * TIME_UNITS[bench["time_unit"]]
    if kind == "rate":
        value = bench["items_per_second"]
        figure = rate(value, unit)
        met = None if floor is None else value >= floor
        aimed = aim is not None and value >= aim
    elif kind == "time":
        value = per_iter
        figure = seconds(value)
        met = None if floor is None else value < floor
        aimed = aim is not None and value < aim
    elif kind == "memory":
        figure = f"{bench['rss_kib'] / 1024:.1f} MiB ({bench['rss_kib'] * 1024 / bench['rows']:.0f} bytes a row)"
        met, aimed = None, False
    else:
        figure = f"{seconds(per_iter)} per pass ({rate(bench['items_per_second'], 'nodes/s')})"
        met, aimed = None, False
    verdict = "—" if met is None else ("yes, aim met" if aimed else "yes") if met else "NO"
    return figure, target_text(kind, unit, floor, aim), verdict


def target_text(kind, unit, floor, aim):
    if floor is None:
        return "—"
    if kind == "time":
        text = f"< {floor:g} s"
        return text + (f" (aim < {aim:g} s)" if aim else "")
    plain = "{:g}".format
    text = f">= {rate(floor, unit, plain)}"
    return text + (f" (aim {rate(aim, unit, plain)})" if aim else "")


def main(paths):
    found = load(paths)
    table = [("operation", "size", "figure", "target", "met")]
    for name, op, size, (kind, unit), floor, aim in ROWS:
        table.append((op, size) + row(found.get(name), kind, unit, floor, aim))
    widths = [max(len(r[i]) for r in table) for i in range(5)]
    lines = ["| " + " | ".join(c.ljust(w) for c, w in zip(r, widths)) + " |" for r in table]
    lines.insert(1, "|" + "|".join("-" * (w + 2) for w in widths) + "|")
    print("\n".join(lines))
    unmapped = sorted(set(found) - {r[0] for r in ROWS})
    if unmapped:
        print("\nnot in the table: " + ", ".join(unmapped))
    failed = any(r[4] in ("NO",) for r in table[1:])
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: bench_table.py RESULT.json...")
    sys.exit(main(sys.argv[1:]))
