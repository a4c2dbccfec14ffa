#!/usr/bin/python3
"""kit_mistakes.py --- the module builder and the preview, run as an author runs them: every
mistake an author can make gets a plain word and no traceback, and the preview shows her
frames exactly as the module holds them.

Usage: kit_mistakes.py SAMPLE_PICTURES_DIR SAMPLE_MODULE
"""
import os
import struct
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image, ImageSequence

HERE = os.path.dirname(os.path.abspath(__file__))
KIT = os.path.join(HERE, '..', 'tools', 'kit')
BUILD = os.path.join(KIT, 'lumidoll_build.py')
PREVIEW = os.path.join(KIT, 'lumidoll_preview.py')
sys.path.insert(0, KIT)
from resource_library import RT_BITMAP, read_library  # noqa: E402

failures = []


def run(*args, python=(sys.executable,)):
    done = subprocess.run([*python, *args], capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr


def check(what, condition, output=''):
    print(('ok: ' if condition else 'FAILED: ') + what)
    if not condition:
        failures.append(what)
        print(output)


def says(what, result, code, *texts):
    status, output = result
    check(what, status == code and 'Traceback' not in output and all(t in output for t in texts), output)


def picture(folder, name, size, background=(0, 0, 0)):
    image = Image.new('RGB', size, background)
    image.paste((230, 90, 160), (size[0] // 4, size[1] // 4, size[0] * 3 // 4, size[1] * 3 // 4))
    path = os.path.join(folder, name)
    image.save(path)
    return path


def frame_sizes(module):
    bitmaps = read_library(module)[RT_BITMAP]
    return {struct.unpack_from('<ii', bitmaps[f'GIRL{i}'], 4) for i in range(1, 18)}


def main():
    with tempfile.TemporaryDirectory() as work:
        check_kit(sys.argv[1], sys.argv[2], work)
    return 1 if failures else 0


def check_kit(pictures_dir, sample_module, work):
    even = [picture(work, f'even{i}.png', (40, 60)) for i in range(1, 18)]
    out = os.path.join(work, 'lumidoll.tst')

    mixed = even[:4] + [picture(work, 'wide.png', (50, 64))] + even[5:]
    says('pictures of other sizes are refused, each named, with the way out',
         run(BUILD, '--title', 'T', '--out', out, *mixed), 2,
         'picture 5, ', 'wide.png: 50 x 64', '--fit stretch', '--fit pad')
    says('--fit stretch brings them to the first size and says so',
         run(BUILD, '--title', 'T', '--out', out, '--fit', 'stretch', *mixed), 0,
         'picture 5', '50 x 64 stretched to 40 x 60')
    check('stretched: every frame has the first size', frame_sizes(out) == {(40, 60)})
    says('--fit pad centres them on black at the largest size and says so',
         run(BUILD, '--title', 'T', '--out', out, '--fit', 'pad', *mixed), 0,
         'picture 1', '40 x 60 padded with black to 50 x 64')
    check('padded: every frame has the largest size', frame_sizes(out) == {(50, 64)})

    white = even[:2] + [picture(work, 'white.png', (40, 60), (255, 255, 255))] + even[3:]
    says('a picture on white is built, with a warning naming it',
         run(BUILD, '--title', 'T', '--out', out, *white), 0, 'picture 3', 'white.png (GIRL3)', 'not pure black')

    says('an output folder that does not exist is said before any work',
         run(BUILD, '--title', 'T', '--out', os.path.join(work, 'no', 'lumidoll.tst'), *even), 2,
         'does not exist')
    os.mkdir(os.path.join(work, 'lumidoll.dir'))
    says('an output that is a folder is said',
         run(BUILD, '--title', 'T', '--out', os.path.join(work, 'lumidoll.dir'), *even), 2, 'is a folder')
    says('a missing picture is named', run(BUILD, '--title', 'T', '--out', out,
                                           *even[:3], os.path.join(work, 'gone.png'), *even[4:]), 2,
         'picture 4', 'gone.png: no such file')
    with open(os.path.join(work, 'notes.png'), 'w') as f:
        f.write('not a picture')
    says('a file that is no picture is named', run(BUILD, '--title', 'T', '--out', out,
                                                   *even[:16], os.path.join(work, 'notes.png')), 2,
         'picture 17', 'not a picture this kit can read')
    says('a title too long is refused', run(BUILD, '--title', 'Forty characters of title is one too many',
                                            '--out', out, *even), 2,
         'the title has 41 characters; a girl\'s title may have at most 39')
    says('a name the saver would not find is refused',
         run(BUILD, '--title', 'Nova', '--out', os.path.join(work, 'nova.dll'), *even), 2, 'is no girl module name')
    # Without site packages Python has neither Pillow nor NumPy: the author is told what to install.
    says('Pillow and NumPy missing: says which packages to install',
         run(BUILD, '--title', 'T', '--out', out, *even, python=(sys.executable, '-S')), 2,
         'needs Pillow and NumPy', 'python3-pil python3-numpy', 'pip install pillow numpy')

    says('the preview writes her loop', run(PREVIEW, sample_module, work), 0, '17 frames at 10 a second')
    gif = Image.open(os.path.join(work, os.path.basename(sample_module) + '.gif'))
    shown = [np.asarray(f.convert('RGB')) for f in ImageSequence.Iterator(gif)]
    check('the preview has her 17 frames at ten a second, looping',
          len(shown) == 17 and gif.info.get('duration') == 100 and gif.info.get('loop') == 0)
    same = [np.array_equal(f, np.asarray(Image.open(os.path.join(pictures_dir, f'girl{i}.bmp')).convert('RGB')))
            for i, f in enumerate(shown, start=1)]
    check('each preview frame is her bitmap pixel for pixel', len(same) == 17 and all(same))
    check('the contact sheet is written',
          os.path.getsize(os.path.join(work, os.path.basename(sample_module) + '-sheet.png')) > 0)
    says('a preview of a file that is no module says so', run(PREVIEW, os.path.join(work, 'notes.png'), work), 2,
         'is not a girl module')


if __name__ == '__main__':
    sys.exit(main())
