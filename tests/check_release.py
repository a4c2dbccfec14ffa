#!/usr/bin/env python3
"""check_release.py --- the release as a user downloads it, then built a second time elsewhere:
two builds of one commit must give the same bytes.

Usage: check_release.py SOURCES WORKDIR TEST_INSTALLER

The first build is `./run release` in SOURCES, which shares the test build's trees. Its dist/
must hold the files README.md names, each zip the files README.md says it holds, for its own
target; SHA256SUMS must check with `sha256sum -c`; README.TXT must be CR LF, code page 1252 and
at most 78 columns; the version must be the saver's everywhere; every PE file must carry the
commit's time and a correct checksum; no file may hold the build's path. Then the working
tree is copied to another folder and its own `./run release` builds there, with the clock 397
days on (faketime; the files keep their true dates), and the two dist/ folders must be equal
byte for byte: the first file and offset that differ are named.

Signed, with a throwaway certificate authority made here: a wrong password and a certificate
not for code signing each stop the release with its sentence and leave the folder as it was;
both builds signed must again be equal, every program in them (and the uninstaller the x64
setup writes) must verify against that authority, and the signed setup must install, run and
uninstall the saver under Wine (TEST_INSTALLER's silent-install case). Exits 1 after naming
every fault found.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

import pefile

FAULTS = []
TXT_WIDTH = 78


def fault(message):
    FAULTS.append(message)
    print('FAULT: ' + message)


def commit_time(sources):
    if os.environ.get('SOURCE_DATE_EPOCH'):
        return int(os.environ['SOURCE_DATE_EPOCH'])
    return int(subprocess.check_output(['git', '-C', sources, 'log', '-1', '--format=%ct'], text=True))


def saver_version(sources):
    with open(os.path.join(sources, 'resources', 'skyflare.rc'), encoding='utf-8') as f:
        return re.search(r'VALUE "ProductVersion", "([^"]+)"', f.read()).group(1)


def named_files(sources):
    """What README.md's "Where the files come from" names: the files of dist/ (the names that
    open each item of its list) and the files each zip holds (those after "each holds")."""
    with open(os.path.join(sources, 'README.md'), encoding='utf-8') as f:
        readme = f.read()
    section = readme.split('**Where the files come from.**', 1)[1].split('\n\n**', 1)[0]
    items = re.split(r'\n- ', section)[1:]
    dist, in_zip = set(), set()
    for item in items:
        head, _, rest = item.partition(',')
        dist.update(re.findall(r'`([^`]+)`', head))
        if 'each holds' in rest:
            in_zip.update(re.findall(r'`([^`]+)`', rest.split('each holds', 1)[1]))
    return dist, in_zip


def run_release(run, out, log, env=None, clock=()):
    print('building the release with %s into %s (log: %s)' % (run, out, log), flush=True)
    with open(log, 'w') as output:
        status = subprocess.run(list(clock) + [run, 'release', out], stdout=output, stderr=subprocess.STDOUT,
                                env=env).returncode
    if status != 0:
        with open(log) as output:
            print(''.join(output.readlines()[-30:]))
        sys.exit('check_release.py: %s release ended with %d' % (run, status))


def copy_working_tree(sources, copy):
    """The working tree as it is, committed or not (but nothing git ignores), in another folder,
    with the JavaScript packages the first build used (linked, not fetched again)."""
    listing = subprocess.check_output(['git', '-C', sources, 'ls-files', '-z', '--cached', '--others',
                                       '--exclude-standard'])
    for name in listing.decode().split('\0'):
        source = os.path.join(sources, name)
        if name and os.path.isfile(source):
            os.makedirs(os.path.dirname(os.path.join(copy, name)), exist_ok=True)
            shutil.copy2(source, os.path.join(copy, name))
    subprocess.check_call(['cp', '-al', os.path.join(sources, 'node_modules'), copy])


def pe_fields(data, offset):
    """The PE header field at a file's offset, where it is one a build might leave unfixed."""
    if data[:2] != b'MZ' or len(data) < 0x40:
        return ''
    header = int.from_bytes(data[0x3C:0x40], 'little')
    for name, at, size in (('the PE time stamp', header + 8, 4), ('the PE checksum', header + 88, 4)):
        if at <= offset < at + size:
            return ': ' + name
    return ''


def first_difference(one, other, start=0):
    for at in range(start, min(len(one), len(other))):
        if one[at] != other[at]:
            return at
    return min(len(one), len(other)) if len(one) != len(other) else None


