#!/usr/bin/python3
"""Checks the mitigations of the shipped Windows binaries.

    scripts/check-binaries.py [--signed] BINARY ...

Prints one line per rule and binary: the rule, the binary, met or not and why.
Exits 1 when a rule is not met, except a rule the toolchain cannot meet: those
are listed in docs/hardening.md ("Rules the toolchain cannot meet") with the
reason, which is printed from there. With --signed an Authenticode signature
with SHA-256 is required too; without it an unsigned binary passes (the
package step signs).

Runs with Debian's /usr/bin/python3, which has pefile (python3-pefile).
"""
import collections
import os
import re
import sys

import pefile

DOCS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "docs", "hardening.md")
TOOLCHAIN_SECTION = "## Rules the toolchain cannot meet"

# Writes of the thread's exception registration list (fs:[0]) in i386 code:
# mov fs:[0], eax; mov fs:[0], reg; pop fs:[0]; mov fs:[0], imm32.
SEH_FRAME_WRITE = re.compile(
    rb"\x64\xA3\x00\x00\x00\x00"
    rb"|\x64\x89[\x05\x0D\x15\x1D\x25\x2D\x35\x3D]\x00\x00\x00\x00"
    rb"|\x64\x8F\x05\x00\x00\x00\x00"
    rb"|\x64\xC7\x05\x00\x00\x00\x00"
)
# GCC's canary check before a return on i386: the frame's copy loaded
# (mov r32, [ebp+disp8]), then the guard word subtracted from it or xored
# with it (sub/xor r32, [guard]). The guard is one global word of libssp's.
CANARY_CHECK = re.compile(rb"\x8B[\x45\x4D\x55\x5D\x75\x7D].[\x2B\x33]"
                          rb"[\x05\x0D\x15\x1D\x35\x3D](....)", re.S)
# Fewer checks than this could be chance; a protected image has a hundred.
CANARY_CHECKS_REQUIRED = 10
SHA256_OID = "2.16.840.1.101.3.4.2.1"
DLL_FLAGS = pefile.DLL_CHARACTERISTICS


def executable(section):
    return section.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]


def writable(section):
    return section.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_WRITE"]


def shared(section):
    return section.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_SHARED"]


def name(section):
    return section.Name.rstrip(b"\0").decode("ascii", "replace")


def directory(pe, entry):
    return pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY[entry]]


def has_flag(pe, flag):
    return bool(pe.OPTIONAL_HEADER.DllCharacteristics & DLL_FLAGS[flag])


def aslr(pe, _data):
    if not has_flag(pe, "IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE"):
        return False, "DYNAMIC_BASE not set"
    stripped = pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS[
        "IMAGE_FILE_RELOCS_STRIPPED"]
    if stripped or directory(pe, "IMAGE_DIRECTORY_ENTRY_BASERELOC").Size == 0:
        return False, "DYNAMIC_BASE set but the relocations are stripped"
    return True, "DYNAMIC_BASE, relocations kept"


def dep(pe, _data):
    if has_flag(pe, "IMAGE_DLLCHARACTERISTICS_NX_COMPAT"):
        return True, "NX_COMPAT"
    return False, "NX_COMPAT not set"


def safe_seh(pe, data):
    table = getattr(pe, "DIRECTORY_ENTRY_LOAD_CONFIG", None)
    if table is not None and getattr(table.struct, "SEHandlerCount", 0):
        return True, "SafeSEH table of %d handlers" % table.struct.SEHandlerCount
    if not has_flag(pe, "IMAGE_DLLCHARACTERISTICS_NO_SEH"):
        return False, "neither NO_SEH nor a SafeSEH table"
    for section in pe.sections:
        if executable(section):
            found = SEH_FRAME_WRITE.search(section.get_data())
            if found:
                return False, "NO_SEH set, yet %s+0x%x registers a handler (writes fs:[0])" % (
                    name(section), found.start())
    return True, "NO_SEH, and no code registers a handler"


def stack_protector(pe, _data):
    guards = collections.Counter()
    for section in pe.sections:
        if executable(section):
            for found in CANARY_CHECK.finditer(section.get_data()):
                guards[int.from_bytes(found.group(1), "little")] += 1
    if guards:
        guard, checks = guards.most_common(1)[0]
        holder = pe.get_section_by_rva(guard - pe.OPTIONAL_HEADER.ImageBase)
        if holder is not None and writable(holder) and checks >= CANARY_CHECKS_REQUIRED:
            return True, "%d functions check a canary against the guard in %s" % (
                checks, name(holder))
    return False, "no function checks a canary"


