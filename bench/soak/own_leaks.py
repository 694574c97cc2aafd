#!/usr/bin/env python3
"""Reads the leak list heaptrack_print writes (--print-leaks 1 --merge-backtraces 0) and
prints the number of leaks whose allocation stack passes through a source file below the
given folder, that is through the program's own code. Each such leak is listed on stderr."""
import sys

report, own_root = sys.argv[1], sys.argv[2].rstrip('/') + '/'
ours = []
block = []


def finish():
    if block and any(line.strip().startswith('at ' + own_root) for line in block):
        ours.append(block[:])


in_leaks = False
with open(report, encoding='utf-8', errors='replace') as f:
    for line in f:
        line = line.rstrip('\n')
        if line == 'MEMORY LEAKS':
            in_leaks = True
            continue
        if not in_leaks:
            continue
        if ' leaked over ' in line and not line.startswith(' '):
            finish()
            block = [line]
        elif line.startswith(' '):
            block.append(line)
        elif line.startswith('total runtime') or line.startswith('MOST '):
            finish()
            block = []
            in_leaks = False
    finish()

for b in ours:
    print('\n'.join(b[:12]), file=sys.stderr)
print(len(ours))
