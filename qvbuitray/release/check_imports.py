#!/usr/bin/env python3
"""Import guard: the DLL functions a shipping program imports must be exactly those of
the list kept in the repository, each available on the oldest Windows the build declares.

  check_imports.py --objdump OBJDUMP [--oldest 6.1] PROGRAM LIST

LIST: one import per line, "dll function [version]", where version is the first Windows
version that has the function (default 5.0, Windows 2000); "!dll function" names an
entry point the program must never import (it is looked up by name at run time); "#"
starts a comment. A new import, a dropped one, or one newer than --oldest fails."""
import subprocess
import sys


def imports_of(objdump, program):
    out = subprocess.run([objdump, "-p", program], check=True, capture_output=True, text=True).stdout
    found, dll, in_table = set(), None, False
    for line in out.splitlines():
        if line.strip().startswith("DLL Name:"):
            dll, in_table = line.split(":", 1)[1].strip().lower(), False
        elif dll and "Hint/Ord" in line:
            in_table = True
        elif in_table:
            fields = line.split()
            if len(fields) >= 3 and fields[1].isdigit():
                found.add((dll, fields[2]))
            elif not line.strip():
                in_table = False
    return found


def read_list(path):
    listed, forbidden = {}, set()
    for number, raw in enumerate(open(path), 1):
        line = raw.split("#", 1)[0].split()
        if not line:
            continue
        if line[0].startswith("!"):
            forbidden.add((line[0][1:].lower(), line[1]))
            continue
        version = line[2] if len(line) > 2 else "5.0"
        listed[(line[0].lower(), line[1])] = (tuple(int(p) for p in version.split(".")), number)
    return listed, forbidden


def main(argv):
    args = list(argv)
    if len(args) < 4 or args[0] != "--objdump":
        print(__doc__, file=sys.stderr)
        return 2
    objdump = args[1]
    oldest = (6, 1)
    rest = args[2:]
    if rest[:1] == ["--oldest"]:
        oldest, rest = tuple(int(p) for p in rest[1].split(".")), rest[2:]
    program, list_path = rest
    found = imports_of(objdump, program)
    listed, forbidden = read_list(list_path)
    problems = []
    for dll, name in sorted(found - set(listed)):
        problems.append("new import %s %s (add it to %s on purpose)" % (dll, name, list_path))
    for dll, name in sorted(set(listed) - found):
        problems.append("listed but no longer imported: %s %s" % (dll, name))
    for (dll, name), (version, number) in sorted(listed.items()):
        if version > oldest:
            problems.append("line %d: %s %s needs Windows %s, newer than %s" % (
                number, dll, name, ".".join(map(str, version)), ".".join(map(str, oldest))))
    for dll, name in sorted(forbidden & found):
        problems.append("%s %s must be looked up at run time, not imported" % (dll, name))
    for problem in problems:
        print("check_imports: %s: %s" % (program, problem))
    if not found:
        problems.append("no imports read")
    if problems:
        return 1
    print("check_imports: %s: %d imports from %d DLLs, as listed, none newer than Windows %s" % (
        program, len(found), len({d for d, _ in found}), ".".join(map(str, oldest))))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
