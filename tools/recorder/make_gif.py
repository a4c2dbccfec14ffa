#!/usr/bin/python3
"""make_gif.py --- turns the recorder's frames into an animated GIF and a contact sheet.

Usage: make_gif.py FRAMES_DIR GIF PNG
The GIF plays at ten frames a second, as the saver does, and loops; the contact sheet shows
every eighth tick. The frames are removed afterwards.
"""
import glob
import os
import sys

from PIL import Image


def main():
    folder, gif, sheet_path = sys.argv[1:4]
    paths = sorted(glob.glob(os.path.join(folder, 'frame*.bmp')))
    frames = [Image.open(p).convert('RGB') for p in paths]
    # One palette for the whole cycle, from a sample of its ticks, so unchanged parts stay
    # unchanged from frame to frame.
    sample = frames[::max(1, len(frames) // 24)]
    width, height = frames[0].size
    montage = Image.new('RGB', (width, height * len(sample)))
    for i, frame in enumerate(sample):
        montage.paste(frame, (0, i * height))
    palette = montage.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    indexed = [f.quantize(palette=palette, dither=Image.Dither.NONE) for f in frames]
    indexed[0].save(gif, save_all=True, append_images=indexed[1:], duration=100, loop=0, optimize=False)
    chosen = frames[::8]
    columns = 6
    thumb = (width // 3, height // 3)
    rows = (len(chosen) + columns - 1) // columns
    sheet = Image.new('RGB', (columns * (thumb[0] + 4) + 4, rows * (thumb[1] + 4) + 4), (48, 48, 48))
    for i, frame in enumerate(chosen):
        sheet.paste(frame.resize(thumb, Image.LANCZOS),
                    (4 + (i % columns) * (thumb[0] + 4), 4 + (i // columns) * (thumb[1] + 4)))
    sheet.save(sheet_path)
    for p in paths:
        os.remove(p)
    print(f'{gif}: {len(frames)} frames; {sheet_path}: {len(chosen)} ticks')


if __name__ == '__main__':
    main()
