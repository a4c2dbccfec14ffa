#!/usr/bin/env python3
"""lumidoll_build.py --- makes a Sky Flare girl module from 17 pictures and a title.

Usage: lumidoll_build.py --title "Nova, the star skater" --out lumidoll.nov [--fit stretch|pad]
                         [--preview FOLDER] PICTURE x 17

The pictures (PNG or BMP, any colour depth) are the girl's 17 frames in play order, all of one
size; --fit stretch brings pictures of other sizes to the first one's size, --fit pad centres
each on black at the size of the largest, her feet on one line. They are quantised together to
one shared 256-colour table in which pure black stays black (the transparent colour), and
written as GIRL1 to GIRL17 with the title as string 1 into a resource-only library. No compiler
is needed. --preview also writes her loop as a GIF and a contact sheet into FOLDER.
"""
import argparse
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, '..', 'artwork'))
from kit_packages import need_pillow_and_numpy  # noqa: E402

Image, _, np = need_pillow_and_numpy('lumidoll_build')
from dibfiles import packed_dib8  # noqa: E402
from resource_library import RT_BITMAP, RT_STRING, string_block, write_library  # noqa: E402

FRAMES = 17
MAX_TITLE = 39
MODULE_NAME = re.compile(r'^lumidoll\.[^.\\/]{1,3}$', re.IGNORECASE)
BLACK_BORDER_SHARE = 0.9  # as the checker: a figure may touch the edge here and there


class KitError(Exception):
    pass


def check_output(out):
    """Says what is wrong with the module's path before any work is done."""
    name = os.path.basename(out)
    if not MODULE_NAME.match(name):
        raise KitError(f'"{name}" is no girl module name: it must be lumidoll. followed by one to three '
                       f'characters (at most 12 characters in all), or the saver will not find it')
    folder = os.path.dirname(os.path.abspath(out))
    if not os.path.isdir(folder):
        raise KitError(f'the folder {folder} does not exist: make it first, or choose another --out')
    if os.path.isdir(out):
        raise KitError(f'{out} is a folder: --out names the module file to write')
    if not os.access(folder, os.W_OK) or (os.path.exists(out) and not os.access(out, os.W_OK)):
        raise KitError(f'{out} cannot be written here (no permission): choose another --out')


def load_picture(number, path):
    try:
        image = Image.open(path)
        image.load()
    except FileNotFoundError:
        raise KitError(f'picture {number}, {path}: no such file')
    except IsADirectoryError:
        raise KitError(f'picture {number}, {path}: is a folder, not a picture')
    except PermissionError:
        raise KitError(f'picture {number}, {path}: cannot be read (no permission)')
    except (OSError, ValueError, SyntaxError):
        raise KitError(f'picture {number}, {path}: not a picture this kit can read (PNG or BMP)')
    # Transparent parts of a picture become the transparent black.
    if image.mode in ('RGBA', 'LA', 'PA') or (image.mode == 'P' and 'transparency' in image.info):
        rgba = image.convert('RGBA')
        black = Image.new('RGBA', rgba.size, (0, 0, 0, 255))
        image = Image.alpha_composite(black, rgba)
    return image.convert('RGB')


def fit_frames(frames, paths, fit):
    """All frames at one size: refused unless the author said how; each change is named."""
    first = frames[0].size
    odd = [(i, p, f.size) for i, (p, f) in enumerate(zip(paths, frames), start=1) if f.size != first]
    if not odd:
        return frames, []
    listing = '; '.join(f'picture {i}, {p}: {w} x {h}' for i, p, (w, h) in odd)
    if fit is None:
        raise KitError(f'the pictures are not all the size of the first ({first[0]} x {first[1]}): {listing}. '
                       f'Make them one size, or say --fit stretch (to {first[0]} x {first[1]}, changing '
                       f'their shape) or --fit pad (centred on black at the largest size, nothing cut)')
    if fit == 'stretch':
        notes = [f'picture {i}, {p}: {w} x {h} stretched to {first[0]} x {first[1]}' for i, p, (w, h) in odd]
        return [f if f.size == first else f.resize(first, Image.LANCZOS) for f in frames], notes
    width = max(f.size[0] for f in frames)
    height = max(f.size[1] for f in frames)
    padded, notes = [], []
    for i, (p, f) in enumerate(zip(paths, frames), start=1):
        canvas = Image.new('RGB', (width, height))
        canvas.paste(f, ((width - f.size[0]) // 2, height - f.size[1]))
        padded.append(canvas)
        if f.size != (width, height):
            notes.append(f'picture {i}, {p}: {f.size[0]} x {f.size[1]} padded with black to {width} x {height}')
    return padded, notes


def black_border(frame):
    """Whether the frame's border is (nearly all) pure black, so its rectangle does not show."""
    rgb = np.asarray(frame)
    border = np.concatenate([rgb[0], rgb[-1], rgb[1:-1, 0], rgb[1:-1, -1]])
    return np.all(border == 0, axis=1).mean() >= BLACK_BORDER_SHARE


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


def build(title, pictures, out, fit=None, warn=None):
    """Writes the module; gives what the author should know (changes made, warnings)."""
    check_output(out)
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
    frames, notes = fit_frames([load_picture(i, p) for i, p in enumerate(pictures, start=1)], pictures, fit)
    notes += [f'warning: picture {i}, {p} (GIRL{i}): its border is not pure black, so the frame\'s rectangle '
              f'will show on the black screen' for i, (p, f) in enumerate(zip(pictures, frames), start=1)
              if not black_border(f)]
    indexed, table = quantise(frames)
    bitmaps = {f'GIRL{i}': packed_dib8(pixels, table) for i, pixels in enumerate(indexed, start=1)}
    try:
        write_library(out, {RT_BITMAP: bitmaps, RT_STRING: {1: string_block({1: title})}})
    except OSError as error:
        raise KitError(f'{out} cannot be written: {error.strerror}')
    return notes


def main(argv=None):
    parser = argparse.ArgumentParser(description='Make a Sky Flare girl module from 17 pictures.')
    parser.add_argument('--title', required=True, help='the girl\'s title, at most 39 characters')
    parser.add_argument('--out', required=True, help='the module file to write, lumidoll.<ext>')
    parser.add_argument('--fit', choices=('stretch', 'pad'),
                        help='bring pictures of other sizes to one: stretch to the first, or pad with black')
    parser.add_argument('--preview', metavar='FOLDER', help='also write her loop as a GIF and a contact sheet')
    parser.add_argument('pictures', nargs='+', help='the 17 frames, in play order')
    args = parser.parse_args(argv)
    try:
        if args.preview and not os.path.isdir(args.preview):
            raise KitError(f'the preview folder {args.preview} does not exist: make it first')
        notes = build(args.title, args.pictures, args.out, args.fit)
    except KitError as error:
        print(f'lumidoll_build: {error}', file=sys.stderr)
        return 2
    for note in notes:
        print(f'lumidoll_build: {note}', file=sys.stderr)
    print(f'{args.out}: "{args.title}", {FRAMES} frames')
    if args.preview:
        from lumidoll_preview import main as preview
        return preview([args.out, args.preview])
    return 0


if __name__ == '__main__':
    sys.exit(main())
