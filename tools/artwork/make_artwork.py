#!/usr/bin/python3
"""make_artwork.py --- draws the saver's own pictures: flare, starry sky, banner, logo and icon.

Usage: make_artwork.py OUTDIR [--png]
Writes skyflare1..17.bmp, starry1..7.bmp, url1..6.bmp, logo.bmp and skyflare.ico into OUTDIR;
with --png also a PNG of every picture, for looking at them. Deterministic: the same source
always gives the same bytes.
"""
import math
import os
import sys

import numpy as np
from PIL import Image, ImageDraw

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dibfiles import write_bmp4, write_bmp8, write_icon4  # noqa: E402
from paint import (COOL, ROSE, WARM, Families, SharedRange, blur, border_window,  # noqa: E402
                   grid, smoothstep, star_spikes, supersampled, text_mask)

FLARE_SIZE = (252, 140)
SKY_SIZE = (332, 216)
BANNER_SIZE = (432, 253)
LOGO_SIZE = (320, 83)
# The sky's colours and the entries they take, up to 255: the range every girl's table holds
# too. Three ramps from black: six dark violets for the nebula (only as bright as its haze
# gets), 25 golds for the moon (a step at each fade of its dark side, so that stays flat, and
# close steps over the lit face) and 12 blues for the stars, ending in white.
SKY_RANGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'resources',
                         'sky-range.json')

