"""figures.py --- stylised animated figures for the sample girls, posed by joint angles.

A figure is a hip point, a torso, a head and two-segment arms and legs; every angle is a
smooth function of the loop phase, so frame 17 leads back into frame 1 without a jump.
Angles are in degrees, measured from straight down, positive towards the figure's left
(screen right).
"""
import math

from PIL import Image, ImageDraw


def polar(origin, length, degrees):
    a = math.radians(degrees)
    return (origin[0] + length * math.sin(a), origin[1] + length * math.cos(a))


def shade(colour, factor):
    return tuple(max(0, min(255, int(round(c * factor)))) for c in colour)


class Canvas:
    """An RGBA canvas drawn scale times too large and reduced for smooth edges."""

    def __init__(self, width, height, zoom=1.0, scale=4):
        """width x height final pixels; figure coordinates are in units of zoom pixels."""
        self.width, self.height, self.scale = width, height, scale * zoom
        self.image = Image.new('RGBA', (width * scale, height * scale), (0, 0, 0, 0))
        self.draw = ImageDraw.Draw(self.image)

    def _p(self, point):
        return (point[0] * self.scale, point[1] * self.scale)

    def limb(self, a, b, thickness, colour, highlight=True):
        s = self.scale
        self.draw.line([self._p(a), self._p(b)], fill=colour + (255,), width=int(thickness * s))
        for p in (a, b):
            r = thickness * s / 2
            x, y = self._p(p)
            self.draw.ellipse([x - r, y - r, x + r, y + r], fill=colour + (255,))
        if highlight and thickness >= 4:
            off = thickness * 0.22
            self.draw.line([self._p((a[0] - off, a[1])), self._p((b[0] - off, b[1]))],
                           fill=shade(colour, 1.25) + (255,), width=max(1, int(thickness * s * 0.25)))

    def disc(self, centre, radius, colour):
        x, y = self._p(centre)
        r = radius * self.scale
        self.draw.ellipse([x - r, y - r, x + r, y + r], fill=colour + (255,))

    def ellipse(self, box, colour):
        (x0, y0), (x1, y1) = self._p(box[0]), self._p(box[1])
        self.draw.ellipse([min(x0, x1), min(y0, y1), max(x0, x1), max(y0, y1)], fill=colour + (255,))

    def polygon(self, points, colour):
        self.draw.polygon([self._p(p) for p in points], fill=colour + (255,))

    def curve(self, points, thickness, colour):
        self.draw.line([self._p(p) for p in points], fill=colour + (255,),
                       width=max(1, int(thickness * self.scale)), joint='curve')

    def finish(self):
        return self.image.resize((self.width, self.height), Image.LANCZOS)

    @property
    def units(self):
        """The canvas size in figure units."""
        return (self.width * 4 / self.scale, self.height * 4 / self.scale)


def head(canvas, neck, tilt, skin, hair, style, face_dir=1):
    """Head with hair in one of a few styles; returns the head's centre."""
    centre = polar(neck, 9, 180 + tilt)
    if style == 'bun':
        canvas.disc(polar(centre, 9, 180 + tilt - 25 * face_dir), 5.5, hair)
    elif style == 'ponytail':
        tail_root = polar(centre, 7, 180 + tilt - 90 * face_dir)
        canvas.limb(tail_root, polar(tail_root, 13, tilt - 40 * face_dir), 5, hair)
    elif style == 'long':
        # Hanging down the back, behind the shoulder away from the face.
        back = centre[0] - 6 * face_dir
        canvas.ellipse(((back - 6, centre[1] - 6), (back + 6, centre[1] + 22)), hair)
    canvas.disc(centre, 8, skin)
    # Hair over the top of the head, a fringe towards the face.
    canvas.ellipse(((centre[0] - 8.5, centre[1] - 9), (centre[0] + 8.5, centre[1] + 1)), hair)
    canvas.disc((centre[0] + 3.2 * face_dir, centre[1] + 1.5), 1.1, shade(hair, 0.6))  # an eye
    canvas.disc((centre[0] + 6.8 * face_dir, centre[1] + 4.5), 1.2, shade(skin, 0.8))  # a cheek
    return centre


def arm(canvas, shoulder, upper, lower, skin, sleeve, sleeve_length=0.55, thickness=4.2):
    elbow = polar(shoulder, 15, upper)
    hand = polar(elbow, 14, lower)
    canvas.limb(shoulder, elbow, thickness, skin)
    canvas.limb(elbow, hand, thickness * 0.9, skin)
    if sleeve_length > 0:
        canvas.limb(shoulder, polar(shoulder, 15 * sleeve_length, upper), thickness + 1.4, sleeve)
    canvas.disc(hand, thickness * 0.62, skin)
    return hand


def leg(canvas, hip, upper, lower, tights, shoe, thickness=5.6, shoe_dir=1):
    knee = polar(hip, 22, upper)
    ankle = polar(knee, 21, lower)
    canvas.limb(hip, knee, thickness, tights)
    canvas.limb(knee, ankle, thickness * 0.85, tights)
    toe = polar(ankle, 6.5, lower + 70 * shoe_dir)
    canvas.limb(ankle, toe, thickness * 0.75, shoe, highlight=False)
    return ankle
