#!/usr/bin/env python3
"""lumidoll_preview.py --- shows a module author her girl's loop before she installs it.

Usage: lumidoll_preview.py MODULE OUTDIR

Writes OUTDIR/<module>.gif, her 17 frames at the saver's ten frames a second, looping, and
OUTDIR/<module>-sheet.png, the 17 frames side by side. The frames are the module's own
bitmaps with their own colour tables, drawn as the saver draws her: each at the first frame's
size, over black (a larger frame is cut at that size, a smaller one has black beyond it).
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from kit_packages import need_pillow_and_numpy  # noqa: E402

Image, ImageDraw, np = need_pillow_and_numpy('lumidoll_preview')
import io  # noqa: E402

from resource_library import RT_BITMAP, dib_as_bmp, read_library  # noqa: E402

FRAMES = 17
TICK_MS = 100


class PreviewError(Exception):
    pass


def frames_as_shown(module):
    """Her 17 frames as the saver shows them, as RGB pictures of the first frame's size."""
    try:
        bitmaps = read_library(module).get(RT_BITMAP, {})
    except ValueError as error:
        raise PreviewError(f'{module} is not a girl module: {error}')
    pictures = []
    for i in range(1, FRAMES + 1):
        dib = bitmaps.get(f'GIRL{i}')
        try:
            pictures.append(Image.open(io.BytesIO(dib_as_bmp(dib))).convert('RGB') if dib else None)
        except (OSError, ValueError, SyntaxError) as error:
            raise PreviewError(f'GIRL{i} of {module} is not a picture that can be shown ({error})')
    if pictures[0] is None:
        raise PreviewError(f'{module} has no GIRL1: the saver shows nothing of her')
    size = pictures[0].size
    shown = []
    for picture in pictures:
        canvas = Image.new('RGB', size)
        if picture is not None:  # a missing frame shows nothing of its own
            canvas.paste(picture, (0, 0))
        shown.append(canvas)
    return shown


def exact_palette_image(frame):
    """The frame as a palette picture with exactly its own colours (a module's frame has at
    most 256); a frame of more colours is reduced, as a GIF must."""
    rgb = np.asarray(frame)
    colours, indices = np.unique(rgb.reshape(-1, 3), axis=0, return_inverse=True)
    if len(colours) > 256:
        return frame.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    image = Image.fromarray(indices.reshape(rgb.shape[:2]).astype(np.uint8), 'P')
    image.putpalette([int(c) for colour in colours for c in colour] + [0] * 3 * (256 - len(colours)))
    return image


def write_preview(module, out_dir):
    frames = frames_as_shown(module)
    name = os.path.basename(module)
    gif = os.path.join(out_dir, name + '.gif')
    sheet_path = os.path.join(out_dir, name + '-sheet.png')
    indexed = [exact_palette_image(f) for f in frames]
    indexed[0].save(gif, save_all=True, append_images=indexed[1:], duration=TICK_MS, loop=0,
                    optimize=False, disposal=1)
    width, height = frames[0].size
    columns, gap, label = 6, 6, 14
    rows = (FRAMES + columns - 1) // columns
    sheet = Image.new('RGB', (columns * (width + gap) + gap, rows * (height + gap + label) + gap), (48, 48, 48))
    draw = ImageDraw.Draw(sheet)
    for i, frame in enumerate(frames):
        x, y = gap + (i % columns) * (width + gap), gap + (i // columns) * (height + gap + label)
        draw.text((x, y), f'GIRL{i + 1}', fill=(220, 220, 220))
        sheet.paste(frame, (x, y + label))
    sheet.save(sheet_path)
    return gif, sheet_path


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    if len(argv) != 2:
        print('usage: lumidoll_preview.py MODULE OUTDIR', file=sys.stderr)
        return 2
    module, out_dir = argv
    try:
        if not os.path.isfile(module):
            raise PreviewError(f'{module} does not exist')
        if not os.path.isdir(out_dir):
            raise PreviewError(f'the folder {out_dir} does not exist: make it first, or name another')
        gif, sheet = write_preview(module, out_dir)
    except PreviewError as error:
        print(f'lumidoll_preview: {error}', file=sys.stderr)
        return 2
    except OSError as error:
        print(f'lumidoll_preview: cannot write the preview: {error.strerror} ({error.filename})', file=sys.stderr)
        return 2
    print(f'{gif}: her {FRAMES} frames at {1000 // TICK_MS} a second; {sheet}: the frames side by side')
    return 0


if __name__ == '__main__':
    sys.exit(main())