def where_in_pe(one, other, at):
    """The header field a difference is in; and past a difference in the time stamp or the
    checksum, which follow from the rest, the first that is not in either."""
    where = pe_fields(one, at)
    beyond = at
    while beyond is not None and pe_fields(one, beyond):
        beyond = first_difference(one, other, beyond + 1)
    if where and beyond is not None:
        where += ', and past the header fields at offset %d (0x%x)%s' % (beyond, beyond, pe_fields(one, beyond))
    return where


def compare(first, second):
    """Names each file that differs, and where it first does; SHA256SUMS, which differs with
    them, only when nothing else does."""
    names = sorted(os.listdir(first), key=lambda name: (name == 'SHA256SUMS', name))
    if sorted(names) != sorted(os.listdir(second)):
        fault('the second build gave other files: %s, not %s' % (sorted(os.listdir(second)), sorted(names)))
        return
    differing = 0
    for name in names:
        if name == 'SHA256SUMS' and differing:
            break
        with open(os.path.join(first, name), 'rb') as f:
            one = f.read()
        with open(os.path.join(second, name), 'rb') as f:
            other = f.read()
        at = first_difference(one, other)
        if at is None:
            continue
        where = where_in_pe(one, other, at)
        if name.endswith('.zip'):
            where += zip_difference(os.path.join(first, name), os.path.join(second, name))
        fault('%s differs from the second build\'s at offset %d (0x%x)%s' % (name, at, at, where))
        differing += 1


def zip_difference(one, other):
    with zipfile.ZipFile(one) as a, zipfile.ZipFile(other) as b:
        for entry, twin in zip(a.infolist(), b.infolist()):
            x, y = a.read(entry), b.read(twin)
            at = first_difference(x, y)
            if entry.filename != twin.filename:
                return ' (its entry %s is %s there)' % (entry.filename, twin.filename)
            if at is not None:
                return ' (in %s, at offset %d (0x%x)%s)' % (entry.filename, at, at, where_in_pe(x, y, at))
            if entry.date_time != twin.date_time:
                return ' (%s dated %s there, %s here)' % (entry.filename, twin.date_time, entry.date_time)
    return ''


def check_pe(label, data, when, machine=None):
    image = pefile.PE(data=data, fast_load=True)
    if image.FILE_HEADER.TimeDateStamp != when:
        fault('%s: PE time stamp %d, not the commit\'s %d' % (label, image.FILE_HEADER.TimeDateStamp, when))
    if image.OPTIONAL_HEADER.CheckSum != image.generate_checksum():
        fault('%s: PE checksum 0x%x, not 0x%x' % (label, image.OPTIONAL_HEADER.CheckSum, image.generate_checksum()))
    if machine and image.FILE_HEADER.Machine != machine:
        fault('%s: built for machine 0x%x, not 0x%x' % (label, image.FILE_HEADER.Machine, machine))
    return image


def version_record(image):
    image.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_RESOURCE']])
    strings = {}
    for info in getattr(image, 'FileInfo', [[]])[0]:
        for table in getattr(info, 'StringTable', []):
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    return strings


def check_no_path(label, data, paths):
    for path in paths:
        for form in (path.encode(), path.encode('utf-16-le')):
            at = data.find(form)
            if at >= 0:
                fault('%s holds the build\'s path %s at offset %d' % (label, path, at))


def check_readme_txt(label, data, version, arch):
    if re.search(rb'(?<!\r)\n|\r(?!\n)', data) or not data.endswith(b'\r\n'):
        fault('%s: a line not ended by CR LF' % label)
    try:
        text = data.decode('cp1252')
    except UnicodeDecodeError as error:
        fault('%s: byte 0x%02x at offset %d is no character of code page 1252' % (label, data[error.start], error.start))
        return
    for number, line in enumerate(text.split('\r\n'), 1):
        if len(line) > TXT_WIDTH:
            fault('%s line %d: %d columns, more than %d' % (label, number, len(line), TXT_WIDTH))
    if not text.startswith('Sky Flare %s, ' % version):
        fault('%s: its title names no version %s: %r' % (label, version, text.split('\r\n', 1)[0]))
    # Written for its own target's Windows: installing by hand on the 95 family is for the
    # 32-bit saver alone.
    if ('By hand on Windows 95, 98 and ME' in text) != (arch == 'x86'):
        fault('%s: %s the Windows 95 family\'s hand install' % (label, 'lacks' if arch == 'x86' else 'has'))


