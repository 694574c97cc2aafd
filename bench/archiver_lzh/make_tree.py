#!/usr/bin/env python3
"""Writes the benchmark tree: about TOTAL_MB of mixed files in nested folders, the same
bytes on every run (fixed seed). Text-like files compress well, record-like files
moderately, random files not at all."""
import os
import random
import sys

root = sys.argv[1]
total = int(sys.argv[2]) * 1024 * 1024 if len(sys.argv) > 2 else 200 * 1024 * 1024
rng = random.Random(20261208)
words = ("the archive member folder file name size time date header level method "
         "static huffman dictionary window match length position code table block "
         "int void char return if else for while struct class const static include "
         "error warning info debug value count index offset buffer stream read write "
         "ファイル 書庫 展開 圧縮 フォルダ 名前 日付 サイズ").split()


# Text files are cut from the system's C headers when they are there (real text with the
# repetitions real files have); otherwise from generated word lists.
parts = []
kept = 0
headers = []
for base, dirs, files in os.walk("/usr/include"):
    dirs.sort()
    for f in sorted(files):
        if f.endswith(".h"):
            headers.append(os.path.join(base, f))
for h in headers:
    try:
        with open(h, "rb") as f:
            parts.append(f.read())
            kept += len(parts[-1])
    except OSError:
        pass
    if kept > 64 * 1024 * 1024:
        break
corpus = b"".join(parts)


def text(n):
    if len(corpus) > n:
        start = rng.randrange(len(corpus) - n)
        return corpus[start:start + n]
    out = []
    size = 0
    while size < n:
        indent = "    " * rng.randrange(4)
        line = indent + " ".join(rng.choices(words, k=rng.randrange(3, 14)))
        line += rng.choice([";", " {", "", ",", "."]) + " // " + str(rng.randrange(100000)) + "\n"
        out.append(line)
        size += len(line.encode())
    return "".join(out).encode()[:n]


def records(n):
    # Fixed-size records: a counter, a few random bytes, padding; built in bulk.
    count = n // 24 + 1
    noise = rng.randbytes(count * 6)
    out = bytearray()
    for i in range(count):
        out += i.to_bytes(4, "little") + noise[i * 6:i * 6 + 6] + bytes(10) + (i * 7 % 997).to_bytes(4, "little")
    return bytes(out[:n])


def noise(n):
    return rng.randbytes(n)


written = 0
index = 0
kinds = [(text, 0.45), (records, 0.20), (noise, 0.35)]
while written < total:
    folder = os.path.join(root, "d%02d" % (index % 12), "s%d" % (index % 5))
    os.makedirs(folder, exist_ok=True)
    r = rng.random()
    acc = 0
    for make, share in kinds:
        acc += share
        if r <= acc:
            break
    size = int(rng.choice([4, 30, 200, 1000, 3000, 8000]) * 1024 * rng.uniform(0.5, 1.5))
    size = min(size, total - written) or 1
    with open(os.path.join(folder, "%s_%04d.dat" % (make.__name__, index)), "wb") as f:
        f.write(make(size))
    written += size
    index += 1
print("%d files, %d bytes" % (index, written))
