#!/usr/bin/env python3
# Runs a command RUNS times and prints the median wall and CPU milliseconds (user + system of
# the command): peer_times.py RUNS COMMAND [ARGS...]. Output goes to /dev/null.
import resource
import statistics
import subprocess
import sys
import time

runs = int(sys.argv[1])
command = sys.argv[2:]
wall, cpu = [], []
for _ in range(runs):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    wall.append((time.monotonic() - start) * 1000)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu.append((after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) * 1000)
print("%.1f %.1f" % (statistics.median(wall), statistics.median(cpu)))
