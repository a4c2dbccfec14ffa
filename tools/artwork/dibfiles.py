"""dibfiles.py --- writes the packed-DIB bitmap and icon files the resource compiler takes in."""
import struct

import numpy as np


def _info_header(width, height, bits, colours_used, colours_important, image_size):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, image_size,
                       2835, 2835, colours_used, colours_important)


def _colour_table(palette):
    """palette: sequence of (r, g, b) tuples -> RGBQUAD bytes (blue, green, red, 0)."""
    return b''.join(struct.pack('<BBBB', int(b), int(g), int(r), 0) for r, g, b in palette)


def _write_bmp(path, info, table, pixels):
    offset = 14 + len(info) + len(table)
    with open(path, 'wb') as f:
        f.write(struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset))
        f.write(info + table + pixels)


def packed_dib8(indices, palette):
    """The packed DIB (header, 256-entry colour table, bottom-up rows) of an 8-bit picture.

    indices: 2-D uint8 array, rows top-down; rows are filled out to a multiple of 4 bytes.
    """
    height, width = indices.shape
    assert len(palette) == 256
    stride = (width + 3) // 4 * 4
    rows = np.zeros((height, stride), dtype=np.uint8)
    rows[:, :width] = indices
    pixels = np.ascontiguousarray(rows[::-1]).tobytes()
    return _info_header(width, height, 8, 256, 256, len(pixels)) + _colour_table(palette) + pixels


def write_bmp8(path, indices, palette):
    """An 8-bit bitmap file with a full 256-entry colour table, stored bottom-up."""
    dib = packed_dib8(indices, palette)
    info, table, pixels = dib[:40], dib[40:40 + 1024], dib[40 + 1024:]
    _write_bmp(path, info, table, pixels)


def pack_nibbles(indices):
    """Rows of 4-bit indices, two pixels a byte, high nibble first."""
    idx = indices.astype(np.uint8)
    return (idx[:, 0::2] << 4) | idx[:, 1::2]


def write_bmp4(path, indices, palette):
    """A 4-bit bitmap whose 16-entry table is implied by a colour count of 0, stored bottom-up."""
    height, width = indices.shape
    assert width % 8 == 0, 'rows must need no fill bytes'
    assert len(palette) == 16
    pixels = np.ascontiguousarray(pack_nibbles(indices)[::-1]).tobytes()
    _write_bmp(path, _info_header(width, height, 4, 0, 0, len(pixels)), _colour_table(palette), pixels)


def write_icon4(path, indices, transparent, palette):
    """A one-image icon file: 32 x 32 pixels in 16 colours with its transparency mask."""
    height, width = indices.shape
    assert (width, height) == (32, 32)
    xor = np.ascontiguousarray(pack_nibbles(indices)[::-1]).tobytes()
    mask_bits = np.packbits(transparent.astype(np.uint8), axis=1)  # 4 bytes a row for 32 pixels
    mask = np.ascontiguousarray(mask_bits[::-1]).tobytes()
    image = (_info_header(width, height * 2, 4, 0, 0, len(xor) + len(mask))
             + _colour_table(palette) + xor + mask)
    assert len(image) == 744
    with open(path, 'wb') as f:
        f.write(struct.pack('<HHH', 0, 1, 1))
        f.write(struct.pack('<BBBBHHII', width, height, 16, 0, 1, 4, len(image), 22))
        f.write(image)
