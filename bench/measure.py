#!/usr/bin/env python3
"""Runs one command and prints its wall time, processor time (user + system of everything it
waited for) and peak resident set in KB, and its exit status: "WALL CPU PEAK_KB STATUS".

Usage: measure.py COMMAND [ARGUMENT]...
"""
import resource
import subprocess
import sys
import time

start = time.monotonic()
status = subprocess.run(sys.argv[1:]).returncode
wall = time.monotonic() - start
use = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.2f %.2f %d %d" % (wall, use.ru_utime + use.ru_stime, use.ru_maxrss, status))
