#!/usr/bin/python3
"""make_girls.py --- draws the three sample girls and writes each as module sources.

Usage: make_girls.py OUTDIR [--png]
For each girl writes OUTDIR/<name>/girl1.bmp .. girl17.bmp (8-bit, one shared 256-colour
table that holds the sky's range, pure black background) and OUTDIR/<name>/module.rc (her title
as string 1 in each of the saver's languages, the pictures as GIRL1 to GIRL17), and
OUTDIR/titles.txt listing every title; with --png also a contact sheet OUTDIR/<name>.png.
Deterministic.
"""
import json
import math
import os
import sys

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, '..', 'artwork'))
from dibfiles import write_bmp8  # noqa: E402
from figures import Canvas, arm, head, leg, polar, shade  # noqa: E402

FRAMES = 17
# The sky's colours at the top of the table: while she dances the saver shows the sky with her
# palette, so hers holds them at their very entries.
with open(os.path.join(HERE, '..', '..', 'resources', 'sky-range.json')) as _f:
    SKY_RANGE = json.load(_f)


def aurora(t):
    """A ballerina: port de bras over a slow développé, tutu bouncing."""
    skin, hair = (245, 198, 160), (110, 62, 30)
    dress, tutu, tights, shoes = (232, 96, 162), (255, 168, 208), (250, 212, 222), (246, 140, 178)
    c = Canvas(132, 200, zoom=1.55)
    phi = 2 * math.pi * t
    hip = (42.5, 82.0)
    sway = 5 * math.sin(phi)
    neck = polar(hip, 30, 180 + sway)
    left_hip, right_hip = (hip[0] - 4, hip[1]), (hip[0] + 4, hip[1])
    # The supporting leg on pointe, the working leg unfolding to the side and back.
    leg(c, left_hip, -4 + sway * 0.3, -2, tights, shoes, shoe_dir=-1)
    lift = 0.5 - 0.5 * math.cos(phi)
    leg(c, right_hip, 18 + 58 * lift, 18 + 58 * lift - 45 * math.sin(phi * 0.5) ** 2, tights, shoes)
    # Bodice, then the tutu over the hips.
    l_sh, r_sh = polar(neck, 7.5, 270 + sway), polar(neck, 7.5, 90 + sway)
    c.polygon([l_sh, r_sh, (right_hip[0] + 2, hip[1] + 1), (left_hip[0] - 2, hip[1] + 1)], dress)
    bounce = 2.5 * math.sin(2 * phi)
    c.ellipse(((hip[0] - 26 - bounce, hip[1] - 4), (hip[0] + 26 + bounce, hip[1] + 9)), shade(tutu, 0.8))
    c.ellipse(((hip[0] - 22 - bounce, hip[1] - 6), (hip[0] + 22 + bounce, hip[1] + 5)), tutu)
    for k in range(7):  # pleats
        x = hip[0] - 18 - bounce * 0.8 + k * (36 + bounce * 1.6) / 6
        c.limb((x, hip[1] - 2), (x + 1.5, hip[1] + 4), 1.2, shade(tutu, 0.86), highlight=False)
    c.limb((hip[0] - 9, hip[1] - 8), (hip[0] + 9, hip[1] - 8), 2.2, shade(dress, 0.8), highlight=False)
    # Arms: one rises through fifth position while the other opens to the side.
    up = 0.5 + 0.5 * math.sin(phi)
    arm(c, l_sh, -(95 + 70 * up), -(120 + 55 * up), skin, dress, 0.3)
    arm(c, r_sh, 80 + 35 * (1 - up), 105 + 40 * (1 - up), skin, dress, 0.3)
    c.limb(neck, polar(neck, 5, 180 + sway), 5, skin)
    head(c, polar(neck, 3, 180 + sway), sway * 1.5, skin, hair, 'bun')
    return c.finish()


