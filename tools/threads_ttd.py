#!/usr/bin/env python3
"""Measures what Threads buys: time to depth and depth in the fixed budget, through USI.

    tools/threads_ttd.py [--engine build/mirabel] [--threads 2] [--depth D | --depths D1,D2,...]
                         [--repeat 3]
                         [--positions tools/threads_positions.txt] [--hash MB]
                         [--draws K] [--cap S] [--skip-ttd] [--skip-budget]

Time to depth: for each position, "go depth D" with Threads=1 and with Threads=N, each run in a
fresh engine (an empty table), alternating, the median of --repeat runs each. Without --depth, D
is found per position as the depth one thread takes 1 to 3 s for. Prints per position both times,
their ratio and the summed node counts, then the geometric mean of the ratios.

Depth in the budget: plain "go" (the fixed 2.8 s) with 1 and with N threads on every position;
prints the deepest finished iteration of each (the median over the draws) and the medians.

--hash sets USI_Hash for every engine, whatever its thread count (default: the engine's own).

--draws K: the search's move ordering has a random part whose sequence runs on from search to
search, and the size of a tree at a fixed depth depends on it several-fold (one position's depth
15 took from 10 to 416 million nodes over eight sequences). A fresh engine's first search is one
draw of that lottery, and calibrating D on it picks a lucky one. With K > 1 every time is the
median of K draws: draw 0 is a fresh engine's search, draw r > 0 first searches the start
position to depth r (moving the sequence on as an earlier move of a game would) and then starts
a new game (an empty table), for one thread and for N alike; D is calibrated on the one-thread
median. --cap stops a run after S seconds and counts it as S (a median of three needs two runs
past the cap to be changed by it).

Wall-clock figures need a quiet machine: run nothing else meanwhile.
"""
import argparse
import math
import os
import select
import statistics
import subprocess
import time

HERE = os.path.dirname(os.path.abspath(__file__))


class Engine:
    hash_megabytes = 0  # USI_Hash for every engine; 0 leaves the engine's default

    def __init__(self, path, threads):
        self.process = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        text=True, bufsize=1)
        self.send("usi")
        self.until("usiok")
        self.send(f"setoption name Threads value {threads}")
        if Engine.hash_megabytes:
            self.send(f"setoption name USI_Hash value {Engine.hash_megabytes}")
        self.send("isready")
        self.until("readyok")

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def until(self, prefix):
        lines = []
        while True:
            line = self.process.stdout.readline()
            if not line:
                raise RuntimeError("the engine ended")
            lines.append(line.strip())
            if line.startswith(prefix):
                return lines

    def until_or_stop(self, prefix, deadline):
        """Like until, but sends "stop" once the monotonic clock passes `deadline`. Reads the
        pipe itself: the engine is silent before "go", so nothing waits in the reader's buffer."""
        descriptor, text, stopped = self.process.stdout.fileno(), "", False
        while True:
            wait = None if stopped else max(0.0, deadline - time.monotonic())
            if not select.select([descriptor], [], [], wait)[0]:
                self.send("stop")
                stopped = True
                continue
            chunk = os.read(descriptor, 65536).decode()
            if not chunk:
                raise RuntimeError("the engine ended")
            text += chunk
            lines = text.split("\n")
            if any(line.startswith(prefix) for line in lines[:-1]):
                return [line.strip() for line in lines if line.strip()]

    def search(self, position, go, draw=0, cap=0.0):
        """Wall seconds from "go" to "bestmove" (at most `cap` when set), and the last
        "info depth" line's fields. Draw r > 0 moves the ordering's sequence on first."""
        if draw > 0:
            self.send("position startpos")
            self.send(f"go depth {draw}")
            self.until("bestmove")
        self.send("usinewgame")
        self.send("position " + position)
        start = time.monotonic()
        self.send(go)
        lines = self.until_or_stop("bestmove", start + cap) if cap else self.until("bestmove")
        seconds = min(time.monotonic() - start, cap) if cap else time.monotonic() - start
        reports = [line.split() for line in lines if line.startswith("info depth")]
        last = reports[-1] if reports else []
        fields = {name: int(last[last.index(name) + 1]) for name in ("depth", "nodes", "time")
                  if name in last}
        return seconds, fields

    def close(self):
        self.send("quit")
        self.process.wait(timeout=10)


def run(engine_path, threads, position, go, draw=0, cap=0.0):
    engine = Engine(engine_path, threads)
    try:
        return engine.search(position, go, draw, cap)
    finally:
        engine.close()


