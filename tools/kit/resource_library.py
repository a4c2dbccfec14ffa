"""resource_library.py --- writes a resource-only Windows library (PE32 DLL) without a compiler.

The library has one section, .rsrc, and no code: no entry point, no imports. It holds named
and numbered resources of any type; this is all a girl module needs.
"""
import struct

RT_BITMAP = 2
RT_STRING = 6
LANGUAGE = 0x0809  # English (United Kingdom), as the saver's own resources

FILE_ALIGNMENT = 0x200
SECTION_ALIGNMENT = 0x1000
IMAGE_BASE = 0x10000000


def _align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


def string_block(strings):
    """A string-table block: 16 counted UTF-16 strings, {index 0..15: text}."""
    out = b''
    for i in range(16):
        text = strings.get(i, '')
        out += struct.pack('<H', len(text)) + text.encode('utf-16-le')
    return out


def _sort_key(name):
    # Named entries come first, in the order the loader's search expects (upper case);
    # numbered entries follow in ascending order.
    return (0, name.upper(), 0) if isinstance(name, str) else (1, '', name)


def _build_rsrc(resources, section_rva):
    """resources: {type: {name or id: bytes}} -> the bytes of the .rsrc section."""
    types = sorted(resources, key=_sort_key)
    # Sizes of the three directory levels, so every later part knows its offset.
    def table_size(entries):
        return 16 + 8 * entries
    level1 = table_size(len(types))
    level2 = sum(table_size(len(resources[t])) for t in types)
    level3 = sum(table_size(1) for t in types for _ in resources[t])
    count = sum(len(resources[t]) for t in types)
    data_entries_at = level1 + level2 + level3
    strings_at = data_entries_at + 16 * count
    names = [n for t in types for n in resources[t] if isinstance(n, str)] + \
            [t for t in types if isinstance(t, str)]
    name_offsets, name_bytes = {}, b''
    for name in names:
        if name.upper() not in name_offsets:
            name_offsets[name.upper()] = strings_at + len(name_bytes)
            name_bytes += struct.pack('<H', len(name)) + name.upper().encode('utf-16-le')
    data_at = _align(strings_at + len(name_bytes), 8)

    def directory(entries):
        named = sum(1 for e in entries if isinstance(e[0], str))
        out = struct.pack('<IIHHHH', 0, 0, 0, 0, named, len(entries) - named)
        for name, target in entries:
            name_field = (0x80000000 | name_offsets[name.upper()]) if isinstance(name, str) else name
            out += struct.pack('<II', name_field, target)
        return out

    tables_l2, tables_l3, data_entries, blobs = b'', b'', b'', b''
    l1_entries = []
    l3_offset = level1 + level2
    entry_index = 0
    for t in types:
        names_of_type = sorted(resources[t], key=_sort_key)
        l1_entries.append((t, 0x80000000 | (level1 + len(tables_l2))))
        l2_entries = []
        for name in names_of_type:
            l2_entries.append((name, 0x80000000 | (l3_offset + len(tables_l3))))
            data_entry_offset = data_entries_at + 16 * entry_index
            tables_l3 += directory([(LANGUAGE, data_entry_offset)])
            blob = resources[t][name]
            blob_offset = data_at + len(blobs)
            data_entries += struct.pack('<IIII', section_rva + blob_offset, len(blob), 0, 0)
            blobs += blob + b'\0' * (_align(len(blob), 8) - len(blob))
            entry_index += 1
        tables_l2 += directory(l2_entries)
    section = directory(l1_entries) + tables_l2 + tables_l3 + data_entries + name_bytes
    section += b'\0' * (data_at - len(section))
    return section + blobs


