#!/usr/bin/python3
"""package.py --- the release's packaging steps, each dating what it writes by the commit.

Usage:
  package.py dated-copy DIR FILE...   copies each FILE into DIR, dated at the commit's time
  package.py zip OUT.zip FILE...      a zip of the FILEs, in that order, at the commit's time
  package.py pe-stamp EXE             the commit's time as EXE's PE time stamp, and its checksum

The commit's time is SOURCE_DATE_EPOCH, which the build sets (cmake/at_commit_time.cmake).
Every byte written depends only on the files given and that time: no clock, no build path,
no owner or permissions of this machine. Standard library only.
"""
import os
import shutil
import struct
import sys
import time
import zipfile


def commit_time():
    value = os.environ.get('SOURCE_DATE_EPOCH', '')
    if not value.isdigit():
        sys.exit('package.py: SOURCE_DATE_EPOCH (the commit\'s time, in seconds) is not set')
    return int(value)


def dated_copy(folder, files):
    """Copies that NSIS's File records with the commit's date, as the zip does, and not the
    moment of this build."""
    when = commit_time()
    os.makedirs(folder, exist_ok=True)
    for path in files:
        copy = os.path.join(folder, os.path.basename(path))
        shutil.copyfile(path, copy)
        os.utime(copy, (when, when))


def make_zip(out, files):
    """The zip a user unpacks by hand: flat, in the order given, each entry dated at the
    commit's time (a zip keeps local time without a zone: the commit's UTC time is written),
    made on 'MS-DOS' with only the archive attribute, so no owner or permissions of this
    machine go in."""
    stamp = time.gmtime(commit_time())[:6]
    partial = out + '.partial'
    with zipfile.ZipFile(partial, 'w') as archive:
        for path in files:
            entry = zipfile.ZipInfo(os.path.basename(path), date_time=stamp)
            entry.create_system = 0
            entry.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(path, 'rb') as source:
                archive.writestr(entry, source.read(), compresslevel=9)
    os.replace(partial, out)


def pe_checksum(image, checksum_at):
    """The PE checksum as Windows' CheckSumMappedFile computes it: the file's 16-bit words
    summed with end-around carry, the checksum field itself counted as zero, plus the file's
    length."""
    padded = image + b'\0' * (len(image) % 2)
    words = struct.unpack('<%dH' % (len(padded) // 2), padded)
    total = sum(words) - sum(struct.unpack_from('<2H', padded, checksum_at))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


def pe_stamp(path):
    """For NSIS's setups and their uninstallers, whose PE header makensis leaves as its stub
    has it (the stub's own build time, checksum 0): makensis runs this on each as it is
    finished (!finalize, !uninstfinalize), before the uninstaller is packed into its setup.
    The header lies within the first 512 bytes, which NSIS's own integrity check leaves out."""
    with open(path, 'rb') as f:
        image = bytearray(f.read())
    header = struct.unpack_from('<I', image, 0x3C)[0]
    if image[:2] != b'MZ' or image[header:header + 4] != b'PE\0\0':
        sys.exit('package.py: %s is no PE file' % path)
    struct.pack_into('<I', image, header + 8, commit_time())  # IMAGE_FILE_HEADER.TimeDateStamp
    checksum_at = header + 24 + 64  # IMAGE_OPTIONAL_HEADER.CheckSum, for PE32 and PE32+ alike
    struct.pack_into('<I', image, checksum_at, pe_checksum(bytes(image), checksum_at))
    with open(path, 'wb') as f:
        f.write(image)


def main(argv):
    if len(argv) >= 3 and argv[0] == 'dated-copy':
        dated_copy(argv[1], argv[2:])
    elif len(argv) >= 3 and argv[0] == 'zip':
        make_zip(argv[1], argv[2:])
    elif len(argv) == 2 and argv[0] == 'pe-stamp':
        pe_stamp(argv[1])
    else:
        sys.exit(__doc__.split('\n\n')[1])


if __name__ == '__main__':
    main(sys.argv[1:])