def check_dist(sources, dist, when, ca=None):
    version = saver_version(sources)
    dist_names, zip_names = named_files(sources)
    names = set(os.listdir(dist))
    if names != dist_names:
        fault('dist/ holds %s; README.md names %s' % (sorted(names), sorted(dist_names)))
    # The version, the same everywhere it appears.
    for doc in [os.path.join(sources, 'README.md')] + [os.path.join(sources, 'docs', d)
                                                         for d in sorted(os.listdir(os.path.join(sources, 'docs')))
                                                         if d.endswith('.md')]:
        with open(doc, encoding='utf-8') as f:
            for other in set(re.findall(r'SkyFlare-([^-\s`]+)-x(?:86|64)\.zip', f.read())) - {version}:
                fault('%s names the zip of version %s; the saver is %s' % (os.path.relpath(doc, sources), other, version))
    listed = subprocess.run(['sha256sum', '-c', 'SHA256SUMS'], cwd=dist, capture_output=True, text=True)
    if listed.returncode != 0:
        fault('sha256sum -c SHA256SUMS in dist/: ' + (listed.stdout + listed.stderr).strip())
    with open(os.path.join(dist, 'SHA256SUMS')) as f:
        summed = sorted(line.split('  ', 1)[1] for line in f.read().splitlines())
    if summed != sorted(names - {'SHA256SUMS'}):
        fault('SHA256SUMS lists %s, not the other files of dist/' % summed)
    paths = sorted({sources, os.path.realpath(sources)})
    # A zip keeps local time to two seconds, without a zone: the commit's UTC time goes in.
    zip_time = time.gmtime(when - when % 2)[:6]
    for name in sorted(names):
        with open(os.path.join(dist, name), 'rb') as f:
            data = f.read()
        check_no_path(name, data, paths)
        if name.endswith('.exe'):
            if ca:
                check_signature(name, data, ca)
            record = version_record(check_pe(name, data, when))
            if record.get('ProductVersion') != version:
                fault('%s: product version %r, not the saver\'s %s' % (name, record.get('ProductVersion'), version))
        if name.endswith('.zip'):
            arch = name.rsplit('-', 1)[1][:-4]
            machine = {'x86': 0x14C, 'x64': 0x8664}[arch]
            if name != 'SkyFlare-%s-%s.zip' % (version, arch):
                fault('%s is not named for version %s' % (name, version))
            with zipfile.ZipFile(os.path.join(dist, name)) as archive:
                if set(archive.namelist()) != zip_names:
                    fault('%s holds %s; README.md names %s' % (name, sorted(archive.namelist()), sorted(zip_names)))
                for entry in archive.infolist():
                    member = archive.read(entry)
                    label = '%s in %s' % (entry.filename, name)
                    if entry.date_time != zip_time:
                        fault('%s: dated %s, not at the commit\'s time %s' % (label, entry.date_time, zip_time))
                    check_no_path(label, member, paths)
                    if entry.filename == 'README.TXT':
                        check_readme_txt(label, member, version, arch)
                    elif entry.filename.startswith('lumidoll.'):
                        check_pe(label, member, when, 0x14C)  # the girls are 32-bit for both savers
                    else:
                        if ca:
                            check_signature(label, member, ca)
                        image = check_pe(label, member, when, machine)
                        if entry.filename == 'SkyFlare.scr' and version_record(image).get('ProductVersion') != version:
                            fault('%s: product version is not %s' % (label, version))


def make_certificates(folder):
    """A throwaway certificate authority, and two PKCS#12 files with one password: a certificate
    it issued for signing code, and one for web servers alone."""
    commands = ['req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 3650 -subj /CN=Throwaway-CA '
                '-addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign']
    for name, use in (('signer', 'codeSigning'), ('web', 'serverAuth')):
        with open(os.path.join(folder, name + '.cnf'), 'w') as f:
            f.write('basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' % use)
        commands += ['req -newkey rsa:2048 -nodes -keyout {0}.key -out {0}.csr -subj /CN={0}',
                     'x509 -req -in {0}.csr -CA ca.pem -CAkey ca.key -set_serial 1 -days 3650 -extfile {0}.cnf -out {0}.pem',
                     'pkcs12 -export -inkey {0}.key -in {0}.pem -certfile ca.pem -passout pass:throwaway -out {0}.p12']
        commands[-3:] = [command.format(name) for command in commands[-3:]]
    for command in commands:
        subprocess.run(['openssl'] + command.split(), cwd=folder, check=True, capture_output=True)
    with open(os.path.join(folder, 'password'), 'w') as f:
        f.write('throwaway\n')
    return [os.path.join(folder, name) for name in ('ca.pem', 'signer.p12', 'web.p12', 'password')]