# The standard 16-colour table, in the order the logo and the icon use.
STANDARD16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
              (0, 128, 128), (128, 128, 128), (192, 192, 192), (255, 0, 0), (0, 255, 0),
              (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def light_families(fixed):
    """The flare's and the banner's ramps, at the same entries in both tables.

    While the flare rises the saver draws the banner with the flare's palette, so the banner
    keeps to colours the flare's table holds: its warm, cool and rose ramps (rose only for the
    banner's small sparkles, which need few steps).
    """
    return Families(fixed, [WARM, COOL, ROSE], first=1, levels=[118, 118, 18])


def flare_frames():
    """Sixteen frames of a pulsing flare whose thin rays turn; a seventeenth spare burst."""
    width, height = FLARE_SIZE
    # White at 0 and black at 255; the warm, cool and rose ramps between them.
    families = light_families({0: (255, 255, 255), 255: (0, 0, 0)})
    xx, yy = grid(width, height)
    cx, cy = width / 2 - 0.5, height / 2 - 0.5
    dx, dy = xx - cx, yy - cy
    r = np.hypot(dx, dy)
    window = border_window(width, height, 14)
    frames = []
    for k in range(17):
        p = (k % 16) / 16.0
        pulse = math.sin(2 * math.pi * p)
        burst = 1.25 if k == 16 else 1.0
        core = 1.5 * np.exp(-(r / (5.0 + 0.8 * pulse)) ** 2) + 0.5 * np.exp(-r / (16 + 3 * pulse))
        cross = 0.95 * star_spikes(xx, yy, cx, cy, 38 * (1 + 0.18 * pulse) * burst, 1.2, 4)
        turning = 0.55 * star_spikes(xx, yy, cx, cy, 24 * (1 + 0.3 * math.cos(2 * math.pi * p)),
                                     0.9, 12, angle=2 * math.pi / 12 * p + 0.13)
        streak = 0.7 * np.exp(-(dy / 1.4) ** 2) * np.exp(-np.abs(dx) / (58 + 8 * pulse))
        cool = (core + cross + turning + streak) * window
        halo = 0.28 * (0.8 + 0.2 * pulse) * np.exp(-((r - 27) / 2.6) ** 2)
        ghosts = np.zeros_like(r)
        for i, (t, radius) in enumerate([(-0.62, 9.0), (-0.38, 5.0), (0.42, 6.5), (0.74, 12.0)]):
            gx, gy = cx + t * 128, cy + t * 58
            twinkle = 0.62 + 0.38 * math.sin(2 * math.pi * (p + i / 4.0))
            d = np.hypot(xx - gx, yy - gy)
            ghosts += 0.42 * twinkle * (smoothstep(radius + 1.2, radius - 1.2, d) * 0.6
                                        + np.exp(-((d - radius) / 1.1) ** 2) * 0.5)
        warm = (halo + ghosts + 0.35 * np.exp(-r / 10)) * window
        frames.append(families.compose([(1, cool), (0, warm)], black=255, overexposed=0))
    return frames, families.table


def sky_frames():
    """A starry sky with a crescent moon, in full at frame 1 and fading out to a blank frame 7.

    Drawn in the sky's shared range only (a nebula, a moon and a star ramp at the top of the
    table), which every girl's table holds too: while she dances, the saver shows the sky with
    her palette, and on a 256-colour display it keeps its own colours.
    """
    width, height = SKY_SIZE
    sky = SharedRange(SKY_RANGE)
    nebula_ramp, moon_ramp, star_ramp = range(3)
    assert len(sky.ramps) == 3, 'the sky range holds a nebula, a moon and a star ramp'
    xx, yy = grid(width, height)
    rng = np.random.default_rng(20261208)
    window = border_window(width, height, 22)
    # A soft violet haze like a wisp of the milky way, lying across the picture.
    haze = np.zeros((height, width))
    for _ in range(14):
        t = rng.uniform(0.1, 0.9)
        hx, hy = t * width, height * (0.85 - 0.7 * t) + rng.normal(0, 12)
        haze += rng.uniform(0.2, 0.45) * np.exp(-(((xx - hx) / rng.uniform(25, 45)) ** 2
                                                  + ((yy - hy) / rng.uniform(12, 22)) ** 2))
    haze = np.clip(haze * 0.6 / 0.24, 0, 1) * window
    stars = []
    while len(stars) < 150:
        x, y = rng.uniform(6, width - 6), rng.uniform(6, height - 6)
        if math.hypot(x - 238, y - 82) < 58:
            continue  # the moon's own patch of sky
        brightness = min(1.0, 0.25 + rng.exponential(0.22))
        stars.append((x, y, brightness, rng.uniform(0.0, 0.6)))
    moon_x, moon_y, moon_r = 238.0, 82.0, 36.0
    lit = smoothstep(moon_r + 0.8, moon_r - 0.8, np.hypot(xx - moon_x, yy - moon_y))
    shadow = smoothstep(moon_r * 0.86 - 0.8, moon_r * 0.86 + 0.8,
                        np.hypot(xx - (moon_x - 17), yy - (moon_y - 10)))
    crescent = lit * shadow
    shading = 0.78 + 0.22 * np.clip((xx - moon_x + moon_r) / (2 * moon_r), 0, 1)
    moon_glow = 0.26 * np.exp(-np.clip(np.hypot(xx - moon_x, yy - moon_y) - moon_r, 0, None) / 6)
    frames = []
    for k in range(7):
        fade = 1.0 - k / 6.0
        light = np.zeros((height, width))
        for x, y, brightness, late in stars:
            # Each star goes out at its own moment, so the sky dims like a real dawn.
            own = np.clip(fade * (1 + late) - late, 0, 1)
            if own <= 0:
                continue
            x0, x1 = int(max(0, x - 9)), int(min(width, x + 10))
            y0, y1 = int(max(0, y - 9)), int(min(height, y + 10))
            sx, sy = xx[y0:y1, x0:x1], yy[y0:y1, x0:x1]
            d2 = (sx - x) ** 2 + (sy - y) ** 2
            glint = brightness * np.exp(-d2 / (0.55 + brightness))
            if brightness > 0.75:
                glint = glint + 0.7 * brightness * star_spikes(sx, sy, x, y, 4.5, 0.7, 4)
            light[y0:y1, x0:x1] += own * glint
        moon = fade * (crescent * shading * 1.0 + moon_glow * (1 - crescent))
        # A star's light as a share of the star ramp's white: a faint star stays a small blue point.
        star_light = np.clip(light * window, 0, 1)
        # The moon hides the haze behind it; around it, glow and haze share the sky.
        frames.append(sky.compose([(star_ramp, star_light * (1 + star_light) / 2, False),
                                   (moon_ramp, moon * window, True),
                                   (nebula_ramp, haze * (1 - lit) * fade * fade, True)], width, height))
    return frames, sky.table


def banner_frames():
    """The product's name on a glowing plate, in full at frame 1 and fading to a blank frame 6."""
    width, height = BANNER_SIZE
    # Black at 0, then the flare's ramps at the flare's own entries.
    families = light_families({0: (0, 0, 0)})
    xx, yy = grid(width, height)
    # A rounded plate: a bright rim with a faint inner light.
    left, top, right, bottom, radius = 26.0, 52.0, width - 27.0, height - 52.0, 34.0
    qx = np.clip(np.maximum(left + radius - xx, xx - (right - radius)), 0, None)
    qy = np.clip(np.maximum(top + radius - yy, yy - (bottom - radius)), 0, None)
    outside = np.hypot(qx, qy) - radius  # < 0 inside the plate
    rim = np.exp(-(outside / 1.6) ** 2) + 0.35 * np.exp(-np.abs(outside) / 7)
    inner = np.where(outside < 0, 0.16 + 0.08 * (yy - top) / (bottom - top), 0)
    plate = (rim + inner) * border_window(width, height, 8)
    name = text_mask('Sky Flare', 'DejaVuSans-Bold.ttf', 70, width, height, (width / 2, 118))
    sheen = 1.0 - 0.28 * np.clip((yy - 88) / 60, 0, 1)
    name_glow = np.clip(blur(name, 5.0) * 0.75, 0, 0.6)
    subtitle = text_mask('SCREEN SAVER', 'DejaVuSans.ttf', 17, width, height, (width / 2, 172),
                         spacing=6)
    sparkles = np.zeros((height, width))
    for sx, sy, size in [(62, 30, 1.0), (372, 224, 1.0), (396, 38, 0.7), (40, 220, 0.6),
                         (216, 26, 0.55)]:
        sparkles += size * (np.exp(-((xx - sx) ** 2 + (yy - sy) ** 2) / 3.0)
                            + star_spikes(xx, yy, sx, sy, 9 * size, 0.8, 4))
    window = border_window(width, height, 8)
    frames = []
    for k in range(6):
        fade = 1.0 - k / 5.0
        letters = np.maximum(name * sheen, name_glow) * fade
        cool = np.maximum(plate * fade, subtitle * 0.95 * fade)
        rose = sparkles * fade * fade
        frames.append(families.compose([(0, letters * window), (1, cool * window), (2, rose * window)],
                                       black=0))
    return frames, families.table


def quantise16(image, dither):
    """Map an RGB picture to the standard 16 colours."""
    palette_image = Image.new('P', (1, 1))
    flat = [c for rgb in STANDARD16 for c in rgb] + [0, 0, 0] * 240
    palette_image.putpalette(flat)
    mode = Image.Dither.FLOYDSTEINBERG if dither else Image.Dither.NONE
    indices = np.asarray(image.convert('RGB').quantize(palette=palette_image, dither=mode))
    return np.where(indices < 16, indices, 0).astype(np.uint8)


def logo_picture():
    """The dialog's logo: the name beside a flare on a strip of night sky, in 16 colours."""
    width, height = LOGO_SIZE
    xx, yy = grid(width, height)
    sky = np.zeros((height, width, 3))
    t = yy / (height - 1)
    sky[..., 2] = 128 * (1 - 0.75 * t)
    sky[..., 0] = 10 * (1 - t)
    rng = np.random.default_rng(144)
    for _ in range(40):
        x, y = rng.uniform(0, width), rng.uniform(0, height)
        b = rng.uniform(120, 255)
        sky += (b * np.exp(-((xx - x) ** 2 + (yy - y) ** 2) / 0.6))[..., None]
    glow = (1.6 * np.exp(-((xx - 44) ** 2 + (yy - 41) ** 2) / 40.0)
            + 0.9 * star_spikes(xx, yy, 44, 41, 16, 1.0, 4)
            + 0.35 * np.exp(-((yy - 41) / 1.2) ** 2) * np.exp(-np.abs(xx - 44) / 30))
    sky += np.stack([255 * glow, 255 * glow, 170 * glow], axis=-1)
    name = text_mask('Sky Flare', 'DejaVuSans-Bold.ttf', 36, width, height, (188, 35))
    subtitle = text_mask('a screen saver', 'DejaVuSans-Oblique.ttf', 13, width, height, (188, 64))
    sky = sky * (1 - name[..., None]) + name[..., None] * np.array([255, 255, 0])
    sky = sky * (1 - subtitle[..., None]) + subtitle[..., None] * np.array([192, 192, 192])
    image = Image.fromarray(np.clip(sky, 0, 255).astype(np.uint8), 'RGB')
    return quantise16(image, dither=True)


def icon_picture():
    """A 32 x 32 four-pointed flare in 16 colours, with its transparency mask."""
    def draw_flare(draw, s):
        c = 16 * s
        for length, wide, colour in [(15, 3.2, (255, 255, 0, 255)), (9, 2.0, (255, 255, 255, 255))]:
            for ax, ay in [(1, 0), (0, 1)]:
                pts = [(c + ax * length * s, c + ay * length * s),
                       (c + ay * wide * s, c + ax * wide * s),
                       (c - ax * length * s, c - ay * length * s),
                       (c - ay * wide * s, c - ax * wide * s)]
                draw.polygon(pts, fill=colour)
        for ax, ay in [(1, 1), (1, -1)]:
            draw.line([(c - ax * 8 * s, c - ay * 8 * s), (c + ax * 8 * s, c + ay * 8 * s)],
                      fill=(0, 255, 255, 255), width=int(1.6 * s))
        draw.ellipse([c - 4 * s, c - 4 * s, c + 4 * s, c + 4 * s], fill=(255, 255, 255, 255))
    image = supersampled(32, 32, 8, draw_flare)
    alpha = np.asarray(image)[..., 3]
    return quantise16(image, dither=False), alpha < 110


def to_png(path, indices, table):
    image = Image.fromarray(indices, 'P')
    image.putpalette([c for rgb in table for c in rgb] + [0, 0, 0] * (256 - len(table)))
    image.save(path)


def main():
    outdir = sys.argv[1]
    want_png = '--png' in sys.argv[2:]
    os.makedirs(outdir, exist_ok=True)
    for prefix, (frames, table) in [('skyflare', flare_frames()), ('starry', sky_frames()),
                                    ('url', banner_frames())]:
        for number, indices in enumerate(frames, start=1):
            write_bmp8(os.path.join(outdir, f'{prefix}{number}.bmp'), indices, table)
            if want_png:
                to_png(os.path.join(outdir, f'{prefix}{number}.png'), indices, table)
    logo = logo_picture()
    write_bmp4(os.path.join(outdir, 'logo.bmp'), logo, STANDARD16)
    icon, transparent = icon_picture()
    write_icon4(os.path.join(outdir, 'skyflare.ico'), icon, transparent, STANDARD16)
    if want_png:
        to_png(os.path.join(outdir, 'logo.png'), logo, STANDARD16)
        to_png(os.path.join(outdir, 'icon.png'), np.where(transparent, 8, icon).astype(np.uint8),
               STANDARD16)


if __name__ == '__main__':
    main()
