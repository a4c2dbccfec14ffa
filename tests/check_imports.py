#!/usr/bin/env python3
"""check_imports.py --- reads the import table and the version fields of a built SkyFlare.scr
and compares them with the committed list of what the oldest Windows of its target provides:
a function the list lacks, or a subsystem version that system refuses, would keep the saver
from loading there at all. Prints what it found; exits 1 with one sentence per thing amiss."""
import sys

import pefile


def read_list(path):
    """The list: `oldest <the system's name>`, `subsystem M.N`, `os M.N`, and `DLL function`
    lines; # starts a comment."""
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
            if words[0] in ("subsystem", "os"):
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


def main(saver, list_path):
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
    sys.exit(main(sys.argv[1], sys.argv[2]))
