#!/usr/bin/env python3
"""Times a USI engine's "go mate" over a problem file, one engine process for the whole file.

    tools/mate_compare.py [--ms T] ENGINE FILE

FILE holds one problem a line, as mirabel-mate reads it. For each problem the script sends
"position sfen ..." and "go mate T", waits for the "checkmate" line and prints the problem's
number, the answer's length (0 for nomate or timeout), the time in ms and the answer. A summary
line gives the median and maximum times.
"""
import subprocess
import sys
import time


def main():
    args = sys.argv[1:]
    ms = 10000
    if len(args) >= 2 and args[0] == "--ms":
        ms = int(args[1])
        args = args[2:]
    if len(args) != 2:
        sys.exit(__doc__)
    engine, path = args
    proc = subprocess.Popen([engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True, bufsize=1)

    def send(line):
        proc.stdin.write(line + "\n")
        proc.stdin.flush()

    def wait_for(prefix):
        while True:
            line = proc.stdout.readline()
            if not line:
                sys.exit("engine ended")
            if line.startswith(prefix):
                return line.strip()

    send("usi")
    wait_for("usiok")
    send("isready")
    wait_for("readyok")
    times = []
    for number, line in enumerate(open(path), 1):
        words = line.split()
        if not words or words[0].startswith("#"):
            continue
        sfen = " ".join(words[:4])
        send("position sfen " + sfen)
        send("isready")
        wait_for("readyok")
        begin = time.monotonic()
        send("go mate %d" % ms)
        answer = wait_for("checkmate")
        elapsed = (time.monotonic() - begin) * 1000
        times.append(elapsed)
        moves = answer.split()[1:]
        length = 0 if moves in (["nomate"], ["timeout"], []) else len(moves)
        print("%d length %d time %.1f ms: %s" % (number, length, elapsed, " ".join(moves)),
              flush=True)
    send("quit")
    proc.wait(timeout=10)
    times.sort()
    if times:
        print("problems %d median %.1f ms max %.1f ms" % (len(times), times[len(times) // 2],
                                                           times[-1]))


if __name__ == "__main__":
    main()
