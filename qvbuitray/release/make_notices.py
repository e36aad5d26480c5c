#!/usr/bin/env python3
"""The notices and the bill of materials of the runtime libraries in the shipping programs.

  make_notices.py OUTDIR VERSION NAME=FILE...

NAME is the file's name in the release archive: for each architecture (x86, x64) its
program and its debug file, "x86/qvbuitray.exe=build/.../qvbuitray.exe",
"x86/qvbuitray.debug=build/.../qvbuitray.debug", and the same for x64. A library is
linked into a program when the program's symbol table (the debug file's, read with the
target's nm) has a symbol that only that library's files define, the files being those
that dpkg lists for the Debian package the library comes from. Writes into OUTDIR:

  THIRD-PARTY-NOTICES.txt  each linked library, its Debian package and version, and its
                           terms as the package's copyright file gives them (for
                           libstdc++ also the permission notices of its installed headers)
  qvbuitray.spdx.json      SPDX 2.3: a package per program (with its SHA-256) and per
                           library and architecture; each program CONTAINS and STATIC_LINKs
                           the libraries it holds

Both depend only on the inputs, the installed packages and SOURCE_DATE_EPOCH, which must
be set: "created" is that time (scripts/release sets it to the time of the last commit
unless it is set already), and the namespace derives from the version and the programs'
SHA-256. Fails when a program holds one of the libraries of those packages whose terms are
not written here (UNCOVERED)."""
import datetime
import hashlib
import json
import os
import re
import subprocess
import sys
import textwrap
import uuid

# Debian's name of the target in package names, and its nm.
ARCHES = {"x86": ("i686", "i686-w64-mingw32-nm"), "x64": ("x86-64", "x86_64-w64-mingw32-nm")}
BITS = {"x86": "32-bit", "x64": "64-bit"}
GPL3 = "/usr/share/common-licenses/GPL-3"
GCC_LICENCE = "GPL-3.0-or-later WITH GCC-exception-3.1"
# GCC's copyright file is free text: what concerns its runtime libraries runs from the first
# line of each pair up to the second (the libraries under the exception, then its text), and a
# library's terms=dict(gcc=NAME) must be listed there under NAME.
GCC_EXCERPTS = (
    ("COPYRIGHT STATEMENTS AND LICENSING TERMS", "The libbacktrace library is licensed"),
    ("GCC RUNTIME LIBRARY EXCEPTION", "libquadmath/*.[hc]:"))
# mingw-w64's copyright file is machine-readable: terms=dict(under=..., skip=...) takes the Files
# paragraphs with a pattern under one of the folders ("*": the default paragraph) and not under
# one of "skip", with the stand-alone License paragraphs they name.
LIBRARIES = [
    dict(name="libstdc++", what="the C++ standard library", package="g++-mingw-w64-{}-posix",
         files=("libstdc++.a",), terms=dict(gcc="libstdc++-v3")),
    dict(name="libgcc", what="GCC's support code (arithmetic, stack probes, unwinding, TLS)",
         package="gcc-mingw-w64-{}-posix",
         files=("libgcc.a", "libgcc_eh.a", "crtbegin.o", "crtend.o"), terms=dict(gcc="libgcc")),
    dict(name="libssp", what="stack-smashing protection and checked string functions",
         package="gcc-mingw-w64-{}-posix", files=("libssp.a", "libssp_nonshared.a"),
         terms=dict(gcc="libssp")),
    dict(name="winpthreads", what="POSIX threads for Windows, under the C++ thread support",
         package="mingw-w64-{}-dev", files=("libwinpthread.a",),
         terms=dict(under=("mingw-w64-libraries/winpthreads/",),
                    skip=("mingw-w64-libraries/winpthreads/tests_pthread/",))),
    dict(name="mingw-w64 runtime", what="start-up code, C runtime additions, import libraries",
         package="mingw-w64-{}-dev",
         files=("crt2.o", "libmingw32.a", "libmingwex.a", "libmoldname.a", "libmsvcrt.a"),
         terms=dict(under=("*", "mingw-w64-crt/"),
                    skip=("mingw-w64-crt/profile/", "mingw-w64-crt/testcases/"))),
]
# Libraries of the same packages whose terms are not written here: linking one fails.
UNCOVERED = [("libquadmath", "gcc-mingw-w64-{}-posix", ("libquadmath.a",)),
             ("libatomic", "gcc-mingw-w64-{}-posix", ("libatomic.a",)),
             ("libgomp", "gcc-mingw-w64-{}-posix", ("libgomp.a",)),
             ("libgcov", "gcc-mingw-w64-{}-posix", ("libgcov.a",)),
             ("the profiling runtime", "mingw-w64-{}-dev", ("libgmon.a", "gcrt2.o"))]