def no_writable_executable(pe, _data):
    both = [name(s) for s in pe.sections if writable(s) and executable(s)]
    return not both, ("writable and executable: " + ", ".join(both)) if both else "none"


def no_shared_writable(pe, _data):
    both = [name(s) for s in pe.sections if writable(s) and shared(s)]
    return not both, ("shared and writable: " + ", ".join(both)) if both else "none"


def imports_not_executable(pe, _data):
    imports = directory(pe, "IMAGE_DIRECTORY_ENTRY_IMPORT")
    for section in pe.sections:
        if section.contains_rva(imports.VirtualAddress) and executable(section):
            return False, "the import table lies in executable %s" % name(section)
    return True, "import table in a data section"


def control_flow_guard(pe, _data):
    if has_flag(pe, "IMAGE_DLLCHARACTERISTICS_GUARD_CF"):
        return True, "GUARD_CF"
    return False, "GUARD_CF not set"


def der_items(data, start, end):
    """The (tag, body start, body end) of each DER item in data[start:end]."""
    while start < end:
        tag, length = data[start], data[start + 1]
        start += 2
        if length & 0x80:
            count = length & 0x7F
            length = int.from_bytes(data[start:start + count], "big")
            start += count
        yield tag, start, start + length
        start += length


def oid_text(body):
    first = body[0]
    parts = [first // 40, first % 40]
    value = 0
    for byte in body[1:]:
        value = value << 7 | byte & 0x7F
        if not byte & 0x80:
            parts.append(value)
            value = 0
    return ".".join(str(part) for part in parts)


def signature_digest(pe, data):
    """The digest algorithm (OID) of the image's Authenticode signature, or None."""
    security = directory(pe, "IMAGE_DIRECTORY_ENTRY_SECURITY")
    if security.Size == 0:
        return None
    # WIN_CERTIFICATE: length, revision, type, then the PKCS#7 ContentInfo;
    # its SignedData holds version, then the set of digest algorithms.
    content_info = next(der_items(data, security.VirtualAddress + 8,
                                  security.VirtualAddress + security.Size))
    _oid, explicit = list(der_items(data, content_info[1], content_info[2]))[:2]
    signed_data = next(der_items(data, explicit[1], explicit[2]))
    digests = list(der_items(data, signed_data[1], signed_data[2]))[1]
    algorithm = next(der_items(data, digests[1], digests[2]))
    oid = next(der_items(data, algorithm[1], algorithm[2]))
    return oid_text(data[oid[1]:oid[2]])


def authenticode(pe, data):
    digest = signature_digest(pe, data)
    if digest is None:
        return False, "not signed"
    if digest == SHA256_OID:
        return True, "signed, SHA-256"
    return False, "signed with digest %s, not SHA-256" % digest


RULES = [
    ("aslr", aslr),
    ("dep", dep),
    ("safe-seh", safe_seh),
    ("stack-protector", stack_protector),
    ("no-writable-executable-section", no_writable_executable),
    ("no-shared-writable-section", no_shared_writable),
    ("imports-not-executable", imports_not_executable),
    ("control-flow-guard", control_flow_guard),
    ("authenticode-sha256", authenticode),
]


def toolchain_reasons():
    """The rules docs/hardening.md says the toolchain cannot meet, with the reason."""
    reasons = {}
    with open(DOCS, encoding="utf-8") as docs:
        inside = False
        for line in docs:
            if line.startswith("## "):
                inside = line.strip() == TOOLCHAIN_SECTION
            found = re.match(r"\| `([a-z0-9-]+)` \| (.+) \|$", line.strip()) if inside else None
            if found:
                reasons[found.group(1)] = found.group(2)
    return reasons


def main(arguments):
    signed = "--signed" in arguments
    binaries = [argument for argument in arguments if argument != "--signed"]
    if not binaries:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    reasons = toolchain_reasons()
    failed = 0
    for path in binaries:
        with open(path, "rb") as image:
            data = image.read()
        pe = pefile.PE(data=data)
        if pe.FILE_HEADER.Machine != pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]:
            print("%s: not a 32-bit x86 image" % path)
            failed += 1
            continue
        for rule, check in RULES:
            met, detail = check(pe, data)
            if met:
                verdict = "met"
            elif rule == "authenticode-sha256" and not signed:
                verdict = "not required"
                detail += " (the package step signs)"
            elif rule in reasons:
                verdict = "not met, toolchain"
                detail = reasons[rule]
            else:
                verdict = "NOT MET"
                failed += 1
            print("%-31s %-14s %-18s %s" % (rule, os.path.basename(path), verdict, detail))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
