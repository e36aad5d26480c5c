#!/usr/bin/env python3
"""Checks that a shipping program carries none of the test machinery.

  check_shipping_symbols.py [--expect-leak] [--symbol-prefix P] --nm NM PROGRAM TEST-ARCHIVE...

Fails when the program's symbol table holds a symbol that a test-support archive defines
(the platform stand-ins, the state resets), or any symbol of a "...Test" namespace. With --expect-leak it succeeds only when it finds
them (run against a test program, to prove that the check sees what it looks for).
--symbol-prefix names what the target puts before every C and C++ name (an underscore on
32-bit Windows), which is taken off before the names are compared."""
import re
import subprocess
import sys


def symbols(nm, path, global_only, prefix=""):
    """The defined symbols (only the global ones when global_only) of a program or archive,
    without the target's prefix."""
    out = subprocess.run([nm, "-P", "--defined-only", path], check=True, capture_output=True, text=True).stdout
    found = set()
    for line in out.splitlines():
        fields = line.split()
        if len(fields) < 2 or line.endswith(":"):
            continue
        if not global_only or fields[1] in "TDBRCGS":
            name = fields[0]
            found.add(name[len(prefix):] if prefix and name.startswith(prefix) else name)
    return found


def demangled(nm, path):
    out = subprocess.run([nm, "-C", "--defined-only", path], check=True, capture_output=True, text=True).stdout
    return [line.split(" ", 2)[-1] for line in out.splitlines() if line.count(" ") >= 2]


def main(argv):
    expect_leak, prefix = False, ""
    while argv[:1] in (["--expect-leak"], ["--symbol-prefix"]):
        if argv[0] == "--expect-leak":
            expect_leak, argv = True, argv[1:]
        elif len(argv) > 1:
            prefix, argv = argv[1], argv[2:]
        else:
            break
    if len(argv) < 4 or argv[0] != "--nm":
        print(__doc__, file=sys.stderr)
        return 2
    nm, program, archives = argv[1], argv[2], argv[3:]
    shipped = symbols(nm, program, False, prefix)
    test_defined = set()
    for archive in archives:
        test_defined |= symbols(nm, archive, True, prefix)
    # Standard-library instances, compiler helpers and section labels are in both by nature.
    shared = ("_ZSt", "_ZNSt", "_ZNKSt", "_ZN9__gnu_cxx", "__", ".", "_GLOBAL__", "GCC_except_table")
    test_defined = {s for s in test_defined if not s.startswith(shared)}
    leaked = sorted(shipped & test_defined)
    namespaces = sorted(n for n in demangled(nm, program) if re.match(r"^\w+Test::", n))
    if expect_leak:
        print("check_shipping_symbols: %s: %d test-support symbols, %d test hooks" % (program, len(leaked), len(namespaces)))
        return 0 if leaked and namespaces else 1
    for name in leaked:
        print("check_shipping_symbols: %s carries the test-support symbol %s" % (program, name))
    for name in namespaces:
        print("check_shipping_symbols: %s carries the test hook %s" % (program, name))
    if leaked or namespaces or not test_defined:
        if not test_defined:
            print("check_shipping_symbols: the test-support archives define nothing", file=sys.stderr)
        return 1
    print("check_shipping_symbols: %s: %d symbols, none of the %d the test support defines, no test hook"
          % (program, len(shipped), len(test_defined)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