def write_library(path, resources):
    """Writes a resource-only 32-bit library holding resources {type: {name or id: bytes}}."""
    headers_size = _align(0x40 + 4 + 20 + 224 + 40, FILE_ALIGNMENT)
    section_rva = SECTION_ALIGNMENT
    rsrc = _build_rsrc(resources, section_rva)
    raw_size = _align(len(rsrc), FILE_ALIGNMENT)
    image_size = section_rva + _align(len(rsrc), SECTION_ALIGNMENT)

    dos = bytearray(0x40)
    dos[0:2] = b'MZ'
    struct.pack_into('<I', dos, 0x3C, 0x40)
    coff = struct.pack('<HHIIIHH', 0x14C, 1, 0, 0, 0, 224, 0x210E)  # i386 DLL, stripped
    optional = struct.pack('<HBBIIIIIII', 0x10B, 2, 38, 0, raw_size, 0, 0, 0, section_rva, IMAGE_BASE)
    optional += struct.pack('<IIHHHHHHIIIIHHIIIIII', SECTION_ALIGNMENT, FILE_ALIGNMENT, 4, 0, 0, 0, 4, 0, 0,
                            image_size, headers_size, 0, 2, 0, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    directories = [(0, 0)] * 16
    directories[2] = (section_rva, len(rsrc))
    optional += b''.join(struct.pack('<II', rva, size) for rva, size in directories)
    assert len(optional) == 224
    section = struct.pack('<8sIIIIIIHHI', b'.rsrc', len(rsrc), section_rva, raw_size, headers_size,
                          0, 0, 0, 0, 0x40000040)
    headers = bytes(dos) + b'PE\0\0' + coff + optional + section
    with open(path, 'wb') as f:
        f.write(headers + b'\0' * (headers_size - len(headers)))
        f.write(rsrc + b'\0' * (raw_size - len(rsrc)))


def read_library(path):
    """Reads the resources of a Windows library, 32- or 64-bit, as {type: {NAME or id: bytes}}
    (names in upper case, the first language of each). Raises ValueError if it is none."""
    with open(path, 'rb') as f:
        data = f.read()
    try:
        if data[:2] != b'MZ':
            raise ValueError('it does not start as a Windows program or library does')
        pe = struct.unpack_from('<I', data, 0x3C)[0]
        if data[pe:pe + 4] != b'PE\0\0':
            raise ValueError('it has no Windows library header')
        sections, optional_size = struct.unpack_from('<H12xH', data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from('<H', data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        rsrc_rva = struct.unpack_from('<I', data, directories + 2 * 8)[0]
        table = optional + optional_size
        spans = [struct.unpack_from('<8xIIII', data, table + 40 * i) for i in range(sections)]

        def offset_of(rva):
            for virtual_size, address, raw_size, raw_at in spans:
                if address <= rva < address + max(virtual_size, raw_size):
                    return raw_at + rva - address
            raise ValueError('a resource lies outside the file')

        base = offset_of(rsrc_rva)

        def entries(at):
            named, numbered = struct.unpack_from('<HH', data, base + at + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from('<II', data, base + at + 16 + 8 * i)
                if name & 0x80000000:
                    where = base + (name & 0x7FFFFFFF)
                    length = struct.unpack_from('<H', data, where)[0]
                    name = data[where + 2:where + 2 + 2 * length].decode('utf-16-le').upper()
                yield name, target & 0x7FFFFFFF

        found = {}
        for kind, names in entries(0):
            for name, languages in entries(names):
                for _, leaf in entries(languages):
                    rva, size = struct.unpack_from('<II', data, base + leaf)
                    at = offset_of(rva)
                    found.setdefault(kind, {})[name] = data[at:at + size]
                    break
        return found
    except struct.error:
        raise ValueError('it ends before its own headers do')


def dib_as_bmp(dib):
    """A bitmap resource (a packed DIB) as the bytes of a .bmp file."""
    header_size, _, _, _, bits, compression, _, _, _, used = struct.unpack_from('<IiiHHIIiiI', dib)
    colours = used or (1 << bits if bits <= 8 else 0)
    masks = 12 if compression == 3 and header_size == 40 else 0
    bits_at = 14 + header_size + masks + 4 * colours
    return b'BM' + struct.pack('<IHHI', 14 + len(dib), 0, 0, bits_at) + dib