# libstdc++.a's name demangler is under terms of its own, added to the library's when linked.
DEMANGLER = ("cp-demangle.o", "GPL-2.0-or-later WITH GCC-exception-2.0")
DEMANGLER_NOTE = """\
libstdc++.a also holds GCC's C++ name demangler (cp-demangle.o, from libiberty), which the
default terminate handler uses to name the type of an uncaught exception. That file is under
the GNU General Public License, version 2 or later, with the GCC linking exception
(GPL-2.0-or-later WITH GCC-exception-2.0): it may be linked into a program that is then
distributed without restriction coming from the use of that file."""
# Debian's names of licences, as SPDX identifiers; any other becomes a LicenseRef.
SPDX_IDS = {"ZPL-2.1": "ZPL-2.1", "expat": "MIT", "ISC": "ISC", "BSD-3-clause": "BSD-3-Clause",
            "BSD-3-clause-Lockless": "BSD-3-Clause", "BSD-2-clause-NetBSD": "BSD-2-Clause",
            "GPL-2+": "GPL-2.0-or-later", "GPL-3+": "GPL-3.0-or-later",
            "LGPL-2+": "LGPL-2.0-or-later", "LGPL-2.1+": "LGPL-2.1-or-later"}


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def package_version(package):
    return run("dpkg-query", "-W", "-f", "${Version}", package)


def package_paths(package, names):
    return [p for p in run("dpkg-query", "-L", package).splitlines()
            if os.path.basename(p) in names and os.path.isfile(p)]


def read(path):
    return open(path, encoding="utf-8").read()


def linked(arch, debug):
    """{library: {"archive[member]" or "object"}} of the libraries the program holds."""
    infix, nm = ARCHES[arch]
    owners = {}
    for name, package, files in ([(l["name"], l["package"], l["files"]) for l in LIBRARIES]
                                 + UNCOVERED):
        for path in package_paths(package.format(infix), files):
            for line in run(nm, "-A", "-P", "-g", "--defined-only", path).splitlines():
                where, symbol, kind = re.match(r"(.*?): (\S+) (\S)", line).groups()
                if kind != "A":
                    owners.setdefault(symbol, set()).add((name, os.path.basename(where)))
    found = {}
    for line in run(nm, "-P", "--defined-only", debug).splitlines():
        places = owners.get(line.split(" ", 1)[0], ())
        if len({name for name, _ in places}) == 1:  # one library defines it, none else
            for name, where in places:
                found.setdefault(name, set()).add(where)
    return found


def excerpt(text, start, end):
    begin = text.index(start)
    return text[begin:text.index(end, begin)].rstrip() + "\n"


def paragraphs(text):
    """The paragraphs of a machine-readable copyright file: (text, {field: value})."""
    result = []
    for block in re.split(r"\n[ \t]*\n", text.strip("\n")):
        fields, key = {}, None
        for line in block.strip("\n").split("\n"):
            if line[:1] in (" ", "\t") and key:
                fields[key] += "\n" + line
            elif ":" in line:
                key, value = line.split(":", 1)
                fields[key] = value.strip()
        if fields:
            result.append((block.strip("\n"), fields))
    return result


