#!/usr/bin/env python3
"""check_imports.py --- reads the import table, the version fields and the code of a built
SkyFlare.scr and compares them with the committed list of what the oldest Windows of its target
provides: a function the list lacks, or a subsystem version that system refuses, would keep the
saver from loading there at all, and an instruction newer than the processor the list names
would stop it at that instruction. Prints what it found; exits 1 with one sentence per thing
amiss. Usage: check_imports.py SAVER LIST OBJDUMP (the target toolchain's objdump)."""
import re
import subprocess
import sys

import pefile

# What the 486 lacks, by the processor that brought it, and the processors Windows 95 ran on
# that stop at it with an illegal instruction. Left out on purpose: tzcnt (rep bsf, which the
# compiler uses only where the 486 runs it as bsf with the same result), pause (rep nop, a nop
# there) and ud2 (meant to stop the program, and on a 486 it does so the same way).
NEWER_THAN_486 = [
    (r"cmov\w+|fcmov\w+|fu?comip?|rdpmc|nop[wl]|endbr(32|64)|sysenter|sysexit|fxsave|fxrstor",
     "the Pentium Pro", "a 486, a Pentium, a Pentium MMX or an AMD K6"),
    (r"cpuid|rdtscp?|rdmsr|wrmsr|rsm|cmpxchg8b",
     "the Pentium", "a 486"),
    (r"emms|femms|prefetch\w*|[lsm]fence|clflush\w*|movnti|[ls]dmxcsr|fisttp\w*|monitor|mwait"
     r"|popcnt|lzcnt|movbe|crc32\w*|andn|bextr|bls\w+|bzhi|pdep|pext|mulx|rorx|sarx|shlx|shrx"
     r"|adcx|adox|rdrand|rdseed|xsave\w*|xrstor\w*|xgetbv",
     "MMX, SSE or later", "a 486, a Pentium or a Pentium Pro"),
]
NEWER_REGISTERS = re.compile(r"%(x|y|z)?mm\d")  # MMX, SSE and AVX registers
PREFIXES = {"rep", "repz", "repe", "repnz", "repne", "lock", "data16", "addr32", "cs", "ds", "es",
            "ss", "fs", "gs", "notrack", "bnd"}
LABEL = re.compile(r"^([0-9a-f]+) <(.*)>:$")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\t(.*)$")


def read_list(path):
    """The list: `oldest <the system's name>`, `subsystem M.N`, `os M.N`, `processor i486`
    (only instructions that processor has), and `DLL function` lines; # starts a comment."""
    header, allowed = {"oldest": "the oldest Windows of this target"}, {}
    with open(path, encoding="utf-8") as listing:
        for number, line in enumerate(listing, 1):
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            if words[0] == "oldest":
                header["oldest"] = " ".join(words[1:])
                continue
            if len(words) != 2:
                raise SystemExit(f"{path}:{number}: expected two words, found {line.strip()!r}")
            if words[0] in ("subsystem", "os", "processor"):
                header[words[0]] = words[1]
            else:
                allowed.setdefault(words[0].upper(), set()).add(words[1])
    return header, allowed


def imports_of(image):
    found = {}
    for entry in getattr(image, "DIRECTORY_ENTRY_IMPORT", []):
        names = found.setdefault(entry.dll.decode("ascii"), set())
        for symbol in entry.imports:
            names.add(symbol.name.decode("ascii") if symbol.name else f"#{symbol.ordinal}")
    return found


def code_problems(saver, objdump, processor):
    """Sentences for what in the code section no start-up code runs (a static constructor:
    the saver starts at its own entry) and, with a processor named, what it lacks."""
    listing = subprocess.run([objdump, "-d", "-C", "--no-show-raw-insn", saver], check=True,
                             capture_output=True, text=True).stdout
    problems, function, count = [], "the start of the code", 0
    for line in listing.splitlines():
        label = LABEL.match(line)
        if label:
            function = label.group(2)
            if function.startswith("_GLOBAL__sub_I_"):
                problems.append(f"{saver} has a static constructor, {function}, which nothing "
                                f"runs: the saver starts at its own entry, without the "
                                f"toolchain's start-up code; give the object a constant value.")
            continue
        instruction = INSTRUCTION.match(line)
        if not instruction or processor is None:
            continue
        count += 1
        words = instruction.group(2).split()
        while words and words[0] in PREFIXES:
            words = words[1:]
        if not words:
            continue
        mnemonic = words[0]
        for pattern, era, stops in NEWER_THAN_486:
            if re.fullmatch(pattern, mnemonic):
                break
        else:
            if not NEWER_REGISTERS.search(instruction.group(2)):
                continue
            era, stops = "MMX, SSE or later", "a 486, a Pentium or a Pentium Pro"
        problems.append(f"{saver}: {function} has {mnemonic} at 0x{instruction.group(1)}, an "
                        f"instruction that came with {era} and that the {processor} lacks: the "
                        f"saver stops there with an illegal instruction on {stops}.")
    if processor is not None and not problems:
        print(f"ok: {count} instructions, none that the {processor} lacks")
    return problems


def main(saver, list_path, objdump):
    header, allowed = read_list(list_path)
    image = pefile.PE(saver, fast_load=True)
    image.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    optional = image.OPTIONAL_HEADER
    problems = []

    fields = {
        "subsystem": f"{optional.MajorSubsystemVersion}.{optional.MinorSubsystemVersion}",
        "os": f"{optional.MajorOperatingSystemVersion}.{optional.MinorOperatingSystemVersion}",
    }
    oldest = header.pop("oldest")
    problems += code_problems(saver, objdump, header.pop("processor", None))
    for field, wanted in header.items():
        what = "subsystem version" if field == "subsystem" else "operating system version"
        if fields[field] == wanted:
            print(f"ok: {what} {wanted}")
        else:
            problems.append(f"{saver} carries {what} {fields[field]} where {list_path} names "
                            f"{wanted}: a newer one does not load on {oldest}.")

    found = imports_of(image)
    for dll in sorted(found, key=str.upper):
        names = allowed.get(dll.upper())
        if names is None:
            problems.append(f"{saver} imports from {dll}, which {list_path} does not name: "
                            f"check it against {oldest}, then add its functions to the list.")
            continue
        new = sorted(found[dll] - names)
        for name in new:
            problems.append(f"{saver} imports {name} from {dll}, which {list_path} does not "
                            f"name: find it at run time, or check it against {oldest} "
                            f"and add it to the list.")
        if not new:
            print(f"ok: {dll}: {len(found[dll])} functions, all on the list")
    for problem in problems:
        print("NEW: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3]))
