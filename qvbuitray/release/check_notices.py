#!/usr/bin/env python3
"""Notices guard: each runtime library linked into a shipping program must have its package
in the SPDX document and its section in the third-party notices.

  check_notices.py [--self-test] SPDX NOTICES ARCH=DEBUG...

ARCH is x86 or x64, DEBUG the program's debug file (qvbuitray.debug beside it), whose
symbol table is read with the target's nm (the 32-bit one prefixes C names with "_",
taken off here). A library is recognised by names that only it defines, independently of
how make_notices.py found it; the document's program is the package whose file name
starts with "ARCH/". A library found in a program but missing from the program's
relationships in SPDX, or from the "Notices for" headings of NOTICES, fails (one line
each), and so does a library whose terms are not written at all (libquadmath, Ryu...), or
a demangler in libstdc++ whose licence the SPDX document does not name. --self-test also
runs the check on copies of both files with each library found taken out in turn, and on
a program with libquadmath added, and fails unless every one of them fails."""
import json
import re
import subprocess
import sys

NM = {"x86": "i686-w64-mingw32-nm", "x64": "x86_64-w64-mingw32-nm"}
# (library, names that only it defines, a licence its SPDX package must then name)
SIGNS = [
    ("libstdc++", r"_ZN?K?St|_ZN9__gnu_cxx|_ZN10__cxxabiv1|__gxx_personality|"
                  r"__cxa_(?!atexit|thread_atexit)", None),  # those two are mingw-w64's
    ("libstdc++", r"__cxa_demangle$|__gcclibcxx_demangle_callback$", "GCC-exception-2.0"),
    ("libgcc", r"_Unwind_|__(u?div|u?mod)[dt]i3$|_?__chkstk_ms$|__gcc_(de)?register_frame$|"
               r"__(de)?register_frame_info$|__emutls_(get_address|register_common)$|"
               r"__(popcount|clz|ctz|bswap)[sd]i2$", None),
    ("libssp", r"__stack_chk_(fail|guard)$|__chk_fail$|__\w+_chk$", None),
    ("winpthreads", r"_?_?pthread_|sched_|sem_(init|wait|post|destroy)$|nanosleep$|"
                    r"clock_gettime$", None),
    ("mingw-w64 runtime", r"__mingw_|_?(Win)?mainCRTStartup$|_pei386_runtime_relocator$|"
                          r"_gnu_exception_handler$|__tlregdtor$", None),
    # Linkable with the same tools, but their terms are not written at all.
    ("libquadmath", r"_?_?quadmath_", None),
    ("libatomic", r"libat_", None),
    ("libgomp", r"GOMP_|omp_get_", None),
    ("libgcov", r"__gcov_", None),
    ("the profiling runtime", r"_?mcount$|_?_?monstartup$|moncontrol$", None),
    ("Ryu, in libstdc++.a(floating_to_chars.o)", r"_ZN12_GLOBAL__N_13ryu", None),
    ("fast_float, in libstdc++.a(floating_from_chars.o)", r"_ZN12_GLOBAL__N_110fast_float", None),
]


def symbols(arch, debug):
    out = subprocess.run([NM[arch], "-P", "--defined-only", debug], check=True,
                         capture_output=True, text=True).stdout
    names = [line.split(" ", 1)[0] for line in out.splitlines()]
    return [n[1:] if arch == "x86" and n.startswith("_") else n for n in names]


def found_in(names):
    """{library: ({names found}, {licences it then needs})}"""
    found = {}
    for library, pattern, licence in SIGNS:
        hits = {n for n in names if re.match(pattern, n)}
        if hits:
            seen, needs = found.setdefault(library, (set(), set()))
            seen |= hits
            needs |= {licence} if licence else set()
    return found


def problems(arch, found, spdx, notices):
    programs = [p["SPDXID"] for p in spdx["packages"]
                if p.get("packageFileName", "").startswith(arch + "/")]
    held = {r["relatedSpdxElement"] for r in spdx["relationships"] if r["spdxElementId"] in programs
            and r["relationshipType"] in ("CONTAINS", "STATIC_LINK")}
    licences = {p["name"]: p.get("licenseConcluded", "")
                for p in spdx["packages"] if p["SPDXID"] in held}
    sections = {n.strip() for line in re.findall(r"^Notices for (.*)$", notices, re.M)
                for n in line.split(",")}
    result = []
    for library, (names, needs) in sorted(found.items()):
        if library not in licences:
            result.append("%s: %s is linked (%s) but is not in the SPDX document"
                          % (arch, library, min(names)))
        elif needs - set(re.findall(r"[\w.+-]+", licences[library])):
            result.append("%s: %s holds code under %s, which its SPDX licence does not name"
                          % (arch, library, ", ".join(sorted(needs))))
        if library not in sections:
            result.append("%s: %s is linked (%s) but has no notices section"
                          % (arch, library, min(names)))
    return result


def self_test(arch, found, spdx, notices):
    """The check must fail on copies of the files without any one library found, on an SPDX
    licence without what a member needs, and on a program with libquadmath added."""
    missed = []
    for library in sorted(found):
        ids = {p["SPDXID"] for p in spdx["packages"] if p["name"] == library}
        fewer = dict(spdx, relationships=[r for r in spdx["relationships"]
                                          if r["relatedSpdxElement"] not in ids])
        cut = re.sub(r"^Notices for (.*)$", lambda m: "Notices for " + ", ".join(
            n for n in m.group(1).split(", ") if n != library), notices, flags=re.M)
        cases = [(fewer, notices, "without %s in the SPDX document"),
                 (spdx, cut, "without notices for %s")]
        if found[library][1]:
            bare = dict(spdx, packages=[dict(p, licenseConcluded="NOASSERTION")
                                        for p in spdx["packages"]])
            cases.append((bare, notices, "when the SPDX licence of %s lacks what a member needs"))
        for copy, notes, what in cases:
            if not problems(arch, found, copy, notes):
                missed.append("%s: the check passes %s" % (arch, what % library))
    if not problems(arch, dict(found, **found_in(["quadmath_snprintf"])), spdx, notices):
        missed.append("%s: the check passes with libquadmath linked" % arch)
    return missed


def main(argv):
    test = argv[:1] == ["--self-test"]
    args = argv[1:] if test else argv
    if len(args) < 3 or any(a.split("=")[0] not in NM for a in args[2:]):
        print(__doc__, file=sys.stderr)
        return 2
    spdx = json.load(open(args[0], encoding="utf-8"))
    notices = open(args[1], encoding="utf-8").read()
    failed = []
    for arch, debug in (a.split("=", 1) for a in args[2:]):
        found = found_in(symbols(arch, debug))
        if "mingw-w64 runtime" not in found:  # every program has its start-up code
            failed.append("%s: no runtime symbols in %s: give the debug file, not the "
                          "stripped program" % (arch, debug))
            continue
        print("check_notices: %s: %s" % (arch, "; ".join(
            "%s (%d names, e.g. %s)" % (l, len(n), min(n)) for l, (n, _) in sorted(found.items()))))
        failed += problems(arch, found, spdx, notices)
        if test:
            missed = self_test(arch, found, spdx, notices)
            failed += missed
            if not missed:
                print("check_notices: %s: self-test: the check fails without any of the %d "
                      "libraries in either file, and with libquadmath linked" % (arch, len(found)))
    for line in failed:
        print("check_notices: " + line)
    if not failed:
        print("check_notices: every library linked is in %s and %s" % (args[0], args[1]))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
