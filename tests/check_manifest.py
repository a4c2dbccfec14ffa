#!/usr/bin/env python3
"""check_manifest.py --- reads the application manifest back from a built SkyFlare.scr and
checks that it is well-formed XML saying what Windows needs to run the saver well: DPI-aware
(per monitor where offered, system-aware before), Vista to 11 supported, no elevation, and
version 6 of the common controls. Prints what it found; exits 1 on the first thing amiss."""
import sys
import xml.etree.ElementTree as ElementTree

import pefile

RT_MANIFEST = 24
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
SETTINGS_2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
SETTINGS_2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
WINDOWS_VERSIONS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10 and 11",
}


def manifest_of(path):
    image = pefile.PE(path)
    if not hasattr(image, "DIRECTORY_ENTRY_RESOURCE"):
        return None
    for kind in image.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != RT_MANIFEST:
            continue
        for name in kind.directory.entries:
            if name.id == 1:
                data = name.directory.entries[0].data.struct
                return image.get_data(data.OffsetToData, data.Size)
    return None


def main(path):
    problems = []

    def expect(condition, what):
        print(("ok: " if condition else "MISSING: ") + what)
        if not condition:
            problems.append(what)

    raw = manifest_of(path)
    expect(raw is not None, "a manifest, resource type 24 number 1")
    if raw is None:
        return 1
    root = ElementTree.fromstring(raw)  # raises on anything that is not well-formed XML
    expect(root.tag == ASM_V1 + "assembly", "an assembly of the version 1 schema")

    controls = [a for a in root.iter(ASM_V1 + "assemblyIdentity")
                if a.get("name") == "Microsoft.Windows.Common-Controls"]
    expect(any(a.get("version") == "6.0.0.0" and a.get("publicKeyToken") == "6595b64144ccf1df"
               for a in controls), "common controls version 6")

    levels = [r.get("level") for r in root.iter(ASM_V3 + "requestedExecutionLevel")]
    expect(levels == ["asInvoker"], "runs as its invoker, asking for no elevation")

    named = {s.get("Id") for s in root.iter(COMPATIBILITY + "supportedOS")}
    for guid, version in WINDOWS_VERSIONS.items():
        expect(guid in named, "supports Windows " + version)

    aware = [e.text.strip() for e in root.iter(SETTINGS_2005 + "dpiAware")]
    expect(aware == ["true/pm"], "DPI-aware: system-aware from Vista, per monitor from 8.1")
    awareness = [e.text.strip() for e in root.iter(SETTINGS_2016 + "dpiAwareness")]
    expect(awareness == ["PerMonitorV2, PerMonitor"], "per-monitor DPI awareness on Windows 10 and 11")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