def licence_text(value):
    """The text of a License field, without its first line and the field's indentation."""
    lines = value.split("\n")[1:]
    return "\n".join("" if l.strip() == "." else l[1:] for l in lines).strip("\n")


def dep5_terms(text, under, skip):
    """(notice text, upstream name, [Debian licence names], {name: licence text}, holders)."""
    paras = paragraphs(text)
    upstream = paras[0][1].get("Upstream-Name", "")
    alone = {f["License"].split("\n")[0].strip(): (block, f["License"])
             for block, f in paras if "License" in f and "Files" not in f}
    chosen, names, texts, holders, extra = [paras[0][0]], [], {}, [], []
    for block, f in paras:
        patterns = f.get("Files", "").split()
        if not any(p.startswith(u) and not p.startswith(skip) for p in patterns for u in under):
            continue
        chosen.append(block)
        holders += [c.strip() for c in f.get("Copyright", "").split("\n") if c.strip()]
        for name in re.split(r"\s+(?:and|or)\s+", f["License"].split("\n")[0].strip()):
            names.append(name)
            own = licence_text(f["License"])
            if not own and name in alone:
                own = licence_text(alone[name][1])
                if alone[name][0] not in extra:
                    extra.append(alone[name][0])
            texts.setdefault(name, own)
    for block in list(extra):
        for common in re.findall(r"/usr/share/common-licenses/[\w.+-]+", block):
            extra.append(read(common).rstrip("\n"))
    notice = "\n\n".join(chosen + extra) + "\n"
    holders = [h for h in dict.fromkeys(holders) if h != "public-domain"]
    return notice, upstream, names, texts, holders


def header_notices(package):
    """The distinct permission notices (Hewlett-Packard, Silicon Graphics) of the C++ headers."""
    found = []
    for path in sorted(p for p in run("dpkg-query", "-L", package).splitlines()
                       if "/include/c++/" in p and os.path.isfile(p)):
        for block in re.findall(r"^ \* Copyright \(c\).*?implied warranty\.\n", read(path),
                                re.M | re.S):
            block = re.sub(r"^ \*( |$)", "", block, flags=re.M)
            if block not in found:
                found.append(block)
    return "\n".join(found)


def terms_of(library, package, members):
    """([(source, text)], SPDX licence, {LicenseRef: (name, text)}, copyright holders)."""
    copyright_file = "/usr/share/doc/%s/copyright" % package
    text = read(copyright_file)
    if "gcc" in library["terms"]:
        notice = "\n[...]\n\n".join(excerpt(text, *pair) for pair in GCC_EXCERPTS)
        if "Version 3.1" not in notice or "\n - %s" % library["terms"]["gcc"] not in notice:
            sys.exit("make_notices: %s no longer says %s is under %s"
                     % (copyright_file, library["name"], GCC_LICENCE))
        sections = [(copyright_file, notice), (GPL3, read(GPL3))]
        licence, refs = [GCC_LICENCE], {}
        holders = re.search(r"^GCC is Copyright.*?(?=\n\n)", text, re.M | re.S).group(0)
        if library["name"] == "libstdc++":
            includes = "the C++ headers of %s" % package
            sections.append((includes, header_notices(package)))
            if DEMANGLER[0] in members:
                sections.append(("this release (a note on libstdc++.a)", DEMANGLER_NOTE + "\n"))
                licence.append(DEMANGLER[1])
        return sections, " AND ".join(licence), refs, holders
    notice, upstream, names, texts, holders = dep5_terms(text, **library["terms"])
    ids, refs = [], {}
    for name in names:
        spdx = SPDX_IDS.get(name) or "LicenseRef-%s-%s" % (
            upstream, re.sub(r"[^A-Za-z0-9.-]", "-", name))
        if spdx.startswith("LicenseRef-"):
            refs[spdx] = (name, texts[name])
        ids.append(spdx)
    return [(copyright_file, notice)], " AND ".join(sorted(set(ids))), refs, "\n".join(holders)