def median_run(args, threads, position, go):
    """The median seconds and nodes over the draws (one run each when --draws is 1)."""
    runs = [run(args.engine, threads, position, go, draw, args.cap) for draw in range(args.draws)]
    return (statistics.median(seconds for seconds, _ in runs),
            int(statistics.median(fields.get("nodes", 0) for _, fields in runs)))


def calibrate(args, position):
    """The depth one thread reaches in 1 to 3 s (the nearest when none fits)."""
    depth, tried = 8, {}
    while depth not in tried and 4 <= depth <= 20:
        tried[depth] = median_run(args, 1, position, f"go depth {depth}")[0]
        if tried[depth] < 1.0:
            depth += 1
        elif tried[depth] > 3.0:
            depth -= 1
        else:
            return depth
    fits = [d for d, s in tried.items() if s <= 3.0]
    return max(fits) if fits else min(tried)


def time_to_depth(args, positions):
    print(f"Time to depth, Threads={args.threads} against 1 "
          f"(median of {args.repeat} runs of {args.draws} draws)")
    print(f"{'pos':>3} {'depth':>5} {'t1 s':>7} {'tN s':>7} {'ratio':>6} {'nodes1':>10} {'nodesN':>10}")
    ratios = []
    for index, position in enumerate(positions, 1):
        depth = args.depths[index - 1] if args.depths else args.depth or calibrate(args, position)
        times = {1: [], args.threads: []}
        nodes = {1: [], args.threads: []}
        for _ in range(args.repeat):
            for threads in (1, args.threads):
                seconds, count = median_run(args, threads, position, f"go depth {depth}")
                times[threads].append(seconds)
                nodes[threads].append(count)
        one, many = statistics.median(times[1]), statistics.median(times[args.threads])
        ratios.append(many / one)
        print(f"{index:>3} {depth:>5} {one:7.3f} {many:7.3f} {many / one:6.3f} "
              f"{int(statistics.median(nodes[1])):>10} {int(statistics.median(nodes[args.threads])):>10}",
              flush=True)
    mean = math.exp(sum(math.log(r) for r in ratios) / len(ratios))
    print(f"geometric mean of the ratios: {mean:.3f}")


def deepest_finished(threads, fields):
    # One search's last line names the iteration it was in when the clock ran out (finished
    # only when it ended early, at its 15-ply cap); a group's last line names the iteration
    # that answered, always finished.
    depth = fields.get("depth", 0)
    if threads == 1 and fields.get("time", 0) >= 2700:
        depth -= 1
    return depth


def depth_in_budget(args, positions):
    print(f"Depth finished in the fixed 2.8 s budget, Threads=1 and {args.threads}")
    print(f"{'pos':>3} {'d1':>3} {'dN':>3}")
    depths = {1: [], args.threads: []}
    for index, position in enumerate(positions, 1):
        row = []
        for threads in (1, args.threads):
            finished = [deepest_finished(threads, run(args.engine, threads, position, "go", d)[1])
                        for d in range(args.draws)]
            depths[threads].append(statistics.median(finished))
            row.append(depths[threads][-1])
        print(f"{index:>3} {row[0]:>3} {row[1]:>3}", flush=True)
    print(f"median: {statistics.median(depths[1])} with 1 thread, "
          f"{statistics.median(depths[args.threads])} with {args.threads}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--engine", default=os.path.join(HERE, "..", "build", "mirabel"))
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--depth", type=int, default=0, help="plies; 0: calibrated per position")
    parser.add_argument("--depths", type=lambda text: [int(d) for d in text.split(",")],
                        help="one depth per position, comma-separated, instead of calibrating")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--positions", default=os.path.join(HERE, "threads_positions.txt"))
    parser.add_argument("--hash", type=int, default=0, help="USI_Hash in MiB for every run")
    parser.add_argument("--draws", type=int, default=1,
                        help="runs per time, each after another amount of the ordering's sequence")
    parser.add_argument("--cap", type=float, default=0.0, help="seconds a run may take; 0: no cap")
    parser.add_argument("--skip-ttd", action="store_true")
    parser.add_argument("--skip-budget", action="store_true")
    args = parser.parse_args()
    Engine.hash_megabytes = args.hash
    with open(args.positions) as file:
        positions = [line.strip() for line in file if line.strip() and not line.startswith("#")]
    if args.draws < 1:
        parser.error("--draws must be at least 1")
    if args.depths and len(args.depths) != len(positions):
        parser.error(f"--depths names {len(args.depths)} depths for {len(positions)} positions")
    if not args.skip_ttd:
        time_to_depth(args, positions)
    if not args.skip_budget:
        depth_in_budget(args, positions)


if __name__ == "__main__":
    main()
