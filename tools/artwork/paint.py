"""paint.py --- light-on-black painting helpers: glows, rays, soft shapes and ramp palettes.

Pictures are painted as intensity layers, each in one colour family (a ramp from black to
its brightest tint). A pixel takes the family of its brightest layer and the ramp step of
that layer's intensity, so every fade is a walk down the same shared colour table.
"""
import json

import numpy as np
from PIL import Image, ImageDraw, ImageFont

FONT_DIR = '/usr/share/fonts/truetype/dejavu/'


def grid(width, height):
    yy, xx = np.mgrid[0:height, 0:width].astype(np.float64)
    return xx, yy


def ramp(stops, count):
    """count colours along the stops [(position 0..1, (r, g, b)), ...], darkest first."""
    positions = np.array([s[0] for s in stops])
    colours = np.array([s[1] for s in stops], dtype=np.float64)
    out = []
    for i in range(count):
        t = (i + 1) / count
        out.append(tuple(int(round(np.interp(t, positions, colours[:, c]))) for c in range(3)))
    return out


WARM = [(0.0, (0, 0, 0)), (0.25, (120, 24, 4)), (0.55, (236, 116, 16)), (0.8, (255, 204, 90)),
        (1.0, (255, 250, 226))]
COOL = [(0.0, (0, 0, 0)), (0.3, (12, 34, 128)), (0.6, (46, 136, 255)), (0.85, (156, 222, 255)),
        (1.0, (238, 250, 255))]
ROSE = [(0.0, (0, 0, 0)), (0.35, (110, 14, 60)), (0.7, (236, 70, 140)), (1.0, (255, 214, 232))]


class Families:
    """Colour families laid out in a 256-entry table after some fixed entries.

    levels: how many steps each ramp has, in the order of the ramps.
    """

    def __init__(self, fixed, ramps, first, levels):
        self.levels = levels
        self.first = first
        table = [None] * 256
        for index, colour in fixed.items():
            table[index] = colour
        self.bases = []
        position = first
        for stops, count in zip(ramps, self.levels):
            self.bases.append(position)
            for colour in ramp(stops, count):
                assert table[position] is None
                table[position] = colour
                position += 1
        self.table = [c if c is not None else (0, 0, 0) for c in table]

    def compose(self, layers, black, overexposed=None):
        """layers: [(family number, intensity array)] -> 8-bit index picture.

        Intensities run from 0 (black) to 1 (the family's brightest tint); where an
        overexposed index is given, intensities past 1.15 take it (the white-hot core).
        """
        stack = np.stack([np.clip(i, 0, None) for _, i in layers])
        strongest = np.argmax(stack, axis=0)
        value = np.max(stack, axis=0)
        counts = np.array([self.levels[f] for f, _ in layers])[strongest]
        level = np.clip(np.round(value * counts), 0, counts).astype(np.int64)
        bases = np.array([self.bases[f] for f, _ in layers])
        out = np.where(level > 0, bases[strongest] + level - 1, black)
        if overexposed is not None:
            out = np.where(value > 1.15, overexposed, out)
        return out.astype(np.uint8)


def smoothstep(edge0, edge1, x):
    t = np.clip((x - edge0) / (edge1 - edge0), 0.0, 1.0)
    return t * t * (3 - 2 * t)


def border_window(width, height, margin):
    """1 inside, falling smoothly to 0 at the picture's edge, so nothing is cut off hard."""
    xx, yy = grid(width, height)
    d = np.minimum(np.minimum(xx, width - 1 - xx), np.minimum(yy, height - 1 - yy))
    return smoothstep(0, margin, d)


def blur(image, sigma):
    """Separable Gaussian blur of a float array."""
    radius = max(1, int(3 * sigma))
    x = np.arange(-radius, radius + 1)
    kernel = np.exp(-(x / sigma) ** 2 / 2)
    kernel /= kernel.sum()
    padded = np.pad(image, radius, mode='constant')
    rows = np.apply_along_axis(lambda r: np.convolve(r, kernel, mode='valid'), 1, padded)
    return np.apply_along_axis(lambda c: np.convolve(c, kernel, mode='valid'), 0, rows)


def star_spikes(xx, yy, cx, cy, length, width, count=4, angle=0.0):
    """A star's thin rays: count spikes from (cx, cy), fading over length pixels."""
    dx, dy = xx - cx, yy - cy
    r = np.hypot(dx, dy) + 1e-9
    theta = np.arctan2(dy, dx) - angle
    across = np.abs(np.sin(theta * count / 2)) * r  # distance from the nearest ray
    return np.exp(-(across / width) ** 2) * np.exp(-r / length)