def spdx_id(*words):
    return "SPDXRef-" + "-".join(re.sub(r"[^A-Za-z0-9.-]", "-", w.replace("+", "x")) for w in words)


def program_package(arch, name, version, digest):
    return {"SPDXID": spdx_id(arch, "qvbuitray"), "name": "qvbuitray", "versionInfo": version,
            "packageFileName": name, "primaryPackagePurpose": "APPLICATION",
            "description": "Velbrook Tray, the %s Windows program" % BITS[arch],
            "supplier": "Organization: Velbrook", "downloadLocation": "NOASSERTION",
            "filesAnalyzed": False, "licenseConcluded": "NOASSERTION",
            "licenseDeclared": "NOASSERTION", "copyrightText": "NOASSERTION",
            "checksums": [{"algorithm": "SHA256", "checksumValue": digest}]}


def library_package(arch, library, package, version, licence, holders, archives):
    purl = "pkg:deb/debian/%s@%s?arch=%s" % (
        package.replace("+", "%2B"), version.replace("+", "%2B"),
        run("dpkg-query", "-W", "-f", "${Architecture}", package))
    return {"SPDXID": spdx_id(arch, library["name"]), "name": library["name"],
            "versionInfo": version,
            "description": library["what"], "primaryPackagePurpose": "LIBRARY",
            "supplier": "Organization: Debian", "downloadLocation": "NOASSERTION",
            "filesAnalyzed": False, "licenseConcluded": licence, "licenseDeclared": licence,
            "copyrightText": holders or "NOASSERTION",
            "sourceInfo": "Debian package %s %s, linked statically from %s" % (
                package, version, ", ".join(archives)),
            "externalRefs": [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                              "referenceLocator": purl}]}


def notices_text(version, programs, summary, sections):
    intro = ("%s are linked statically with the runtime libraries of the compiler that built "
             "them: GCC and mingw-w64, as Debian packages them. Each library, the Debian package "
             "it comes from in each program and its licence (SPDX identifiers; qvbuitray.spdx.json "
             "says the same in SPDX 2.3), then the notices, as the installed packages give them."
             % " and ".join(programs))
    out = ["qvbuitray %s: third-party software" % version, "", textwrap.fill(intro, 88), ""]
    for name, (what, packages, licences) in summary.items():
        out += ["%s: %s" % (name, what)]
        out += ["    %s: %s" % (a, packages[a]) for a in ARCHES if a in packages]
        out += [textwrap.fill(l, 90, initial_indent="    Licence: ", subsequent_indent=" " * 8,
                              break_long_words=False, break_on_hyphens=False)
                for l in sorted(licences)] + [""]
    for text, (names, sources) in sections.items():
        out += ["=" * 78, "Notices for " + ", ".join(sorted(names)),
                "From " + "\n     ".join(sorted(sources)), "=" * 78, "", text.rstrip("\n"), ""]
    return "\n".join(out)


