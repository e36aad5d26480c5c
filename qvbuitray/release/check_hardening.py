#!/usr/bin/env python3
"""Hardening check: a shipping program's headers and symbols must show the exploit
mitigations the build asks for, each judged as the BinSkim rule of the same ID judges it.

  check_hardening.py [--self-test] [--nm NM] [--symbols FILE] [--no-fortify WHY]
                     [--require-cfg] [--require-safeseh] PROGRAM

Headers: ASLR with the relocations kept (BA2009), DEP (BA2016), high-entropy ASLR and a
base above 4 GiB on 64-bit (BA2015, BA2001), TSAWARE, no section writable and executable
(BA2021) or writable and shared (BA2019), imports not executable (BA2010). Symbols, read
with NM (default: the target's nm) from FILE, the debug file of a stripped program, else
from PROGRAM, none at all failing: the stack protector (BA2011) and a checked function of
_FORTIFY_SOURCE (BA3030, the ELF rule's counterpart; --no-fortify WHY skips it). Control-
flow guard (BA2008) and SafeSEH (BA2018, 32-bit) are beyond mingw-w64 gcc 12 and clang 14:
not met, failing only with --require-cfg or --require-safeseh.

One line per rule: pass, FAIL, not applicable, not met by this toolchain or skipped. Exits
1 when a rule fails, 2 on a usage error or a file that is not a readable PE image.
--self-test requires PROGRAM to pass, then judges doctored copies of it, each with one
mitigation undone, and succeeds only if each copy fails on exactly the rule it targets."""
import argparse
import collections
import os
import re
import struct
import subprocess
import sys
import tempfile
import zlib

RELOCS_STRIPPED = 0x0001
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT, NO_SEH, GUARD_CF, TSAWARE = 0x20, 0x40, 0x100, 0x400, 0x4000, 0x8000
MEM_SHARED, MEM_EXECUTE, MEM_WRITE = 0x10000000, 0x20000000, 0x80000000
CF_INSTRUMENTED = 0x100
MACHINES = {0x14C: (32, "i686"), 0x8664: (64, "x86_64"), 0xAA64: (64, "aarch64")}
# The checked functions of _FORTIFY_SOURCE (__memcpy_chk, __strcpy_chk); __chk_fail does not
# count: it sits in libssp's ssp.o beside __stack_chk_fail, so the stack protector alone brings it.
CHECKED = re.compile(r"__(?!stack_)\w+_chk$")
Section = collections.namedtuple("Section", "name vsize va rawsize rawptr chars chars_at")
Target = collections.namedtuple("Target", "img names why opts")  # names: a set, or None and why not


class NotPE(Exception):
    pass


