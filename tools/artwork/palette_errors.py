#!/usr/bin/python3
"""palette_errors.py --- how far a 256-colour display moves the sky and the banner off their colours.

Usage: palette_errors.py ARTWORK_DIR [GIRL_FRAME.bmp ...]
On a palette display every colour of a picture goes to the nearest colour of the palette the
saver realizes: a girl's table while she dances (the sky is drawn with it), the flare's while it
rises (the banner is drawn with it). For the sky's first frame in each girl's table given (any of
her frames: they share one table), and for the banner's first frame in the flare's table, this
prints the mean and the worst error over their non-black pixels: the Euclidean distance in
r, g, b (at most 441) from each pixel's colour to its nearest, by squared distance, in the table.
0 means the picture shows in its own colours.
"""
import os
import sys

import numpy as np
from PIL import Image


def picture(path):
    """An 8-bit bitmap's pixels as (r, g, b) rows, and its 256-entry colour table."""
    image = Image.open(path)
    table = np.array(image.getpalette()[:768], dtype=np.int64).reshape(-1, 3)
    table = np.concatenate([table, np.zeros((256 - len(table), 3), dtype=np.int64)])
    return table[np.asarray(image)].reshape(-1, 3), table


def errors(pixels, table):
    """Mean and worst distance from the non-black pixels to their nearest table colours."""
    shown = pixels[pixels.any(axis=1)]
    colours, counts = np.unique(shown, axis=0, return_counts=True)
    nearest = ((colours[:, None, :] - table[None, :, :]) ** 2).sum(axis=2).min(axis=1)
    distance = np.sqrt(nearest)
    return (distance * counts).sum() / counts.sum(), distance.max()


def main():
    artwork, girls = sys.argv[1], sys.argv[2:]
    sky, _ = picture(os.path.join(artwork, 'starry1.bmp'))
    banner, _ = picture(os.path.join(artwork, 'url1.bmp'))
    _, flare_table = picture(os.path.join(artwork, 'skyflare1.bmp'))
    for path in girls:
        _, girl_table = picture(path)
        mean, worst = errors(sky, girl_table)
        print('the sky in the table of %s: mean %.2f, worst %.1f' % (path, mean, worst))
    print('the banner in the flare\'s table: mean %.2f, worst %.1f' % errors(banner, flare_table))


if __name__ == '__main__':
    main()
