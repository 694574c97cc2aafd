#!/usr/bin/env python3
"""Writes the soak's folder of mixed previews: text in UTF-8 and CP932, RTF, HTML, BMP, GIF,
WAV, MIDI, MP3 with a tag, and ZIP, LZH and CAB archives (LZH and CAB made by jlha and gcab)."""
import base64
import math
import os
import shutil
import struct
import subprocess
import sys
import wave
import zipfile

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def put(name, data):
    with open(os.path.join(out, name), 'wb') as f:
        f.write(data)


put('メモ.txt', ('日本語のテキスト。\r\n' * 200).encode('utf-8'))
put('sjis.log', ''.join('シフトJISの記録 %d\r\n' % i for i in range(300)).encode('cp932'))
# RTF with Shift-JIS escapes under \ansicpg932, as Japanese word processors write it.
put('文書.rtf', (r'{\rtf1\ansi\ansicpg932\deff0{\fonttbl{\f0\fnil\fcharset128 MS Mincho;}}'
                r'{\colortbl;\red200\green0\blue0;}\f0\fs24 ' +
                ''.join('\\\'%02x' % b for b in '日本語の文書'.encode('cp932')) +
                r'\par {\b bold} {\i italic} {\cf1 red}\par}').encode('ascii'))
put('page.html', '<html><head><meta charset="utf-8"><title>頁</title></head><body><h1>見出し</h1>'
    '<p>本文の段落。</p></body></html>'.encode('utf-8'))

# A 64 x 48 24-bit bitmap of a colour ramp.
width, height = 64, 48
pixels = b''.join(bytes(((x * 4) % 256, (y * 5) % 256, 128)) for y in range(height)
                  for x in range(width))
image = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54) + \
    struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0) + pixels
put('絵.bmp', image)
put('dot.gif', base64.b64decode(
    'R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw=='))

# Two seconds of a 440 Hz tone.
with wave.open(os.path.join(out, '音.wav'), 'wb') as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(22050)
    w.writeframes(b''.join(struct.pack('<h', int(8000 * math.sin(2 * math.pi * 440 * i / 22050)))
                           for i in range(22050 * 2)))

# One note held for a second.
track = bytes([0x00, 0x90, 60, 100, 0x87, 0x40, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00])
put('曲.mid', b'MThd' + struct.pack('>IHHH', 6, 0, 1, 480) + b'MTrk' + struct.pack('>I', len(track))
    + track)

# MPEG-1 layer III frames of silence and an ID3v1 tag.
frame = bytes([0xFF, 0xFB, 0x90, 0x64]) + bytes(413)
tag = b'TAG' + 'タイトル'.encode('cp932').ljust(30, b'\0') + \
    'アーティスト'.encode('cp932').ljust(30, b'\0') + b'\0' * 30 + b'2026' + b'\0' * 30 + b'\x0c'
put('歌.mp3', frame * 40 + tag)

with zipfile.ZipFile(os.path.join(out, '書庫.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(20):
        z.writestr('フォルダ/ファイル%02d.txt' % i, ('中身 %d\n' % i).encode('utf-8') * 50)

members = os.path.join(out, '.members')
os.makedirs(members, exist_ok=True)
for i in range(10):
    with open(os.path.join(members, 'member%02d.txt' % i), 'wb') as f:
        f.write(b'member data\n' * 100)
names = sorted(os.listdir(members))
subprocess.run(['jlha', 'a', os.path.abspath(os.path.join(out, 'lha.lzh'))] + names, cwd=members,
               check=True, stdout=subprocess.DEVNULL)
subprocess.run(['gcab', '-c', '-z', os.path.abspath(os.path.join(out, 'cab.cab'))] + names,
               cwd=members, check=True)
shutil.rmtree(members)
