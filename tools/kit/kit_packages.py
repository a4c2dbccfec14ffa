"""kit_packages.py --- the kit's two outside packages, with a plain word when one is missing."""
import sys


def need_pillow_and_numpy(tool):
    """Imports Pillow and NumPy, or ends the tool saying which to install and how."""
    missing = []
    try:
        from PIL import Image, ImageDraw
    except ImportError:
        missing.append(('Pillow', 'python3-pil', 'pillow'))
    try:
        import numpy
    except ImportError:
        missing.append(('NumPy', 'python3-numpy', 'numpy'))
    if missing:
        names = ' and '.join(m[0] for m in missing)
        debian = ' '.join(m[1] for m in missing)
        pip = ' '.join(m[2] for m in missing)
        print(f'{tool}: needs {names}. On Debian: apt-get install {debian}, and run the kit with '
              f'/usr/bin/python3. Elsewhere: python3 -m pip install {pip}', file=sys.stderr)
        sys.exit(2)
    return Image, ImageDraw, numpy