def text_mask(text, font_file, size, width, height, centre, scale=4, spacing=0):
    """Antialiased coverage (0..1) of text centred at centre, drawn scale times larger then reduced."""
    font = ImageFont.truetype(FONT_DIR + font_file, size * scale)
    big = Image.new('L', (width * scale, height * scale), 0)
    draw = ImageDraw.Draw(big)
    if spacing:
        widths = [draw.textlength(ch, font=font) for ch in text]
        total = sum(widths) + spacing * scale * (len(text) - 1)
        x = centre[0] * scale - total / 2
        for ch, w in zip(text, widths):
            draw.text((x, centre[1] * scale), ch, font=font, fill=255, anchor='lm')
            x += w + spacing * scale
    else:
        draw.text((centre[0] * scale, centre[1] * scale), text, font=font, fill=255, anchor='mm')
    small = big.resize((width, height), Image.LANCZOS)
    return np.asarray(small, dtype=np.float64) / 255.0


def supersampled(width, height, scale, paint):
    """Run paint(draw, scale) on a scale-times RGBA canvas and reduce it with antialiasing."""
    big = Image.new('RGBA', (width * scale, height * scale), (0, 0, 0, 0))
    paint(ImageDraw.Draw(big), scale)
    return big.resize((width, height), Image.LANCZOS)


def luma(colours):
    """Lightness of (r, g, b) colours as the eye weighs the three channels (Rec. 601)."""
    return np.asarray(colours, dtype=np.float64) @ np.array([0.299, 0.587, 0.114])


def ordered_threshold(width, height, shift=(0, 0)):
    """An 8 x 8 Bayer matrix tiled over the picture: a threshold in (0, 1) fixed to each pixel,
    so a dithered area keeps its pattern from frame to frame and nothing shimmers."""
    bayer = np.zeros((1, 1), dtype=np.int64)
    while bayer.shape[0] < 8:
        bayer = np.block([[4 * bayer, 4 * bayer + 2], [4 * bayer + 3, 4 * bayer + 1]])
    xx, yy = grid(width, height)
    ix = (xx.astype(np.int64) + shift[0]) % 8
    iy = (yy.astype(np.int64) + shift[1]) % 8
    return (bayer[iy, ix] + 0.5) / 64.0


class SharedRange:
    """Ramps of few colours at fixed entries at the top of a 256-entry table, read from a file.

    The file gives the first entry and the colours up to entry 255: ramps one after another,
    each from its darkest step to its brightest (no channel ever darker than the step before),
    a new ramp starting where a channel darkens.
    Entry 0 is black, and so is every entry below the range. A layer's intensity is its light
    as a share of its ramp's brightest step; between two steps (and between black and the
    first) a pixel takes one or the other by an ordered dither, so few steps read as a smooth
    glow, and the faint edge of a glow is a sparse stipple of the first step, never a fog.
    """

    def __init__(self, path):
        with open(path) as f:
            data = json.load(f)
        self.first = data['first']
        colours = [tuple(c) for c in data['colours']]
        assert self.first + len(colours) == 256 and colours[-1] == (255, 255, 255)
        self.table = [(0, 0, 0)] * self.first + colours
        light = luma(colours)
        starts = [0] + [i for i in range(1, len(colours))
                        if any(a < b for a, b in zip(colours[i], colours[i - 1]))]
        ends = starts[1:] + [len(colours)]
        assert all(np.all(np.diff(light[a:b]) > 0) for a, b in zip(starts, ends))
        # Each ramp: its entries and their lightness, with black (entry 0) as step 0.
        self.ramps = [(np.concatenate([[0], self.first + np.arange(a, b)]),
                       np.concatenate([[0.0], light[a:b]])) for a, b in zip(starts, ends)]

    def compose(self, layers, width, height, sharpness=3.0):
        """layers: [(ramp number, intensity array, dithered)] -> 8-bit index picture.

        A layer that is not dithered (the stars' small points) rounds to its nearest step,
        which keeps them crisp. Where layers overlap, a pixel takes one of those not black there,
        chosen by an ordered dither weighted by their light raised to sharpness: the brighter
        wins, but a glow meets a haze in a soft changeover rather than along a hard edge.
        """
        level_dither = ordered_threshold(width, height)
        choice_dither = ordered_threshold(width, height, shift=(3, 5))
        steps_of = []
        weights = []
        for ramp, intensity, dithered in layers:
            entries, steps = self.ramps[ramp]
            value = np.clip(intensity, 0, 1) * steps[-1]
            upper = np.clip(np.searchsorted(steps, value, side='right'), 1, len(steps) - 1)
            fraction = np.clip((value - steps[upper - 1]) / (steps[upper] - steps[upper - 1]), 0, 1)
            # A value within a hair of a step is that step, so a flat area has no lone dots.
            fraction = np.where(fraction < 1 / 32, 0, np.where(fraction > 31 / 32, 1, fraction))
            cut = level_dither if dithered else 0.5
            index = entries[np.where(fraction > cut, upper, upper - 1)]
            steps_of.append(index)
            weights.append(np.where(index > 0, value, 0) ** sharpness)
        weights = np.stack(weights)
        total = weights.sum(axis=0)
        share = np.cumsum(weights, axis=0) / np.where(total > 0, total, 1)
        chosen = np.minimum(np.sum(share <= choice_dither, axis=0), len(layers) - 1)
        out = np.choose(chosen, steps_of)
        return np.where(total > 0, out, 0).astype(np.uint8)
