#!/usr/bin/env python3
"""Time from starting quarvo to its first status line on standard error.

Usage: bench/startup_latency.py [runs]   (after ./test or ./run has built build/quarvo)
Runs a Volume report of this host's SYS volume, no configuration needed.
"""
import os
import socket
import subprocess
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
binary = os.path.join(root, "build", "quarvo")
host = socket.gethostname().split(".")[0].upper()
tree = "".join(c if c.isalnum() and c.isascii() else "_" for c in host)[:19] + "_TREE"
runs = int(sys.argv[1]) if len(sys.argv) > 1 else 20

with tempfile.TemporaryDirectory() as tmp:
    args = [binary, "/T=" + tree, "/F=VOLUME", "/V=\\\\%s\\SYS" % host, "/OUTFILE=" + os.path.join(tmp, "v.csv")]
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        p = subprocess.Popen(args, stderr=subprocess.PIPE)
        p.stderr.readline()
        times.append((time.perf_counter() - start) * 1000)
        p.wait()
times.sort()
print("startup to first status line over %d runs: median %.1f ms, slowest %.1f ms"
      % (runs, times[len(times) // 2], times[-1]))
