#!/usr/bin/python3
"""readme_txt.py --- writes the README.TXT of one target's zip from README.md, for the Windows
user who installs by hand: plain text that reads well in the Notepad of Windows 95.

Usage: readme_txt.py README.md x86|x64 VERSION OUT

README.md says which of its parts go into README.TXT, and for which target, with comments that
no Markdown viewer shows:

    <!-- README.TXT: x86 x64 -->   the blocks from here on go into both targets' README.TXT
    <!-- README.TXT: x86 -->       ... into the 32-bit one only
    <!-- README.TXT: end -->       ... into neither, until the next such comment

A table keeps the rows that name this target's setup. Markdown becomes plain text: code spans,
emphasis and links keep their words; pictures go. Paragraphs are wrapped at 78 columns, lines
end in CR LF, and the text is written in code page 1252, the ANSI code page of the western
Windows 95. A character that code page lacks, or a line that cannot be wrapped to 78 columns
(a long code line, a word longer than a line), stops the build with README.md's line number:
README.md is then changed, rather than README.TXT showing a wrong character or running past
the right edge of the window.
"""
import re
import sys
import textwrap

WIDTH = 78
MARKER = re.compile(r'^<!--\s*README\.TXT:\s*(.*?)\s*-->$')
BITS = {'x86': '32', 'x64': '64'}
NO_BREAK = '\x00'  # stands for a space inside a code span while lines are wrapped


class Refusal(Exception):
    pass


def blocks_of(lines):
    """README.md's blocks as (kind, first line number, lines): heading, paragraph, list, code,
    table or marker."""
    blocks, at = [], 0
    while at < len(lines):
        line = lines[at]
        if not line.strip():
            at += 1
            continue
        start = at
        if MARKER.match(line.strip()):
            kind, at = 'marker', at + 1
        elif line.startswith('#'):
            kind, at = 'heading', at + 1
        elif line.startswith('    '):
            kind = 'code'
            while at < len(lines) and (lines[at].startswith('    ') or not lines[at].strip()):
                at += 1
            while not lines[at - 1].strip():
                at -= 1
        else:
            kind = 'table' if line.startswith('|') else 'list' if re.match(r'(-|\d+\.) ', line) else 'paragraph'
            while at < len(lines) and lines[at].strip() and not MARKER.match(lines[at].strip()):
                at += 1
        blocks.append((kind, start + 1, lines[start:at]))
    return blocks


def plain(text):
    """Markdown's inline marks taken away, their words kept. A code span of several words is
    quoted, and kept on one line where it is short enough to be."""
    spans = []

    def keep(match):
        span = match.group(1)
        if ' ' in span:
            span = ("'%s'" if '"' in span else '"%s"') % span
            if len(span) <= WIDTH // 2:
                span = span.replace(' ', NO_BREAK)
        spans.append(span)
        return '\x01%d\x01' % (len(spans) - 1)

    text = re.sub(r'`([^`]+)`', keep, text)
    text = re.sub(r'!\[[^\]]*\]\([^)]*\)', '', text)
    text = re.sub(r'\[([^\]]+)\]\([^)]*\)', r'\1', text)
    text = re.sub(r'\*\*([^*]+)\*\*', r'\1', text)
    text = re.sub(r'\*([^*]+)\*', r'\1', text)
    text = re.sub(r'\x01(\d+)\x01', lambda m: spans[int(m.group(1))], text)
    return ' '.join(text.split())


def wrapped(text, first, rest):
    lines = textwrap.wrap(text, WIDTH, initial_indent=first, subsequent_indent=rest,
                          break_long_words=False, break_on_hyphens=False)
    return [line.replace(NO_BREAK, ' ') for line in lines]


def render_list(lines):
    items = []
    for line in lines:
        if re.match(r'(-|\d+\.) ', line):
            items.append(line)
        else:
            items[-1] += ' ' + line.strip()
    out = []
    for item in items:
        mark, text = item.split(' ', 1)
        out += wrapped(plain(text), mark + ' ', ' ' * (len(mark) + 1))
    return out


def cells(line):
    return [cell.strip() for cell in line.strip().strip('|').split('|')]


def render_table(lines, setup):
    """Each row that names this target's setup, as its first cell followed by the others,
    each under its column's name."""
    names = cells(lines[0])
    rows = [cells(line) for line in lines[2:]]
    out = []
    for row in rows:
        if not any(setup in cell for cell in row):
            continue
        out += ([''] if out else []) + wrapped(plain(row[0]), '', '')
        for name, cell in zip(names[1:], row[1:]):
            out += wrapped(plain(name) + ': ' + plain(cell), '    ', '        ')
    if not out:
        raise Refusal('the table names no row for %s' % setup)
    return out


def render(kind, lines, setup):
    if kind == 'heading':
        title = plain(lines[0].lstrip('#'))
        return [title, ('=' if lines[0].startswith('## ') else '-') * len(title)]
    if kind == 'code':
        return [line.rstrip() for line in lines]
    if kind == 'table':
        return render_table(lines, setup)
    if kind == 'list':
        return render_list(lines)
    return wrapped(plain(' '.join(lines)), '', '')


def readme_txt(markdown, arch, version):
    setup = 'SkyFlare-Setup-%s.exe' % arch
    title = 'Sky Flare %s, the %s-bit saver (%s), to install by hand' % (version, BITS[arch], arch)
    out = [title, '=' * len(title)]
    chosen = False
    for kind, number, lines in blocks_of(markdown.split('\n')):
        if kind == 'marker':
            targets = MARKER.match(lines[0].strip()).group(1).split()
            unknown = [t for t in targets if t not in BITS and t != 'end']
            if unknown:
                raise Refusal('README.md line %d: no target named %s' % (number, ' '.join(unknown)))
            chosen = arch in targets
            continue
        if not chosen:
            continue
        text = render(kind, lines, setup)
        for line in text:
            if len(line) > WIDTH:
                raise Refusal('README.md line %d: a line of %d columns, more than README.TXT\'s %d:\n%s'
                              % (number, len(line), WIDTH, line))
            for character in line:
                try:
                    character.encode('cp1252')
                except UnicodeEncodeError:
                    raise Refusal('README.md line %d: "%s" (U+%04X) is not in code page 1252, in which '
                                  'README.TXT is written; say it with another character'
                                  % (number, character, ord(character)))
        out += [''] + text
    return ('\r\n'.join(out) + '\r\n').encode('cp1252')


def main(argv):
    if len(argv) != 4 or argv[1] not in BITS:
        sys.exit(__doc__.split('\n\n')[1])
    source, arch, version, target = argv
    with open(source, encoding='utf-8') as f:
        markdown = f.read()
    try:
        text = readme_txt(markdown, arch, version)
    except Refusal as refusal:
        sys.exit('readme_txt.py: %s' % refusal)
    with open(target, 'wb') as f:
        f.write(text)


if __name__ == '__main__':
    main(sys.argv[1:])
