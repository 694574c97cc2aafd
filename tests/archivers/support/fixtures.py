#!/usr/bin/env python3
"""Builds the archives the ZIP and CAB tests read: Windows-style CP932 names, ZIP64, and
hostile members that no ordinary tool would write."""
import os
import struct
import sys
import zipfile
import zlib


class Cp932Info(zipfile.ZipInfo):
    """A member whose name is stored as CP932 without the UTF-8 flag, as Japanese Windows
    tools write it."""

    def _encodeFilenameFlags(self):
        return self.filename.encode('cp932'), self.flag_bits & ~0x800


def cp932_zip(out):
    with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
        # Second bytes 0x5C in 表, ソ and 能 must not be taken for folder separators.
        info = Cp932Info('表/ソ能.txt', (1999, 5, 10, 13, 4, 6))
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, 'ソースの表'.encode('utf-8') * 50)
        info = Cp932Info('空.txt', (2001, 2, 3, 4, 5, 6))
        z.writestr(info, b'')
        # A UTF-8 name (Python sets the flag itself).
        z.writestr(zipfile.ZipInfo('utf8名前/丸①.txt', (2020, 1, 2, 3, 4, 6)), b'utf8 member\n')
        z.writestr(zipfile.ZipInfo('plain/stored.bin', (2020, 1, 2, 3, 4, 6)), os.urandom(5000),
                   compress_type=zipfile.ZIP_STORED)
        z.writestr(zipfile.ZipInfo('bz/data.txt', (2020, 1, 2, 3, 4, 6)), b'bzip2 ' * 1000,
                   compress_type=zipfile.ZIP_BZIP2)
        z.writestr(zipfile.ZipInfo('xz/data.txt', (2020, 1, 2, 3, 4, 6)), b'lzma ' * 1000,
                   compress_type=zipfile.ZIP_LZMA)


def zip64_small(out):
    with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
        with z.open('big/one.txt', 'w', force_zip64=True) as f:
            f.write(b'zip64 member ' * 1000)
        z.writestr('two.txt', b'second')


def zip64_huge(out):
    """One member of 4 GiB + 1 MiB of zeros, deflated: sizes only ZIP64 can hold."""
    size = (4 << 30) + (1 << 20)
    chunk = bytes(1 << 24)
    name = b'huge.bin'
    comp = zlib.compressobj(1, zlib.DEFLATED, -15)
    crc = 0
    with open(out, 'wb') as f:
        local = struct.pack('<IHHHHHIIIHH', 0x04034b50, 45, 0, 8, 0, 0x21, 0, 0xFFFFFFFF,
                            0xFFFFFFFF, len(name), 20)
        f.write(local + name + struct.pack('<HHQQ', 1, 16, size, 0))
        start = f.tell()
        left = size
        while left:
            piece = chunk if left >= len(chunk) else bytes(left)
            crc = zlib.crc32(piece, crc)
            f.write(comp.compress(piece))
            left -= len(piece)
        f.write(comp.flush())
        csize = f.tell() - start
        f.seek(start - 16)
        f.write(struct.pack('<QQ', size, csize))
        f.seek(14)
        f.write(struct.pack('<I', crc))
        f.seek(0, 2)
        cd = f.tell()
        f.write(struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 45, 45, 0, 8, 0, 0x21, crc,
                            0xFFFFFFFF, 0xFFFFFFFF, len(name), 28, 0, 0, 0, 0, 0xFFFFFFFF)
                + name + struct.pack('<HHQQQ', 1, 24, size, csize, 0))
        cdsize = f.tell() - cd
        z64 = f.tell()
        f.write(struct.pack('<IQHHIIQQQQ', 0x06064b50, 44, 45, 45, 0, 0, 1, 1, cdsize, cd))
        f.write(struct.pack('<IIQI', 0x07064b50, 0, z64, 1))
        f.write(struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 1, 1, 0xFFFFFFFF, 0xFFFFFFFF, 0))


def hostile_zip(out):
    with zipfile.ZipFile(out, 'w') as z:
        z.writestr('good.txt', b'good')
        z.writestr('../escape1.txt', b'evil')
        z.writestr('/tmp/koramo-absolute-escape.txt', b'evil')
        z.writestr('sub/../../escape2.txt', b'evil')
        link = zipfile.ZipInfo('link')
        link.create_system = 3
        link.external_attr = (0o120777 << 16)
        z.writestr(link, '..')
        z.writestr('link/escape3.txt', b'evil')
        z.writestr('ok/inner.txt', b'inner')


def backslash_zip(out):
    """Names written with "\\" between folders, as some Windows tools do."""
    with zipfile.ZipFile(out, 'w') as z:
        z.writestr('win\\sub\\file.txt', b'win')
        z.writestr('..\\evil.txt', b'evil')


