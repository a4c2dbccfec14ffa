"""paint.py --- light-on-black painting helpers: glows, rays, soft shapes and ramp palettes.

Pictures are painted as intensity layers, each in one colour family (a ramp from black to
its brightest tint). A pixel takes the family of its brightest layer and the ramp step of
that layer's intensity, so every fade is a walk down the same shared colour table.
"""
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
GOLD = [(0.0, (0, 0, 0)), (0.35, (110, 80, 18)), (0.75, (240, 204, 96)), (1.0, (255, 250, 214))]
VIOLET = [(0.0, (0, 0, 0)), (0.35, (64, 16, 104)), (0.7, (178, 74, 214)), (1.0, (255, 200, 255))]
ROSE = [(0.0, (0, 0, 0)), (0.35, (110, 14, 60)), (0.7, (236, 70, 140)), (1.0, (255, 214, 232))]


class Families:
    """Colour families laid out in a 256-entry table after some fixed entries."""

    def __init__(self, fixed, ramps, first):
        self.levels = (256 - len(fixed)) // len(ramps)
        self.first = first
        table = [None] * 256
        for index, colour in fixed.items():
            table[index] = colour
        self.bases = []
        position = first
        for stops in ramps:
            self.bases.append(position)
            for colour in ramp(stops, self.levels):
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
        level = np.clip(np.round(value * self.levels), 0, self.levels).astype(np.int64)
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