def mira(t):
    """An ice skater gliding in a spiral, free leg high behind, scarf streaming."""
    skin, hair = (250, 212, 182), (238, 196, 86)
    dress, skirt, tights = (46, 112, 232), (96, 160, 255), (236, 196, 176)
    boots, blade, scarf = (236, 238, 248), (170, 186, 204), (226, 48, 64)
    c = Canvas(168, 180, zoom=1.45)
    phi = 2 * math.pi * t
    hip = (52.0, 72.0)
    lean = 148 + 5 * math.sin(phi)
    neck = polar(hip, 29, lean)
    # Scarf first, behind everything: a wave travelling back along it.
    points = [neck]
    for i in range(1, 12):
        points.append((neck[0] - 3.2 * i, neck[1] + 1.2 * i + 3.2 * math.sin(phi - 0.75 * i) * (i / 11)))
    c.curve(points, 4.0, scarf)
    # Free leg stretched behind, rising and falling a little.
    free = -78 - 14 * math.sin(phi)
    leg(c, hip, free, free - 8, tights, boots, shoe_dir=-1)
    ankle = leg(c, hip, 10, -2 + 4 * math.sin(phi), tights, boots)
    c.limb((ankle[0] - 3, ankle[1] + 5.5), (ankle[0] + 11, ankle[1] + 5.5), 1.6, blade, highlight=False)
    # Dress and a skirt that flares out behind the skater.
    front, back = polar(neck, 6, lean + 90), polar(neck, 6, lean - 90)
    c.polygon([back, front, polar(hip, 5, 90), polar(hip, 5, -90)], dress)
    flare = 3 * math.sin(phi + 1)
    c.polygon([polar(hip, 5, 60), polar(hip, 6, -60), (hip[0] - 20 - flare, hip[1] + 8),
               (hip[0] - 6, hip[1] + 12), (hip[0] + 8, hip[1] + 10)], skirt)
    # Arms: the leading one reaches forward, the other sweeps back in balance.
    arm(c, polar(neck, 3, lean + 180), 118 + 16 * math.sin(phi), 128 + 10 * math.sin(phi), skin, dress, 0.9)
    arm(c, polar(neck, 3, lean + 180), -108 + 14 * math.sin(phi + 0.6), -96, skin, dress, 0.9)
    c.limb(neck, polar(neck, 5, lean), 5, skin)
    head(c, polar(neck, 3, lean), lean - 180 + 10, skin, hair, 'ponytail')
    c.limb(polar(neck, 1, lean + 90), polar(neck, 1, lean - 90), 4.5, scarf, highlight=False)
    return c.finish()


def lyra(t):
    """A rhythmic gymnast whose ribbon circles in a spiral above her."""
    skin, hair = (208, 150, 108), (86, 52, 40)
    leotard, belt, tights = (28, 168, 122), (244, 192, 44), (222, 170, 130)
    ribbon = (206, 84, 236)
    c = Canvas(120, 220, zoom=1.5)
    phi = 2 * math.pi * t
    hip = (38.0, 104.0)
    bend = 180 - 6 * math.sin(phi)
    neck = polar(hip, 30, bend)
    leg(c, (hip[0] - 3, hip[1]), -12 - 4 * math.sin(phi), -4, tights, belt, shoe_dir=-1)
    leg(c, (hip[0] + 3, hip[1]), 22 + 8 * math.sin(phi), 4 + 10 * math.sin(phi), tights, belt)
    l_sh, r_sh = polar(neck, 7, 270 + bend - 180), polar(neck, 7, 90 + bend - 180)
    c.polygon([l_sh, r_sh, (hip[0] + 6, hip[1] + 2), (hip[0] - 6, hip[1] + 2)], leotard)
    swish = 2 * math.sin(phi + 0.5)
    c.polygon([(hip[0] - 7, hip[1] - 3), (hip[0] + 7, hip[1] - 3), (hip[0] + 12 + swish, hip[1] + 9),
               (hip[0] - 12 + swish, hip[1] + 9)], shade(leotard, 1.15))
    c.limb((hip[0] - 6, hip[1] - 3), (hip[0] + 6, hip[1] - 3), 2.6, belt, highlight=False)
    arm(c, l_sh, -60 - 10 * math.sin(phi), -40, skin, leotard, 0.4)
    hand = arm(c, r_sh, 150 + 14 * math.sin(phi), 168 + 10 * math.sin(phi), skin, leotard, 0.4)
    stick_end = polar(hand, 12, 190 + 10 * math.sin(phi))
    c.limb(hand, stick_end, 1.4, (240, 232, 220), highlight=False)
    # The ribbon: a helix rising from the stick, turning once per loop.
    points = []
    for i in range(60):
        s = i / 59
        angle = phi + s * 3.4 * math.pi
        radius = 3 + 17 * s
        points.append((stick_end[0] + radius * math.cos(angle) - 6 * s,
                       stick_end[1] - 48 * s + 0.45 * radius * math.sin(angle) + 40 * s * s))
    c.curve(points, 3.0, ribbon)
    c.curve(points[::2], 1.0, shade(ribbon, 1.3))
    c.limb(neck, polar(neck, 5, bend), 5, skin)
    head(c, polar(neck, 3, bend), bend - 180, skin, hair, 'long')
    return c.finish()