class Image:
    """The headers of a PE image; the offsets of the fields the self-test doctors are kept."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        try:
            self._parse(self.data)
        except struct.error:
            raise NotPE("truncated: the headers run past the end of the file (%d bytes)" % len(self.data))

    def _parse(self, d):
        if d[:2] != b"MZ":
            raise NotPE("not a PE image: no MZ signature")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise NotPE("not a PE image: no PE signature at 0x%x" % pe)
        machine, count, _, symtab, nsyms, optsize, self.file_chars = struct.unpack_from("<HHIIIHH", d, pe + 4)
        if machine not in MACHINES:
            raise NotPE("machine type 0x%04x is none of x86, x64, arm64" % machine)
        self.bits, self.triple = MACHINES[machine][0], MACHINES[machine][1] + "-w64-mingw32"
        self.file_chars_at, opt = pe + 22, pe + 24
        if struct.unpack_from("<H", d, opt)[0] != (0x10B if self.bits == 32 else 0x20B):
            raise NotPE("the optional header's magic does not match machine type 0x%04x" % machine)
        self.dllchars_at = opt + 70
        self.dllchars = struct.unpack_from("<H", d, self.dllchars_at)[0]
        self.base_at = opt + (28 if self.bits == 32 else 24)
        self.image_base = struct.unpack_from("<I" if self.bits == 32 else "<Q", d, self.base_at)[0]
        self.dirs_at = opt + (96 if self.bits == 32 else 112)
        ndirs = min(struct.unpack_from("<I", d, self.dirs_at - 4)[0], 16, max(0, (opt + optsize - self.dirs_at) // 8))
        self.dirs = [struct.unpack_from("<II", d, self.dirs_at + 8 * i) for i in range(ndirs)]
        self.sections = []
        for at in range(opt + optsize, opt + optsize + 40 * count, 40):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", d, at)
            name = name.rstrip(b"\0")
            if name[:1] == b"/" and name[1:].isdigit() and symtab:  # a long name: "/offset" in the string table
                name = d[symtab + 18 * nsyms + int(name[1:]):].split(b"\0", 1)[0] or name
            chars = struct.unpack_from("<I", d, at + 36)[0]
            self.sections.append(Section(name.decode("latin-1"), vsize, va, rawsize, rawptr, chars, at + 36))
        if not self.sections:
            raise NotPE("no sections")

    def directory(self, index):
        return self.dirs[index] if index < len(self.dirs) else (0, 0)

    def section_at(self, rva):
        return next((s for s in self.sections if s.va <= rva < s.va + max(s.vsize, s.rawsize)), None)

    def load_config(self, offset):
        """A 32-bit field of the load configuration; 0 when the directory or the field is absent."""
        rva = self.directory(10)[0]
        s = self.section_at(rva) if rva else None
        block = self.data[s.rawptr + rva - s.va:][:offset + 4] if s else b""
        if len(block) < offset + 4 or struct.unpack_from("<I", block)[0] < offset + 4:
            return 0
        return struct.unpack_from("<I", block, offset)[0]

    def debuglink_crc(self):
        """The CRC-32 of its debug file that a stripped program records, or None."""
        s = next((s for s in self.sections if s.name == ".gnu_debuglink"), None)
        blob = self.data[s.rawptr:s.rawptr + s.vsize] if s else b""
        end = (blob.find(b"\0") + 4) & ~3  # the file name, its NUL, padding to 4, then the CRC
        return struct.unpack_from("<I", blob, end)[0] if b"\0" in blob and len(blob) >= end + 4 else None


def read_symbols(img, program, nm, debug_file):
    """(names, why not): the defined symbols, without the leading underscore of 32-bit x86."""
    path = debug_file or program
    if debug_file and img.debuglink_crc() not in (None, zlib.crc32(open(debug_file, "rb").read())):
        return None, "%s is not the debug file of %s (the CRC-32 its .gnu_debuglink records differs)" % (path, program)
    try:
        run = subprocess.run([nm, "-P", path], capture_output=True, text=True)
    except OSError as error:
        return None, "cannot run %s: %s" % (nm, error.strerror)
    if run.returncode:
        return None, "%s failed on %s: %s" % (nm, path, run.stderr.strip() or "exit status %d" % run.returncode)
    names = {f[0] for f in map(str.split, run.stdout.splitlines()) if len(f) >= 2 and f[1] != "U"}
    if img.bits == 32:
        names = {n[1:] if n.startswith("_") else n for n in names}
    if not names:
        return None, "%s has no symbols%s" % (path, "" if debug_file else "; give a stripped program's debug file with --symbols")
    return names, ""


def verdict(*found):
    """FAIL with each problem whose condition holds, else pass."""
    problems = [text for bad, text in found if bad]
    return ("FAIL", "; ".join(problems)) if problems else ("pass", "")


def aslr(t):
    return verdict((not t.img.dllchars & DYNAMIC_BASE, "DYNAMIC_BASE is not set"),
                   (t.img.file_chars & RELOCS_STRIPPED, "the relocations are stripped (IMAGE_FILE_RELOCS_STRIPPED)"),
                   (not t.img.directory(5)[1], "the base relocation directory is empty"))


def dll_flag(bit, name):
    return lambda t: verdict((not t.img.dllchars & bit, "%s is not set in DllCharacteristics" % name))


def on_64_bit(rule):
    return lambda t: rule(t) if t.img.bits == 64 else ("not applicable", "32-bit image")


def high_base(t):
    return verdict((t.img.image_base <= 0xFFFFFFFF, "image base 0x%x is below 4 GiB" % t.img.image_base))


def no_section(both, what):
    def rule(t):
        bad = [s.name for s in t.img.sections if s.chars & both == both]
        return verdict((bad, "%s %s" % (", ".join(bad), what)))
    return rule


def imports_not_executable(t):
    rva, size = t.img.directory(1)
    if not size:
        return "not applicable", "no import directory"
    s = t.img.section_at(rva)
    return verdict((s is None, "the import directory (RVA 0x%x) lies in no section" % rva),
                   (s and s.chars & MEM_EXECUTE, "the import directory lies in %s, which is executable" % (s and s.name)))


def stack_protection(t):
    if t.names is None:
        return "FAIL", "no symbols to judge stack protection: " + t.why
    missing = [n for n in ("__stack_chk_fail", "__stack_chk_guard") if n not in t.names]
    return verdict((missing, "no %s in the symbols: nothing was compiled with -fstack-protector-strong" % " or ".join(missing)))


def fortify(t):
    if t.opts.no_fortify is not None:
        return "skipped", t.opts.no_fortify
    if t.names is None:
        return "FAIL", "no symbols to judge fortified functions: " + t.why
    return verdict((not any(map(CHECKED.match, t.names)),
                    "no checked function (__memcpy_chk, __strcpy_chk, ...) in the symbols: nothing built with "
                    "-D_FORTIFY_SOURCE=2 at -O1 or more, or the compiler settled every check (__chk_fail does not count)"))


def control_flow_guard(t):
    guard_flags = t.img.load_config(0x58 if t.img.bits == 32 else 0x90)  # GuardFlags
    if t.img.dllchars & GUARD_CF and guard_flags & CF_INSTRUMENTED:
        return "pass", ""
    return ("FAIL" if t.opts.require_cfg else "not met by this toolchain",
            "no GUARD_CF flag and no guard table in the load configuration (gcc and clang for mingw-w64 emit neither)")


def safe_seh(t):
    if t.img.bits == 64:
        return "not applicable", "64-bit images unwind through tables, not SEH handler lists"
    if t.img.dllchars & NO_SEH:
        return "pass", "NO_SEH: the image declares that it registers no SEH handler"
    if t.img.load_config(0x40) and t.img.load_config(0x44):  # SEHandlerTable, SEHandlerCount
        return "pass", ""
    return ("FAIL" if t.opts.require_safeseh else "not met by this toolchain",
            "no SEH handler table and no NO_SEH flag (the mingw-w64 linkers emit no handler table)")


RULES = [
    ("BA2009", "EnableAddressSpaceLayoutRandomization", aslr),
    ("BA2016", "MarkImageAsNXCompatible", dll_flag(NX_COMPAT, "NX_COMPAT")),
    ("BA2015", "EnableHighEntropyVirtualAddresses", on_64_bit(dll_flag(HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA"))),
    ("BA2001", "LoadImageAboveFourGigabyteAddress", on_64_bit(high_base)),
    ("TSAWARE", "TerminalServerAware", dll_flag(TSAWARE, "TERMINAL_SERVER_AWARE")),
    ("BA2021", "DoNotMarkWritableSectionsAsExecutable", no_section(MEM_WRITE | MEM_EXECUTE, "writable and executable")),
    ("BA2019", "DoNotMarkWritableSectionsAsShared", no_section(MEM_WRITE | MEM_SHARED, "writable and shared")),
    ("BA2010", "DoNotMarkImportsSectionAsExecutable", imports_not_executable),
    ("BA2011", "EnableStackProtection", stack_protection),
    ("BA3030", "UseCheckedFunctionsWithGcc", fortify),
    ("BA2008", "EnableControlFlowGuard", control_flow_guard),
    ("BA2018", "EnableSafeSEH", safe_seh),
]


def judge(target):
    """[(rule ID, title, status, why)] in the order of RULES."""
    return [(rid, title) + rule(target) for rid, title, rule in RULES]


def failed(results):
    return [rid for rid, _, status, _ in results if status == "FAIL"]


def doctored_cases(img, opts):
    """(what, the rule that must catch it, header edits as (offset, width, value), symbol filter)."""
    dll = lambda bit: [(img.dllchars_at, 2, img.dllchars & ~bit)]
    code = next(s for s in img.sections if s.chars & MEM_EXECUTE)
    data = next(s for s in img.sections if s.chars & MEM_WRITE)
    cases = [("DYNAMIC_BASE cleared", "BA2009", dll(DYNAMIC_BASE), None),
             ("relocations marked stripped", "BA2009", [(img.file_chars_at, 2, img.file_chars | RELOCS_STRIPPED)], None),
             ("NX_COMPAT cleared", "BA2016", dll(NX_COMPAT), None),
             ("%s made writable" % code.name, "BA2021", [(code.chars_at, 4, code.chars | MEM_WRITE)], None),
             ("%s made shared" % data.name, "BA2019", [(data.chars_at, 4, data.chars | MEM_SHARED)], None),
             ("import directory moved into %s" % code.name, "BA2010", [(img.dirs_at + 8, 4, code.va)], None),
             ("TSAWARE cleared", "TSAWARE", dll(TSAWARE), None),
             ("__stack_chk_fail taken out of the symbols", "BA2011", [], lambda n: n != "__stack_chk_fail")]
    if img.bits == 64:
        cases += [("HIGH_ENTROPY_VA cleared", "BA2015", dll(HIGH_ENTROPY_VA), None),
                  ("image base moved to 0x400000", "BA2001", [(img.base_at, 8, 0x400000)], None)]
    if opts.no_fortify is None:
        cases.append(("checked functions taken out of the symbols", "BA3030", [], lambda n: not CHECKED.match(n)))
    return cases


def self_test(target):
    img, opts = target.img, target.opts
    results = judge(target)
    if failed(results) or not img.directory(1)[1] or not all(
            any(s.chars & c for s in img.sections) for c in (MEM_EXECUTE, MEM_WRITE)):
        report(opts.program, results)
        print("check_hardening: self-test: %s must pass first, with imports, code and data to doctor" % opts.program)
        return 1
    cases, missed = doctored_cases(img, opts), 0
    with tempfile.TemporaryDirectory(prefix="check_hardening.") as folder:
        for number, (what, rule, edits, keep) in enumerate(cases):
            data = bytearray(img.data)
            for offset, width, value in edits:
                data[offset:offset + width] = value.to_bytes(width, "little")
            copy = os.path.join(folder, "doctored%d.exe" % number)
            with open(copy, "wb") as f:
                f.write(data)
            names = set(filter(keep, target.names)) if keep else target.names
            caught = failed(judge(Target(Image(copy), names, target.why, opts)))
            missed += caught != [rule]
            print("check_hardening: self-test: %s: %s" % (what, "caught by " + rule if caught == [rule] else
                  "NOT caught: %s alone should fail, failing: %s" % (rule, ", ".join(caught) or "none")))
    print("check_hardening: self-test: %s: %d of %d doctored copies caught" % (opts.program, len(cases) - missed, len(cases)))
    return 1 if missed else 0


def report(program, results):
    for rid, title, status, why in results:
        print("check_hardening: %s: %s %s: %s%s" % (program, rid, title, status, ": " + why if why else ""))


def main(argv):
    parser = argparse.ArgumentParser(prog="check_hardening.py", description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--self-test", action="store_true", help="prove on doctored copies that each rule can fail")
    parser.add_argument("--nm", help="the target's nm (default: the machine's <triple>-nm)")
    parser.add_argument("--symbols", metavar="FILE", help="the debug file of a stripped PROGRAM")
    parser.add_argument("--no-fortify", metavar="WHY", help="skip BA3030, printing WHY")
    parser.add_argument("--require-cfg", action="store_true", help="fail BA2008 when control-flow guard is missing")
    parser.add_argument("--require-safeseh", action="store_true", help="fail BA2018 when a 32-bit image has no SafeSEH")
    parser.add_argument("program", metavar="PROGRAM")
    opts = parser.parse_args(argv)
    for path in filter(None, (opts.program, opts.symbols)):
        if not os.path.isfile(path):
            print("check_hardening: %s: no such file" % path, file=sys.stderr)
            return 2
    try:
        img = Image(opts.program)
        target = Target(img, *read_symbols(img, opts.program, opts.nm or img.triple + "-nm", opts.symbols), opts)
    except (NotPE, OSError) as error:
        print("check_hardening: %s: %s" % (opts.program, error), file=sys.stderr)
        return 2
    if opts.self_test:
        return self_test(target)
    results = judge(target)
    report(opts.program, results)
    return 1 if failed(results) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