def cab(out, members, compress=True):
    """A cabinet with one folder. compress=False stores the data (type 0) so that names the
    other tools refuse can be written; members are (name bytes, data)."""
    data = b''.join(d for _, d in members)
    blocks = []
    previous = b''
    for i in range(0, max(len(data), 1), 32768):
        piece = data[i:i + 32768]
        if compress:
            # Each MSZIP block is a finished deflate stream that may refer to the block
            # before it.
            c = zlib.compressobj(9, zlib.DEFLATED, -15, zdict=previous) if previous else \
                zlib.compressobj(9, zlib.DEFLATED, -15)
            packed = b'CK' + c.compress(piece) + c.flush()
            previous = piece
        else:
            packed = piece
        blocks.append((packed, len(piece)))
    files = b''
    offset = 0
    for name, d in members:
        attribs = 0x20 | (0x80 if any(b >= 0x80 for b in name) else 0)
        files += struct.pack('<IIHHHH', len(d), offset, 0, 0x2821, 0x6000, attribs) + name + b'\0'
        offset += len(d)
    header_size = 36
    folder_size = 8
    files_offset = header_size + folder_size
    data_offset = files_offset + len(files)
    body = b''
    for packed, raw in blocks:
        body += struct.pack('<IHH', 0, len(packed), raw) + packed
    total = data_offset + len(body)
    header = struct.pack('<4sIIIIIBBHHHHH', b'MSCF', 0, total, 0, files_offset, 0, 3, 1, 1,
                         len(members), 0, 0x1234, 0)
    folder = struct.pack('<IHH', data_offset, len(blocks), 1 if compress else 0)
    with open(out, 'wb') as f:
        f.write(header + folder + files + body)


def hostile_cab(out):
    cab(out, [(b'good.txt', b'good'), (b'..\\escape1.txt', b'evil'),
              (b'\\tmp\\koramo-cab-absolute.txt', b'evil'),
              (b'sub\\..\\..\\escape2.txt', b'evil'), (b'ok\\inner.txt', b'inner')],
        compress=False)


def cp932_cab(out):
    # A Windows-made cabinet: CP932 names without the UTF-8 attribute.
    members = [('日本\\ソ表.txt'.encode('cp932'), b'sjis name\n'), (b'plain.txt', b'plain\n')]
    data = b''.join(d for _, d in members)
    files = b''
    offset = 0
    for name, d in members:
        files += struct.pack('<IIHHHH', len(d), offset, 0, 0x2821, 0x6000, 0x20) + name + b'\0'
        offset += len(d)
    files_offset = 44
    data_offset = files_offset + len(files)
    body = struct.pack('<IHH', 0, len(data), len(data)) + data
    header = struct.pack('<4sIIIIIBBHHHHH', b'MSCF', 0, data_offset + len(body), 0, files_offset,
                         0, 3, 1, 1, len(members), 0, 0x1234, 0)
    with open(out, 'wb') as f:
        f.write(header + struct.pack('<IHH', data_offset, 1, 0) + files + body)


def lzx_cab(out):
    """A cabinet whose folder is LZX-compressed (21-bit window) with one uncompressed LZX
    block: no tool here writes LZX, but every reader must take this stream."""
    members = [(b'lzx\\one.txt', b'first LZX member\n' * 300), (b'two.bin', os.urandom(9000))]
    data = b''.join(d for _, d in members)
    assert len(data) <= 32768
    bits = '0' + '011' + format(len(data), '024b') + '0000'  # no E8, type 3, size, align
    words = [int(bits[i:i + 16], 2) for i in range(0, len(bits), 16)]
    stream = b''.join(struct.pack('<H', w) for w in words) + struct.pack('<III', 1, 1, 1) + data
    if len(data) % 2:
        stream += b'\0'
    files = b''
    offset = 0
    for name, d in members:
        files += struct.pack('<IIHHHH', len(d), offset, 0, 0x2821, 0x6000, 0x20) + name + b'\0'
        offset += len(d)
    files_offset = 44
    data_offset = files_offset + len(files)
    body = struct.pack('<IHH', 0, len(stream), len(data)) + stream
    header = struct.pack('<4sIIIIIBBHHHHH', b'MSCF', 0, data_offset + len(body), 0, files_offset,
                         0, 3, 1, 1, len(members), 0, 0x1234, 0)
    with open(out, 'wb') as f:
        f.write(header + struct.pack('<IHH', data_offset, 1, 0x1503) + files + body)
    for name, d in members:
        with open(out + '.' + name.decode().replace('\\', '_'), 'wb') as f:
            f.write(d)


def cp932_tree(folder):
    """Files whose on-disk names are CP932 bytes, for Info-ZIP zip to store as they are."""
    root = os.fsencode(folder)
    sub = os.path.join(root, '日本語フォルダ'.encode('cp932'))
    os.makedirs(sub, exist_ok=True)
    with open(os.path.join(sub, 'ソース表.txt'.encode('cp932')), 'wb') as f:
        f.write(b'info-zip sjis\n' * 20)
    with open(os.path.join(root, b'ascii.txt'), 'wb') as f:
        f.write(b'x' * 1000)


if __name__ == '__main__':
    command, target = sys.argv[1], sys.argv[2]
    {
        'cp932_zip': cp932_zip, 'zip64_small': zip64_small, 'zip64_huge': zip64_huge,
        'hostile_zip': hostile_zip, 'hostile_cab': hostile_cab, 'cp932_cab': cp932_cab,
        'cp932_tree': cp932_tree, 'lzx_cab': lzx_cab, 'backslash_zip': backslash_zip,
        'plain_cab': lambda out: cab(out, [(b'dir\\a.txt', b'alpha ' * 5000),
                                           ('名前\\b.txt'.encode('utf-8'), os.urandom(70000))]),
    }[command](target)
