#!/usr/bin/env python3
"""Checks that the layer libraries of qvbase (and the tray's parts above them) reach only
downwards, from their symbol tables.

  check_layers.py --nm NM LAYER=ARCHIVE [LAYER=ARCHIVE ...]      (bottom layer first;
                                                                 a layer may repeat)
      [--expect-violation LAYER:SYMBOL-SUBSTRING]

A layer's objects may use what the layers below define, never what a layer above
defines; within one layer, the objects must not depend on each other in a cycle. With
--expect-violation the check succeeds only when it finds exactly the named back-reference
(used to prove that the check catches one). Exits 1 on a finding, 2 on a usage error."""
import subprocess
import sys

DEFINED = set("TDBRCVWGSI")   # code, data, bss, read-only, common, weak, small data, indirect
WEAK = set("VWvw")


def read_archive(nm, path):
    """{member: (defined-strong, defined-any, undefined)} from nm's POSIX output."""
    out = subprocess.run([nm, "-P", "-A", path], check=True, capture_output=True, text=True).stdout
    members = {}
    for line in out.splitlines():
        # "archive[member]: symbol type value size" (GNU nm -A -P)
        head, _, rest = line.partition(": ")
        fields = rest.split()
        if len(fields) < 2:
            continue
        member = head[head.find("[") + 1:-1] if "[" in head else head
        symbol, kind = fields[0], fields[1]
        strong, anydef, undef = members.setdefault(member, (set(), set(), set()))
        if kind == "U":
            undef.add(symbol)
        elif kind.upper() in DEFINED or kind in WEAK:
            anydef.add(symbol)
            if kind not in WEAK:
                strong.add(symbol)
    return members


def find_cycles(members):
    """Groups of members that depend on each other in a cycle (strong definitions only)."""
    owner = {}
    for member, (strong, _, _) in members.items():
        for symbol in strong:
            owner.setdefault(symbol, member)
    edges = {m: sorted({owner[s] for s in members[m][2] if s in owner and owner[s] != m}) for m in members}
    index, low, stack, on_stack, groups, counter = {}, {}, [], set(), [], [0]

    def visit(node):  # Tarjan's strongly connected components
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for nxt in edges[node]:
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            group = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                group.append(top)
                if top == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    for node in sorted(edges):
        if node not in index:
            visit(node)
    return groups


def main(argv):
    nm, layers, expected = None, [], None
    args = iter(argv)
    for arg in args:
        if arg == "--nm":
            nm = next(args, None)
        elif arg == "--expect-violation":
            expected = next(args, None)
        elif arg == "":
            continue  # an optional layer that is not built
        elif "=" in arg:
            name, path = arg.split("=", 1)
            layers.append((name, path))
        else:
            print("check_layers: unknown argument " + arg, file=sys.stderr)
            return 2
    if not nm or len(layers) < 2:
        print(__doc__, file=sys.stderr)
        return 2

    tables = []  # a layer named twice gets the members of both archives
    for name, path in layers:
        if tables and tables[-1][0] == name:
            tables[-1][1].update(read_archive(nm, path))
        else:
            tables.append((name, read_archive(nm, path)))
    findings = []
    for i, (name, members) in enumerate(tables):
        for upper_name, upper in tables[i + 1:]:
            above = set().union(*(m[0] for m in upper.values())) if upper else set()
            for member, (_, _, undef) in sorted(members.items()):
                for symbol in sorted(undef & above):
                    findings.append((name, member, upper_name, symbol))
    cycles = [(name, group) for name, members in tables for group in find_cycles(members)]

    for name, member, upper_name, symbol in findings:
        print("check_layers: %s (%s) uses %s from the layer above it, %s" % (name, member, symbol, upper_name))
    for name, group in cycles:
        print("check_layers: %s: a cycle between %s" % (name, ", ".join(group)))

    if expected:
        layer, _, fragment = expected.partition(":")
        hits = [f for f in findings if f[0] == layer and fragment in f[3]]
        ok = len(hits) > 0 and len(hits) == len(findings) and not cycles
        print("check_layers: %s the expected back-reference %s" % ("found" if ok else "did NOT find only", expected))
        return 0 if ok else 1
    if findings or cycles:
        return 1
    print("check_layers: %d layers, each using only the layers below it, no cycle inside a layer: %s"
          % (len(tables), " < ".join(name for name, _ in tables)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