def main(argv):
    files = dict(a.split("=", 1) for a in argv[2:] if "=" in a)
    programs = {a: "%s/qvbuitray.exe" % a for a in ARCHES}
    wanted = set(programs.values()) | {p[:-4] + ".debug" for p in programs.values()}
    if len(argv) < 2 or len(files) != len(argv) - 2 or set(files) != wanted:
        print(__doc__, file=sys.stderr)
        return 2
    outdir, version = argv[0], argv[1]
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    if not re.fullmatch(r"[0-9]+", epoch):
        print("make_notices: SOURCE_DATE_EPOCH must give the release's time in seconds since 1970 "
              "(scripts/release takes the last commit's), not %r" % epoch, file=sys.stderr)
        return 2
    created = datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc)
    digests = {a: hashlib.sha256(open(files[programs[a]], "rb").read()).hexdigest() for a in ARCHES}
    namespace = uuid.uuid5(uuid.NAMESPACE_URL,
                           "/".join(["qvbuitray", version] + sorted(digests.values())))
    doc = {"spdxVersion": "SPDX-2.3", "dataLicense": "CC0-1.0", "SPDXID": "SPDXRef-DOCUMENT",
           "name": "qvbuitray-%s" % version,
           "documentNamespace": "https://spdx.org/spdxdocs/qvbuitray-%s-%s" % (version, namespace),
           "creationInfo": {"created": created.strftime("%Y-%m-%dT%H:%M:%SZ"),
                            "creators": ["Organization: Velbrook", "Tool: make_notices.py"]},
           "packages": [], "relationships": []}
    sections, summary, refs, problems = {}, {}, {}, []
    for arch in ARCHES:
        program = program_package(arch, programs[arch], version, digests[arch])
        doc["packages"].append(program)
        doc["relationships"].append({"spdxElementId": "SPDXRef-DOCUMENT",
                                     "relationshipType": "DESCRIBES",
                                     "relatedSpdxElement": program["SPDXID"]})
        found = linked(arch, files[programs[arch][:-4] + ".debug"])
        if "mingw-w64 runtime" not in found:  # every program has its start-up code
            sys.exit("make_notices: %s: no runtime symbols in the debug file" % arch)
        problems += ["%s: %s is linked (%s) but its terms are not written here"
                     % (arch, name, ", ".join(sorted(found[name])[:3]))
                     for name, _, _ in UNCOVERED if name in found]
        for library in (l for l in LIBRARIES if l["name"] in found):
            package = library["package"].format(ARCHES[arch][0])
            members = {m for w in found[library["name"]] for m in re.findall(r"\[(.*)\]", w)}
            texts, licence, new_refs, holders = terms_of(library, package, members)
            for ref, named in new_refs.items():
                if refs.setdefault(ref, named) != named:
                    sys.exit("make_notices: %s has two texts" % ref)
            for source, text in texts:
                sections.setdefault(text, (set(), set()))[0].add(library["name"])
                sections[text][1].add(source)
            entry = summary.setdefault(library["name"], (library["what"], {}, set()))
            entry[1][arch] = "%s %s" % (package, package_version(package))
            entry[2].add(licence)
            archives = sorted({re.sub(r"\[.*", "", w) for w in found[library["name"]]})
            doc["packages"].append(library_package(arch, library, package, package_version(package),
                                                   licence, holders, archives))
            doc["relationships"] += [{"spdxElementId": program["SPDXID"], "relationshipType": kind,
                                      "relatedSpdxElement": doc["packages"][-1]["SPDXID"]}
                                     for kind in ("CONTAINS", "STATIC_LINK")]
        print("make_notices: %s: %s" % (arch, ", ".join(
            l["name"] for l in LIBRARIES if l["name"] in found)))
    if problems:
        print("\n".join("make_notices: " + p for p in problems), file=sys.stderr)
        return 1
    doc["hasExtractedLicensingInfos"] = [{"licenseId": i, "name": n, "extractedText": t}
                                         for i, (n, t) in sorted(refs.items())]
    doc["packages"].sort(key=lambda p: p["SPDXID"])
    doc["relationships"].sort(key=lambda r: (r["spdxElementId"], r["relatedSpdxElement"],
                                             r["relationshipType"]))
    order = [l["name"] for l in LIBRARIES]
    summary = dict(sorted(summary.items(), key=lambda item: order.index(item[0])))
    os.makedirs(outdir, exist_ok=True)
    for name, data in (("THIRD-PARTY-NOTICES.txt", notices_text(version, list(programs.values()),
                                                                 summary, sections)),
                       ("qvbuitray.spdx.json", json.dumps(doc, indent=2, sort_keys=True,
                                                          ensure_ascii=False) + "\n")):
        with open(os.path.join(outdir, name), "w", encoding="utf-8", newline="\n") as out:
            out.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
