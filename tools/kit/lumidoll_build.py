#!/usr/bin/env python3
"""lumidoll_build.py --- makes a Sky Flare girl module from 17 pictures and a title.

Usage: lumidoll_build.py --title "Nova, the star skater" --out lumidoll.nov PICTURE x 17

The pictures (PNG or BMP, any colour depth) are the girl's 17 frames in play order. They are
brought to the first picture's size, quantised together to one shared 256-colour table in
which pure black stays black (the transparent colour), and written as GIRL1 to GIRL17 with
the title as string 1 into a resource-only library. No compiler is needed.
"""
import argparse
import os
import re
import sys

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, '..', 'artwork'))
from dibfiles import packed_dib8  # noqa: E402
from resource_library import RT_BITMAP, RT_STRING, string_block, write_library  # noqa: E402

FRAMES = 17
MAX_TITLE = 39
MODULE_NAME = re.compile(r'^lumidoll\.[^.\\/]{1,3}$', re.IGNORECASE)


class KitError(Exception):
    pass


def load_frames(paths):
    frames = []
    for path in paths:
        try:
            image = Image.open(path)
            image.load()
        except (OSError, ValueError) as error:
            raise KitError(f'{path}: not a picture this kit can read ({error})')
        # Transparent parts of a picture become the transparent black.
        if image.mode in ('RGBA', 'LA', 'PA') or (image.mode == 'P' and 'transparency' in image.info):
            rgba = image.convert('RGBA')
            black = Image.new('RGBA', rgba.size, (0, 0, 0, 255))
            image = Image.alpha_composite(black, rgba)
        frames.append(image.convert('RGB'))
    size = frames[0].size
    return [f if f.size == size else f.resize(size, Image.LANCZOS) for f in frames]


def quantise(frames):
    """One shared table for all frames: entry 0 pure black, entries 1.. the figure's colours."""
    width, height = frames[0].size
    montage = Image.new('RGB', (width, height * len(frames)))
    for i, frame in enumerate(frames):
        montage.paste(frame, (0, i * height))
    rgb = np.asarray(montage)
    black = np.all(rgb == 0, axis=2)
    quantised = montage.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    colours = quantised.getpalette()[:255 * 3]
    table = [(0, 0, 0)]
    for i in range(0, len(colours), 3):
        colour = tuple(colours[i:i + 3])
        table.append(colour if colour != (0, 0, 0) else (1, 1, 1))  # only pure black is see-through
    table += [(0, 0, 0)] * (256 - len(table))
    indices = np.where(black, 0, np.asarray(quantised).astype(np.int32) + 1).astype(np.uint8)
    return [indices[i * height:(i + 1) * height] for i in range(len(frames))], table


def build(title, pictures, out):
    name = os.path.basename(out)
    if not MODULE_NAME.match(name):
        raise KitError(f'"{name}" is no girl module name: it must be lumidoll. followed by one to three '
                       f'characters (at most 12 characters in all), or the saver will not find it')
    if len(title) > MAX_TITLE:
        raise KitError(f'the title has {len(title)} characters; a girl\'s title may have at most {MAX_TITLE}')
    if not title:
        raise KitError('the title is empty: the configuration dialog would show an empty line')
    try:
        title.encode('cp1252')
    except UnicodeEncodeError:
        raise KitError('the title has characters outside the Western European code page')
    if len(pictures) != FRAMES:
        raise KitError(f'{len(pictures)} pictures given; a girl needs exactly {FRAMES}, her frames in play order')
    indexed, table = quantise(load_frames(pictures))
    bitmaps = {f'GIRL{i}': packed_dib8(pixels, table) for i, pixels in enumerate(indexed, start=1)}
    write_library(out, {RT_BITMAP: bitmaps, RT_STRING: {1: string_block({1: title})}})


def main(argv=None):
    parser = argparse.ArgumentParser(description='Make a Sky Flare girl module from 17 pictures.')
    parser.add_argument('--title', required=True, help='the girl\'s title, at most 39 characters')
    parser.add_argument('--out', required=True, help='the module file to write, lumidoll.<ext>')
    parser.add_argument('pictures', nargs='+', help='the 17 frames, in play order')
    args = parser.parse_args(argv)
    try:
        build(args.title, args.pictures, args.out)
    except KitError as error:
        print(f'lumidoll_build: {error}', file=sys.stderr)
        return 2
    print(f'{args.out}: "{args.title}", {FRAMES} frames')
    return 0


if __name__ == '__main__':
    sys.exit(main())
