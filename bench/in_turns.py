#!/usr/bin/env python3
"""Times shell commands in turns: one warm-up round, then RUNS rounds, each
running every command once, in an order that rotates from round to round, so
a machine that speeds up or slows down meanwhile weighs on all of them alike
(hyperfine runs all of one command before the next). Prints a JSON object
{"name": {"median": seconds, "times": [...]}, ...} on standard output; a
command that fails stops it with its name and exit status.

    in_turns.py RUNS NAME=COMMAND [NAME=COMMAND ...]
"""
import json
import statistics
import subprocess
import sys
import time


def main():
    runs = int(sys.argv[1])
    commands = [argument.split("=", 1) for argument in sys.argv[2:]]
    times = {name: [] for name, _ in commands}
    for round_ in range(runs + 1):
        shift = round_ % len(commands)
        for name, command in commands[shift:] + commands[:shift]:
            start = time.perf_counter()
            status = subprocess.run(command, shell=True, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL).returncode
            elapsed = time.perf_counter() - start
            if status != 0:
                sys.exit("%s failed (exit status %d): %s" % (name, status, command))
            if round_ > 0:
                times[name].append(elapsed)
    json.dump({name: {"median": statistics.median(values), "times": values}
               for name, values in times.items()}, sys.stdout)


if __name__ == "__main__":
    main()