def check_refused(run, out, env, sentence):
    """A release that must stop before building, saying why, and leave the folder as it was."""
    sums = os.path.join(out, 'SHA256SUMS')
    before = os.path.exists(out) and open(sums).read()
    refused = subprocess.run([run, 'release', out], env=env, capture_output=True, text=True)
    if refused.returncode == 0 or sentence not in refused.stderr or (os.path.exists(out) and open(sums).read()) != before:
        fault('a release refused for "%s" ended with %d, saying %r, and left %s otherwise than it was'
              % (sentence, refused.returncode, refused.stderr, out))


def check_signature(label, data, ca):
    with tempfile.NamedTemporaryFile(suffix='.exe') as program:
        program.write(data)
        program.flush()
        verified = subprocess.run(['osslsigncode', 'verify', '-CAfile', ca, '-in', program.name], capture_output=True, text=True)
    if 'Signature verification: ok' not in verified.stdout:
        said = (verified.stdout + verified.stderr).splitlines()
        fault('%s does not verify against the test authority: %s' % (label, '; '.join(l for l in said if 'ignature' in l)))


def check_signed_setup_runs(sources, test_installer, ca):
    """The signed x64 setup, which the build tree holds now: installed silently, its uninstaller
    verifies; then the installer test's silent install, saver, dialog and uninstall pass."""
    subprocess.run(['wine', os.path.join(sources, 'build', 'win64', 'SkyFlare-Setup-x64.exe'), '/S'], check=True)
    uninstaller = os.path.join(os.environ['WINEPREFIX'], 'drive_c', 'Program Files', 'Sky Flare', 'uninstall.exe')
    check_signature('the uninstaller the x64 setup writes',
                    open(uninstaller, 'rb').read() if os.path.isfile(uninstaller) else b'', ca)
    run = subprocess.run(['wine', test_installer, '--test-case=a silent install puts*'], capture_output=True, text=True)
    if run.returncode != 0:
        fault('the installer test fails with the signed setup:\n' + run.stdout[-3000:])


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__.split('\n\n')[1])
    sources, work, test_installer = (os.path.abspath(a) for a in argv)
    when = commit_time(sources)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    first, second = os.path.join(work, 'first'), os.path.join(work, 'second')
    run_release(os.path.join(sources, 'run'), first, os.path.join(work, 'first.log'))
    check_dist(sources, first, when)

    copy = os.path.join(work, 'second-build-elsewhere', 'SkyFlare-copy')
    copy_working_tree(sources, copy)
    # The copy is no clone: it is told the commit's time, as any build may be.
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(when), NO_FAKE_STAT='1')
    run_release(os.path.join(copy, 'run'), second, os.path.join(work, 'second.log'), env,
                clock=('faketime', '-f', '+397d'))
    compare(first, second)

    ca, signer, web, password = make_certificates(work)
    run = os.path.join(sources, 'run')
    check_refused(run, os.path.join(work, 'refused'), dict(os.environ, SKYFLARE_SIGN_CERT=signer, SKYFLARE_SIGN_PASSWORD='no'),
                  'run: the password given does not open the certificate %s: nothing was built or signed' % signer)
    check_refused(run, first, dict(os.environ, SKYFLARE_SIGN_CERT=web, SKYFLARE_SIGN_PASSWORD_FILE=password),
                  'is not one for signing programs: its extended key usage lacks Code Signing')
    signed_first, signed_second = os.path.join(work, 'signed-first'), os.path.join(work, 'signed-second')
    run_release(run, signed_first, signed_first + '.log', dict(os.environ, SKYFLARE_SIGN_CERT=signer,
                                                              SKYFLARE_SIGN_PASSWORD_FILE=password))
    check_dist(sources, signed_first, when, ca)
    run_release(os.path.join(copy, 'run'), signed_second, signed_second + '.log',
                dict(env, SKYFLARE_SIGN_CERT=signer, SKYFLARE_SIGN_PASSWORD='throwaway'), clock=('faketime', '-f', '+397d'))
    compare(signed_first, signed_second)
    check_signed_setup_runs(sources, test_installer, ca)
    if FAULTS:
        sys.exit('check_release.py: %d faults' % len(FAULTS))
    print('the release checks, and builds in other folders at other times gave the same bytes, signed and not')


if __name__ == '__main__':
    main(sys.argv[1:])
