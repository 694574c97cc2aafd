#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_unarc, one folder per reader: 7z/, rar/, tar/ and iso/.

Each holds archives made by the programs that make such archives (7z a, GNU tar with each
compressor, genisoimage; RAR cannot be made with free tools, so the RAR samples of
tests/archivers/arc/data are the start) and hostile ones made from them: names that climb out
with "..", absolute names, links, sizes no file has, and archives cut short. Where a format
guards its headers with a CRC, the CRC is written anew so that the reader gets past it.

    tests/fuzz/make_unarc_seeds.py [CORPUS_FOLDER]   (default: tests/fuzz/corpus/fuzz_unarc)

Needs 7z (p7zip), tar, gzip, bzip2, xz, zstd and genisoimage.
"""
import io
import os
import struct
import subprocess
import sys
import tarfile
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "corpus", "fuzz_unarc")
RAR_SAMPLES = os.path.join(HERE, "..", "archivers", "arc", "data")


def run(args, cwd=None):
    subprocess.run(args, cwd=cwd, check=True, stdout=subprocess.DEVNULL)


def put(kind, name, data):
    os.makedirs(os.path.join(OUT, kind), exist_ok=True)
    with open(os.path.join(OUT, kind, name), "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def make_tree(root):
    """A small tree: a file, a Japanese name in a folder, a name starting with "-", an empty
    file, a link to /etc/passwd, and a file of 127 bytes named to be patched into "../"."""
    os.makedirs(os.path.join(root, "フォルダ"))
    files = {"a.txt": b"hello\n", "フォルダ/名前.txt": "日本語の中身\n".encode(),
             "-dash.txt": b"-\n", "empty.txt": b"", "AA_evil.txt": b"E" * 127}
    for name, data in files.items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(data)
    os.symlink("/etc/passwd", os.path.join(root, "link"))
    for path in files:
        os.utime(os.path.join(root, path), (1614834368, 1614834368))


# 7z ------------------------------------------------------------------------------------------

def sevenzip_fix(data, header):
    """The archive with its (uncompressed) end header replaced and both CRCs written anew."""
    offset = 32 + struct.unpack_from("<Q", data, 12)[0]
    start = struct.pack("<QQI", offset - 32, len(header), zlib.crc32(header))
    return (data[:8] + struct.pack("<I", zlib.crc32(start)) + start + data[32:offset] + header)


def sevenzip_header(data):
    offset = 32 + struct.unpack_from("<Q", data, 12)[0]
    size = struct.unpack_from("<Q", data, 20)[0]
    return data[offset:offset + size]


def seeds_7z(tmp, tree):
    made = os.path.join(tmp, "7z")
    os.makedirs(made)

    def seven(name, *switches, files=(".",)):
        path = os.path.join(made, name)
        run(["7z", "a", "-bd", "-bso0", *switches, path, *files], cwd=tree)
        return read(path)

    put("7z", "solid_lzma2.7z", seven("solid.7z"))
    put("7z", "links_kept.7z", seven("links.7z", "-snl"))
    put("7z", "copy_bcj_names.7z", seven("copy.7z", "-mx0", "-mhc=off", "-mf=BCJ"))
    put("7z", "ppmd.7z", seven("ppmd.7z", "-m0=PPMd", files=("a.txt", "フォルダ")))
    put("7z", "bzip2_deflate.7z", seven("bz.7z", "-m0=BZip2", files=("a.txt",)))
    put("7z", "deflate.7z", seven("df.7z", "-m0=Deflate", files=("フォルダ",)))
    put("7z", "encrypted_members.7z", seven("enc.7z", "-psecret", files=("a.txt",)))
    put("7z", "encrypted_headers.7z", seven("ench.7z", "-psecret", "-mhe=on", files=("a.txt",)))
    put("7z", "absolute_name.7z", seven("abs.7z", "-spf", files=(os.path.join(tree, "a.txt"),)))
    # One member of 127 bytes, stored, with a header that is not compressed: its name and its
    # sizes can be rewritten.
    plain = seven("plain.7z", "-mx0", "-mhc=off", files=("AA_evil.txt",))
    header = sevenzip_header(plain)
    for hostile, name in ((b"../evil.txt", "climbing_name.7z"),
                          (b"/tmp/ev.txt", "absolute_patched.7z"),
                          (b"a/../../e.t", "inner_climb.7z")):
        put("7z", name, sevenzip_fix(plain, header.replace("AA_evil.txt".encode("utf-16-le"),
                                                           hostile.decode().encode("utf-16-le"))))
    # Sizes (7z numbers: 0x7F is one byte; 0xFF and eight bytes is the widest) no file has.
    huge = b"\xff" + b"\xff" * 7 + b"\x7f"
    for marker, name in ((b"\x0c\x7f", "huge_unpacked_size.7z"), (b"\x09\x7f", "huge_packed_size.7z")):
        if marker in header:
            put("7z", name, sevenzip_fix(plain, header.replace(marker, marker[:1] + huge, 1)))
    # A count of files no archive holds, in the header's file list (0x05 kFilesInfo, then 1).
    if b"\x05\x01" in header:
        put("7z", "huge_file_count.7z",
            sevenzip_fix(plain, header.replace(b"\x05\x01", b"\x05\xfe\xff\xff\xff\xff", 1)))
    solid = read(os.path.join(made, "solid.7z"))
    put("7z", "truncated_half.7z", solid[:len(solid) // 2])
    put("7z", "truncated_header.7z", solid[:-7])
    put("7z", "signature_only.7z", solid[:32])


# RAR -----------------------------------------------------------------------------------------

def rar4_headers(data):
    pos = 7
    while pos + 7 <= len(data):
        kind, flags, size = data[pos + 2], struct.unpack_from("<H", data, pos + 3)[0], \
            struct.unpack_from("<H", data, pos + 5)[0]
        add = struct.unpack_from("<I", data, pos + 7)[0] if flags & 0x8000 or kind == 0x74 else 0
        yield pos, kind, size
        if kind == 0x7B or size < 7:
            return
        pos += size + add


def rar4_rewrite(data, edit):
    """The archive with each file header passed through edit(bytearray) and its CRC renewed."""
    out = bytearray(data)
    for pos, kind, size in rar4_headers(data):
        if kind != 0x74:
            continue
        header = bytearray(out[pos:pos + size])
        edit(header)
        struct.pack_into("<H", header, 0, zlib.crc32(bytes(header[2:])) & 0xFFFF)
        out[pos:pos + size] = header
    return bytes(out)


def rar4_name(old, new):
    def edit(header):
        at = header.find(old, 32)
        if at >= 0:
            header[at:at + len(old)] = new
    return edit


def seeds_rar():
    names = sorted(n for n in os.listdir(RAR_SAMPLES) if n.endswith(".rar"))
    for name in names:
        put("rar", name, read(os.path.join(RAR_SAMPLES, name)))
    v4 = read(os.path.join(RAR_SAMPLES, "read_format_rar.rar"))
    put("rar", "climbing_name_v4.rar", rar4_rewrite(v4, rar4_name(b"testdir\\test.txt",
                                                                  b"..\\..\\evil__.txt")))
    put("rar", "climbing_slash_v4.rar", rar4_rewrite(v4, rar4_name(b"testdir\\test.txt",
                                                                   b"../../../evil.tx")))
    put("rar", "absolute_name_v4.rar", rar4_rewrite(v4, rar4_name(b"testdir\\test.txt",
                                                                  b"/etc/evil___.txt")))

    def huge(header):
        struct.pack_into("<II", header, 7, 0xFFFFFFF0, 0xFFFFFFFF)

    put("rar", "huge_sizes_v4.rar", rar4_rewrite(v4, huge))

    def large_flag(header):
        # Says the 64-bit sizes follow; what follows is the name.
        struct.pack_into("<H", header, 3, struct.unpack_from("<H", header, 3)[0] | 0x0100)

    put("rar", "large_flag_v4.rar", rar4_rewrite(v4, large_flag))
    put("rar", "truncated_v4.rar", v4[:len(v4) * 2 // 3])
    v5 = read(os.path.join(RAR_SAMPLES, "read_format_rar5_compressed.rar"))
    put("rar", "truncated_v5.rar", v5[:len(v5) // 2])
    put("rar", "mark_only_v5.rar", v5[:8])
    uni = read(os.path.join(RAR_SAMPLES, "read_format_rar_unicode.rar"))
    put("rar", "truncated_unicode_v4.rar", uni[:len(uni) - 40])


# tar -----------------------------------------------------------------------------------------

def hostile_tars():
    def tar_of(members, fmt=tarfile.PAX_FORMAT):
        buffer = io.BytesIO()
        with tarfile.open(fileobj=buffer, mode="w", format=fmt) as t:
            for info, data in members:
                t.addfile(info, io.BytesIO(data) if data is not None else None)
        return buffer.getvalue()

    def member(name, data=b"x\n", kind=tarfile.REGTYPE, link=""):
        info = tarfile.TarInfo(name)
        info.type = kind
        info.linkname = link
        info.size = len(data) if kind == tarfile.REGTYPE else 0
        info.mtime = 1614834368
        return info, data if kind == tarfile.REGTYPE else None

    yield "climbing.tar", tar_of([member("../../evil.txt"), member("a/../../evil2.txt"),
                                  member("ok.txt")])
    yield "absolute.tar", tar_of([member("/tmp/evil.txt"), member("//etc/evil.txt")])
    yield "links.tar", tar_of([member("up", kind=tarfile.SYMTYPE, link="/tmp"),
                               member("up/evil.txt"),
                               member("hard", kind=tarfile.LNKTYPE, link="/etc/passwd"),
                               member("dir", kind=tarfile.DIRTYPE),
                               member("dir/../../x", kind=tarfile.SYMTYPE, link="..")])
    yield "devices.tar", tar_of([member("fifo", kind=tarfile.FIFOTYPE),
                                 member("chr", kind=tarfile.CHRTYPE),
                                 member("名前 と 空白.txt", "日本\n".encode())])
    cp932 = tarfile.TarInfo("x")
    cp932.name = "資料.txt"
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w", format=tarfile.USTAR_FORMAT,
                      encoding="cp932") as t:
        t.addfile(cp932, io.BytesIO(b""))
    yield "cp932_ustar.tar", buffer.getvalue()
    # A pax size far past any file, and a GNU header whose size field is base-256.
    big = tar_of([member("big.txt", b"y" * 10)])
    info, data = member("p.txt", b"z" * 10)
    info.pax_headers = {"size": "999999999999999999"}
    yield "huge_pax_size.tar", tar_of([(info, data)])
    gnu = bytearray(tar_of([member("g.txt", b"g" * 10)], fmt=tarfile.GNU_FORMAT))
    gnu[124:136] = b"\x80" + b"\x00" * 3 + b"\x7f" + b"\xff" * 7
    gnu[148:156] = b"        "
    gnu[148:156] = ("%06o\0 " % sum(gnu[0:512])).encode()
    yield "huge_base256_size.tar", bytes(gnu)
    yield "truncated_member.tar", big[:512 + 5]
    yield "truncated_header.tar", big[:300]


def seeds_tar(tmp, tree):
    made = os.path.join(tmp, "tar")
    os.makedirs(made)
    for option, ending in (("-z", "gz"), ("-j", "bz2"), ("-J", "xz"), ("--zstd", "zst")):
        path = os.path.join(made, "gnu.tar." + ending)
        run(["tar", option, "-cf", path, "--exclude=AA_evil.txt", "."], cwd=tree)
        put("tar", "gnu_tree.tar." + ending, read(path))
    path = os.path.join(made, "gnu.tar")
    run(["tar", "-cf", path, "--format=gnu", "."], cwd=tree)
    put("tar", "gnu_tree.tar", read(path))
    run(["tar", "-cf", path, "--format=pax", "--sparse", "."], cwd=tree)
    put("tar", "pax_tree.tar", read(path))
    compressors = {"gz": ["gzip", "-c"], "bz2": ["bzip2", "-c"], "xz": ["xz", "-c"],
                   "zst": ["zstd", "-q", "-c"], "lzma": ["xz", "--format=lzma", "-c"]}
    for name, data in hostile_tars():
        put("tar", name, data)
        # Every hostile tar through one compressor, taken in turn.
        ending = sorted(compressors)[sum(name.encode()) % len(compressors)]
        packed = subprocess.run(compressors[ending], input=data, check=True,
                                stdout=subprocess.PIPE).stdout
        put("tar", name + "." + ending, packed)
    with_gz = read(os.path.join(made, "gnu.tar.gz"))
    put("tar", "cut_stream.tar.gz", with_gz[:len(with_gz) // 2])
    with_xz = read(os.path.join(made, "gnu.tar.xz"))
    put("tar", "cut_stream.tar.xz", with_xz[:len(with_xz) - 20])


# ISO 9660 ------------------------------------------------------------------------------------

def seeds_iso(tmp, tree):
    made = os.path.join(tmp, "iso")
    os.makedirs(made)

    def image(name, *switches):
        path = os.path.join(made, name)
        run(["genisoimage", "-quiet", "-no-pad", *switches, "-o", path, tree])
        return read(path)

    rock = image("rr.iso", "-R", "-J")
    put("iso", "rock_ridge_joliet.iso", rock)
    put("iso", "plain_9660.iso", image("plain.iso"))
    put("iso", "joliet_only.iso", image("j.iso", "-J", "-joliet-long"))
    # Names that climb out: the Rock Ridge name and the Joliet name of one file become "..".
    for old, new, name in ((b"NM\x10\x01\x00AA_evil.txt", b"NM\x10\x01\x00../evil.txt",
                            "rock_ridge_climb.iso"),
                           ("AA_evil.txt".encode("utf-16-be"), "../evil.txt".encode("utf-16-be"),
                            "joliet_climb.iso")):
        if old in rock:
            put("iso", name, rock.replace(old, new))
    # The data length of every record of AA_evil.txt (both byte orders) set past any image.
    patched = bytearray(rock)
    size = struct.pack("<I", 127) + struct.pack(">I", 127)
    at = patched.find(size)
    while at >= 0:
        patched[at:at + 8] = struct.pack("<I", 0xFFFFFFF0) + struct.pack(">I", 0xFFFFFFF0)
        at = patched.find(size, at + 8)
    put("iso", "huge_extent.iso", bytes(patched))
    put("iso", "truncated_half.iso", rock[:len(rock) // 2])
    put("iso", "descriptors_only.iso", rock[:17 * 2048])


def main():
    with tempfile.TemporaryDirectory() as tmp:
        tree = os.path.join(tmp, "tree")
        make_tree(tree)
        seeds_7z(tmp, tree)
        seeds_rar()
        seeds_tar(tmp, tree)
        seeds_iso(tmp, tree)
    for kind in ("7z", "rar", "tar", "iso"):
        names = os.listdir(os.path.join(OUT, kind))
        print("%s: %d seeds" % (kind, len(names)))


if __name__ == "__main__":
    main()
