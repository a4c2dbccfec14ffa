#!/usr/bin/env python3
"""check_layers.py --- the saver's rooms, from the program's top down, each including only the
rooms below it: host/, scene/, girls/, resources/, base/. The one call that runs back up is the
chain of the saver window's procedure, from the scene's layer on to the close rules.

Usage: check_layers.py SOURCE-DIR   (prints what each room includes, by room; exits 1 on a fault)
"""
import pathlib
import re
import sys

ROOMS = ['host', 'scene', 'girls', 'resources', 'base']
CHAIN = {('scene/scene_window.cpp', 'host/close_rules.h')}


def main():
    top = pathlib.Path(sys.argv[1])
    faults = []
    for rank, room in enumerate(ROOMS):
        uses = {}
        for source in sorted((top / room).glob('*')):
            if source.suffix not in ('.cpp', '.h', '.rc'):
                continue
            name = f'{room}/{source.name}'
            for included in re.findall(r'#include\s+"([a-z_]+)/([^"]+)"', source.read_text(encoding='utf-8')):
                other = included[0]
                if other == room or other not in ROOMS:
                    continue
                uses[other] = uses.get(other, 0) + 1
                if ROOMS.index(other) < rank and (name, '/'.join(included)) not in CHAIN:
                    faults.append(f'{name} includes {"/".join(included)}, a room above it')
        print(f'{room}/ ->', ' '.join(f'{other}/({count})' for other, count in sorted(uses.items(), key=lambda u: ROOMS.index(u[0]))) or '(nothing)')
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