GIRLS = [
    ('aurora', 'lumidoll.aur', aurora),
    ('mira', 'lumidoll.mir', mira),
    ('lyra', 'lumidoll.lyr', lyra),
]

# Each girl's title in each of the saver's languages, as a user of that language's Windows writes
# it: her name is a name, written in the language's own script where it has one; what she does is
# said in the language. Each language with its LANGUAGE and SUBLANGUAGE, as the saver's own
# resources have them, and the code page its Windows 95 family shows text in, which must hold every
# letter of its titles. English (United Kingdom) is the one the saver falls back on.
TITLES = [
    ((9, 2), 'cp1252', ['Aurora, the ballerina', 'Mira, the ice skater', 'Lyra, the ribbon dancer']),
    ((7, 1), 'cp1252', ['Aurora, die Ballerina', 'Mira, die Eiskunstläuferin', 'Lyra, die Bandtänzerin']),
    ((12, 1), 'cp1252', ['Aurora, la ballerine', 'Mira, la patineuse sur glace', 'Lyra, la danseuse au ruban']),
    ((10, 1), 'cp1252', ['Aurora, la bailarina', 'Mira, la patinadora sobre hielo', 'Lyra, la bailarina de cinta']),
    ((16, 1), 'cp1252', ['Aurora, la ballerina', 'Mira, la pattinatrice sul ghiaccio',
                         'Lyra, la danzatrice con il nastro']),
    ((22, 1), 'cp1252', ['Aurora, a bailarina', 'Mira, a patinadora no gelo', 'Lyra, a dançarina da fita']),
    ((19, 1), 'cp1252', ['Aurora, de ballerina', 'Mira, de schaatsster', 'Lyra, de lintdanseres']),
    ((29, 1), 'cp1252', ['Aurora, ballerinan', 'Mira, skridskoåkerskan', 'Lyra, dansösen med bandet']),
    ((21, 1), 'cp1250', ['Aurora, baletnica', 'Mira, łyżwiarka', 'Lyra, tancerka ze wstążką']),
    ((5, 1), 'cp1250', ['Aurora, baletka', 'Mira, bruslařka', 'Lyra, tanečnice se stuhou']),
    ((25, 1), 'cp1251', ['Аврора, балерина', 'Мира, фигуристка', 'Лира, танцовщица с лентой']),
    ((17, 1), 'cp932', ['バレリーナのオーロラ', 'アイススケーターのミラ', 'リボンダンサーのライラ']),
    ((4, 2), 'cp936', ['芭蕾舞者奥罗拉', '滑冰选手米拉', '彩带舞者莱拉']),
    ((4, 1), 'cp950', ['芭蕾舞者奧蘿拉', '溜冰選手米拉', '彩帶舞者萊拉']),
    ((18, 1), 'cp949', ['발레리나 오로라', '아이스 스케이터 미라', '리본 댄서 라이라']),
]


