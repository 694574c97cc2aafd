#!/usr/bin/env python3
"""Builds ZIP archives whose member names are stored in the ways writers store them: CP932
without the UTF-8 flag (Japanese Windows), UTF-8 with the flag, decomposed UTF-8 (macOS), and
Chinese, Korean and EUC-JP names without the flag."""
import sys
import unicodedata
import zipfile


class StoredName(zipfile.ZipInfo):
    """A member whose name is written as the given bytes, with or without the UTF-8 flag."""

    def __init__(self, stored, utf8_flag, date=(2021, 6, 7, 8, 9, 10)):
        super().__init__(stored.decode('latin-1'), date)
        self.stored = stored
        self.utf8_flag = utf8_flag

    def _encodeFilenameFlags(self):
        flags = self.flag_bits | 0x800 if self.utf8_flag else self.flag_bits & ~0x800
        return self.stored, flags


def write(out, members):
    with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
        for stored, flag, data in members:
            z.writestr(StoredName(stored, flag), data)


def nfd(text):
    return unicodedata.normalize('NFD', text).encode('utf-8')


FIXTURES = {
    # Second bytes 0x5C (表, ソ, 能) must not split the name into folders.
    'python_cp932': lambda out: write(out, [
        ('表/ソ能.txt'.encode('cp932'), False, b'cp932 one\n'),
        ('ダウンロード.txt'.encode('cp932'), False, b'cp932 two\n'),
        (b'ascii.txt', False, b'ascii\n'),
    ]),
    'flagged': lambda out: write(out, [
        ('日本語/ファイル①.txt'.encode('utf-8'), True, b'flagged one\n'),
        ('Ünïcödé.txt'.encode('utf-8'), True, b'flagged two\n'),
    ]),
    # macOS writes names decomposed: が is か and a combining voiced mark.
    'nfd_unflagged': lambda out: write(out, [
        (nfd('がぎぐ/パン.txt'), False, b'nfd plain\n'),
        (nfd('Café.txt'), False, b'nfd latin\n'),
    ]),
    'nfd_flagged': lambda out: write(out, [
        (nfd('ポケット.txt'), True, b'nfd flagged\n'),
    ]),
    # Names in other encodings, unflagged, beside one flagged UTF-8 name the choice of
    # encoding must leave alone.
    'eucjp': lambda out: write(out, [
        ('日本語の名前.txt'.encode('euc-jp'), False, b'euc-jp\n'),
        ('旗付き.txt'.encode('utf-8'), True, b'flagged\n'),
    ]),
    'gbk': lambda out: write(out, [('简体中文.txt'.encode('gbk'), False, b'gbk\n')]),
    'big5': lambda out: write(out, [('繁體中文.txt'.encode('big5'), False, b'big5\n')]),
    'euckr': lambda out: write(out, [('한국어.txt'.encode('euc-kr'), False, b'euc-kr\n')]),
}

if __name__ == '__main__':
    FIXTURES[sys.argv[1]](sys.argv[2])
