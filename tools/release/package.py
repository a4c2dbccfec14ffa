#!/usr/bin/python3
"""package.py --- the release's packaging steps, each dating what it writes by the commit.

Usage:
  package.py dated-copy DIR FILE...   copies each FILE into DIR, dated at the commit's time
  package.py zip OUT.zip FILE...      a zip of the FILEs, in that order, at the commit's time
  package.py pe-stamp EXE             the commit's time as EXE's PE time stamp, and its checksum
  package.py signer                   checks the maintainer's certificate and names it
  package.py sign EXE...              signs each EXE in place when a certificate is given

The commit's time is SOURCE_DATE_EPOCH, which the build sets (cmake/at_commit_time.cmake).
Every byte written depends only on the files given and that time: no clock, no build path,
no owner or permissions of this machine. Standard library only.

Signing (Authenticode, with osslsigncode) takes the maintainer's certificate from the
environment, never from a command line that other users of the machine can see:
  SKYFLARE_SIGN_CERT           a PKCS#12 file (.p12 or .pfx) holding the certificate and its key
  SKYFLARE_SIGN_PASSWORD       its password, or
  SKYFLARE_SIGN_PASSWORD_FILE  a file whose first line is its password
  SKYFLARE_SIGN_TIMESTAMP      optional: an RFC 3161 time-stamping address
Without a time stamp each signature is dated at the commit's time and the same certificate and
commit give the same bytes; a time stamp is the authority's own, different on every build.
"""
import os
import re
import shutil
import struct
import subprocess
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


def with_password(command, at):
    """Runs a command that reads the certificate's password from a file, given it at the
    argument `at` as a pipe: the password is never on a command line or on disk."""
    if os.environ.get('SKYFLARE_SIGN_PASSWORD') is not None:
        password = os.environ['SKYFLARE_SIGN_PASSWORD']
    elif os.environ.get('SKYFLARE_SIGN_PASSWORD_FILE'):
        try:
            with open(os.environ['SKYFLARE_SIGN_PASSWORD_FILE'], encoding='utf-8') as f:
                password = f.readline().rstrip('\r\n')
        except OSError as error:
            sys.exit('the password file %s cannot be read (%s)' % (os.environ['SKYFLARE_SIGN_PASSWORD_FILE'],
                                                                  error.strerror))
    else:
        sys.exit('SKYFLARE_SIGN_CERT names a certificate, but neither SKYFLARE_SIGN_PASSWORD nor '
                 'SKYFLARE_SIGN_PASSWORD_FILE gives its password')
    reading, writing = os.pipe()
    os.write(writing, password.encode() + b'\n')
    os.close(writing)
    try:
        return subprocess.run(command[:at] + [command[at] % reading] + command[at + 1:], pass_fds=[reading],
                              capture_output=True, text=True)
    finally:
        os.close(reading)


def signer():
    """Before anything is built: the certificate must open with its password and be one for
    signing programs (its extended key usage names Code Signing). Prints its subject and end."""
    cert = os.environ['SKYFLARE_SIGN_CERT']
    if not os.path.isfile(cert):
        sys.exit('the certificate %s does not exist' % cert)
    opened = with_password(['openssl', 'pkcs12', '-in', cert, '-passin', 'fd:%d', '-nokeys', '-clcerts'], 5)
    if opened.returncode != 0 and 'unsupported' in opened.stderr:  # made with an older tool's ciphers
        opened = with_password(['openssl', 'pkcs12', '-legacy', '-in', cert, '-passin', 'fd:%d', '-nokeys',
                                '-clcerts'], 6)
    if opened.returncode != 0:
        if re.search(r'mac verify|invalid password', opened.stderr, re.IGNORECASE):
            sys.exit('the password given does not open the certificate %s' % cert)
        sys.exit('%s is no PKCS#12 certificate file (.p12 or .pfx) that openssl can read' % cert)
    shown = subprocess.run(['openssl', 'x509', '-noout', '-subject', '-enddate', '-ext', 'extendedKeyUsage',
                            '-nameopt', 'oneline'], input=opened.stdout, capture_output=True, text=True)
    subject = re.search(r'^subject=\s*(.*)$', shown.stdout, re.MULTILINE)
    if shown.returncode != 0 or not subject:
        sys.exit('the certificate %s holds no certificate that openssl can read' % cert)
    if 'Code Signing' not in shown.stdout:
        sys.exit('the certificate in %s (%s) is not one for signing programs: its extended key usage lacks '
                 'Code Signing' % (cert, subject.group(1)))
    until = re.search(r'^notAfter=(.*)$', shown.stdout, re.MULTILINE).group(1)
    print('%s, valid until %s' % (subject.group(1), until))


def sign(paths):
    """Signs each program in place, with a SHA-256 digest, keeping its dates (NSIS's File and
    the zip take them); without SKYFLARE_SIGN_CERT it leaves them as they are."""
    cert = os.environ.get('SKYFLARE_SIGN_CERT')
    if not cert:
        return
    stamp = os.environ.get('SKYFLARE_SIGN_TIMESTAMP')
    dated = ['-ts', stamp] if stamp else ['-time', str(commit_time())]
    for path in paths:
        times = os.stat(path)
        signed = path + '.signed'
        done = with_password(['osslsigncode', 'sign', '-pkcs12', cert, '-readpass', '/dev/fd/%d', '-h', 'sha256',
                              '-n', 'Sky Flare'] + dated + ['-in', path, '-out', signed], 5)
        if done.returncode != 0:
            sys.exit('package.py: %s could not be signed: %s' % (path, (done.stdout + done.stderr).strip()))
        os.replace(signed, path)
        os.utime(path, (times.st_atime, times.st_mtime))


def main(argv):
    if len(argv) >= 3 and argv[0] == 'dated-copy':
        dated_copy(argv[1], argv[2:])
    elif len(argv) >= 3 and argv[0] == 'zip':
        make_zip(argv[1], argv[2:])
    elif len(argv) == 2 and argv[0] == 'pe-stamp':
        pe_stamp(argv[1])
    elif argv == ['signer'] and os.environ.get('SKYFLARE_SIGN_CERT'):
        signer()
    elif len(argv) >= 2 and argv[0] == 'sign':
        sign(argv[1:])
    else:
        sys.exit(__doc__.split('\n\n')[1])


if __name__ == '__main__':
    main(sys.argv[1:])