def shared_palette(frames):
    """Quantise all frames together to one table: entry 0 pure black, then her colours, then the
    sky's range up to entry 255; each of her pixels takes the nearest of her and the sky's
    colours."""
    first = SKY_RANGE['first']
    width, height = frames[0].size
    pixels = np.concatenate([np.asarray(f.convert('RGB')).reshape(-1, 3)
                             for f in frames]).astype(np.int64)
    figure = np.concatenate([np.asarray(f)[..., 3].reshape(-1) >= 96 for f in frames])
    # Median cut over her figure alone, so that the black around her takes none of her entries.
    hers = Image.fromarray(pixels[figure][None].astype(np.uint8), 'RGB')
    quantised = hers.quantize(colors=first - 1, method=Image.Quantize.MEDIANCUT,
                              dither=Image.Dither.NONE)
    colours = (quantised.getpalette() + [0] * 768)[:(first - 1) * 3]
    table = ([(0, 0, 0)] + [tuple(colours[i:i + 3]) for i in range(0, len(colours), 3)]
             + [tuple(c) for c in SKY_RANGE['colours']])
    assert len(table) == 256
    # Nearest by squared distance, the first of equals, never black (her see-through colour).
    candidates = np.array(table, dtype=np.int64)
    candidates[np.all(candidates == 0, axis=1)] = 1 << 20
    unique, which = np.unique(pixels[figure], axis=0, return_inverse=True)
    distance = ((unique[:, None, :] - candidates[None, :, :]) ** 2).sum(axis=2)
    indices = np.zeros(len(pixels), dtype=np.uint8)
    indices[figure] = distance.argmin(axis=1)[which.reshape(-1)]
    indices = indices.reshape(height * len(frames), width)
    return [indices[i * height:(i + 1) * height] for i in range(len(frames))], table


def write_module_sources(folder, girl, count):
    """module.rc, in UTF-8 as the resource compiler is told: her title in each language, then her
    pictures."""
    with open(os.path.join(folder, 'module.rc'), 'w', encoding='utf-8') as f:
        f.write('/* A Sky Flare girl module: her title in each language, and her pictures. */\n')
        f.write('#pragma code_page(65001)\n')
        # A program that asks Windows for her title in no language of its own (LoadString, as the
        # checker does) gets the language-neutral one, which Windows looks for first: in English
        # (United Kingdom), as the saver speaks to a user whose language it lacks; otherwise it
        # would get whichever language is numbered lowest, Traditional Chinese.
        for (language, sublanguage), _, titles in [((0, 0), None, TITLES[0][2])] + TITLES:
            f.write('LANGUAGE %d, %d\nSTRINGTABLE\nBEGIN\n    1 "%s"\nEND\n' % (language, sublanguage, titles[girl]))
        f.write('LANGUAGE 9, 2\n')
        for i in range(1, count + 1):
            f.write('GIRL%d BITMAP "girl%d.bmp"\n' % (i, i))


def write_titles(outdir):
    """titles.txt, for the tests: each girl's title in each language, one a line (module, the
    language's number in hexadecimal, title), after checking each fits the dialog's line and shows
    in its language's code page."""
    with open(os.path.join(outdir, 'titles.txt'), 'w', encoding='utf-8', newline='\n') as f:
        for girl, (_, file_name, _) in enumerate(GIRLS):
            for (language, sublanguage), code_page, titles in TITLES:
                title = titles[girl]
                assert len(title.encode('utf-16-le')) // 2 <= 39, title
                assert '"' not in title and title.encode(code_page).decode(code_page) == title, title
                f.write('%s\t%04x\t%s\n' % (file_name, sublanguage << 10 | language, title))


def main():
    outdir = sys.argv[1]
    want_png = '--png' in sys.argv[2:]
    os.makedirs(outdir, exist_ok=True)
    write_titles(outdir)
    for girl, (name, _, draw) in enumerate(GIRLS):
        folder = os.path.join(outdir, name)
        os.makedirs(folder, exist_ok=True)
        frames = [draw(k / FRAMES) for k in range(FRAMES)]
        indexed, table = shared_palette(frames)
        for number, pixels in enumerate(indexed, start=1):
            write_bmp8(os.path.join(folder, 'girl%d.bmp' % number), pixels, table)
        write_module_sources(folder, girl, FRAMES)
        if want_png:
            sheet = Image.new('P', (frames[0].width * 9, frames[0].height * 2))
            sheet.putpalette([c for rgb in table for c in rgb])
            for i, pixels in enumerate(indexed):
                tile = Image.fromarray(pixels, 'P')
                sheet.paste(tile, ((i % 9) * frames[0].width, (i // 9) * frames[0].height))
            sheet.save(os.path.join(outdir, name + '.png'))


if __name__ == '__main__':
    main()
