#!/usr/bin/env python3
"""Reads a ZIP archive with Python's zipfile and checks it against the folder it was made from:
every file and folder below the folder is a member of the same name (read in the encoding the
UTF-8 flag names, or as CP932 where the flag is unset) and nothing else; the flag is set or unset
on every member as asked; every file's bytes, Unix mode and modification time (the extended
timestamp field) are the file's; a member deflate would not shrink is stored.

usage: zip_check.py ARCHIVE FOLDER utf8|cp932
Prints each difference and exits with 1 when there is one."""
import os
import stat
import struct
import sys
import zipfile


def expected_names(folder):
    names = {}
    for root, dirs, files in os.walk(folder):
        rel = os.path.relpath(root, folder)
        prefix = '' if rel == '.' else rel + '/'
        for d in dirs:
            names[prefix + d + '/'] = os.path.join(root, d)
        for f in files:
            names[prefix + f] = os.path.join(root, f)
    return names


def timestamp(extra):
    i = 0
    while i + 4 <= len(extra):
        tag, size = struct.unpack('<HH', extra[i:i + 4])
        body = extra[i + 4:i + 4 + size]
        if tag == 0x5455 and size >= 5 and body[0] & 1:
            return struct.unpack('<i', body[1:5])[0]
        i += 4 + size
    return None


def main():
    archive, folder, encoding = sys.argv[1], sys.argv[2], sys.argv[3]
    problems = []
    wanted = expected_names(folder)
    seen = set()
    with zipfile.ZipFile(archive) as z:
        bad = z.testzip()
        if bad is not None:
            problems.append('CRC or data wrong: ' + bad)
        for info in z.infolist():
            flagged = bool(info.flag_bits & 0x800)
            if flagged != (encoding == 'utf8'):
                problems.append('UTF-8 flag %s on %r' % ('set' if flagged else 'unset',
                                                          info.filename))
            name = info.filename if flagged else info.filename.encode('cp437').decode('cp932')
            seen.add(name)
            path = wanted.get(name)
            if path is None:
                problems.append('member not in the folder: %r' % name)
                continue
            st = os.lstat(path)
            if stat.S_IMODE(info.external_attr >> 16) != stat.S_IMODE(st.st_mode):
                problems.append('mode of %r: %o' % (name, info.external_attr >> 16))
            if stat.S_ISDIR(st.st_mode) != stat.S_ISDIR(info.external_attr >> 16):
                problems.append('file type of %r' % name)
            if timestamp(info.extra) != int(st.st_mtime):
                problems.append('time of %r: %r' % (name, timestamp(info.extra)))
            if name.endswith('/'):
                continue
            with open(path, 'rb') as f:
                data = f.read()
            if z.read(info) != data:
                problems.append('bytes of %r differ' % name)
            if info.compress_type == zipfile.ZIP_DEFLATED and info.compress_size >= len(data):
                problems.append('%r deflated but not smaller' % name)
            if info.compress_type not in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED):
                problems.append('%r has method %d' % (name, info.compress_type))
    for name in sorted(set(wanted) - seen):
        problems.append('missing from the archive: %r' % name)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
