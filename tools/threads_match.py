#!/usr/bin/env python3
"""Plays mirabel at a thread count against another USI engine and checks every game for a time
loss or an illegal move.

    tools/threads_match.py [--engine build/mirabel] [--threads 2] [--games 2]
                           [--clock sudden:30000 | byoyomi:1000] [--opponent /usr/games/fairy-stockfish]
                           [--max-plies 320] [--log FILE]

The runner keeps both clocks itself: it measures each move from its "go" to its "bestmove". Under
`sudden:MS` each side has MS milliseconds for the game; under `byoyomi:MS` no main time and MS
milliseconds a move. A side that runs past its time loses on time; every move is checked against
the rules by a third process, a plain mirabel that refuses an illegal move of a "position" line.
mirabel takes each side in turn. A game ends on "bestmove resign" (or "win"), on an illegal move
or a time loss, or as a draw after --max-plies. Exits with status 1 when mirabel lost a game on
time or played an illegal move.
"""
import argparse
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


class Usi:
    def __init__(self, command, options, log):
        self.name = os.path.basename(command[0])
        self.log = log
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True, bufsize=1)
        self.send("usi")
        self.until("usiok")
        for name, value in options:
            self.send(f"setoption name {name} value {value}")
        self.send("isready")
        self.until("readyok")

    def send(self, line):
        if self.log:
            self.log.write(f"> {self.name}: {line}\n")
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def until(self, prefix):
        lines = []
        while True:
            line = self.process.stdout.readline()
            if not line:
                raise RuntimeError(f"{self.name} ended")
            line = line.strip()
            lines.append(line)
            if self.log and not line.startswith("info"):
                self.log.write(f"< {self.name}: {line}\n")
            if line.startswith(prefix):
                return lines

    def close(self):
        try:
            self.send("quit")
            self.process.wait(timeout=10)
        except (OSError, subprocess.TimeoutExpired, RuntimeError):
            self.process.kill()


class Referee:
    """A plain mirabel: a "position" line with an illegal move gets an "info string" refusal."""

    def __init__(self, path):
        self.engine = Usi([path], [], None)

    def legal(self, moves):
        self.engine.send("position startpos moves " + " ".join(moves))
        self.engine.send("isready")
        lines = self.engine.until("readyok")
        return not any(line.startswith("info string") for line in lines)


def go_line(clock, remaining):
    kind, ms = clock
    if kind == "byoyomi":
        return f"go btime 0 wtime 0 byoyomi {ms}"
    return f"go btime {max(remaining[0], 0)} wtime {max(remaining[1], 0)}"


def play(args, clock, mirabel_side, referee, log):
    kind, ms = clock
    engines = [None, None]
    mirabel = Usi([args.engine], [("Threads", args.threads), ("USI_Ponder", "false")], log)
    opponent = Usi([args.opponent], [("UCI_Variant", "shogi")], log)
    engines[mirabel_side], engines[1 - mirabel_side] = mirabel, opponent
    remaining = [ms, ms] if kind == "sudden" else [0, 0]
    moves, result, slowest = [], "draw (move limit)", 0.0
    try:
        for engine in engines:
            engine.send("usinewgame")
        while len(moves) < args.max_plies:
            side = len(moves) % 2
            engine = engines[side]
            who = "mirabel" if side == mirabel_side else "opponent"
            engine.send("position startpos" + (" moves " + " ".join(moves) if moves else ""))
            start = time.monotonic()
            engine.send(go_line(clock, remaining))
            answer = engine.until("bestmove")[-1].split()
            elapsed = int((time.monotonic() - start) * 1000)
            if who == "mirabel":
                slowest = max(slowest, elapsed)
            allowed = ms if kind == "byoyomi" else remaining[side]
            if elapsed > allowed:
                result = f"{who} lost on time ({elapsed} ms, {allowed} ms allowed)"
                break
            if kind == "sudden":
                remaining[side] -= elapsed
            move = answer[1] if len(answer) > 1 else "(none)"
            if move in ("resign", "win", "(none)"):
                result = f"{who} {'resigned' if move != 'win' else 'claimed a win'}"
                break
            if not referee.legal(moves + [move]):
                result = f"{who} played an illegal move {move}"
                break
            moves.append(move)
    finally:
        mirabel.close()
        opponent.close()
    return result, len(moves), slowest, remaining[mirabel_side]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--engine", default=os.path.join(HERE, "..", "build", "mirabel"))
    parser.add_argument("--opponent", default="/usr/games/fairy-stockfish")
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--games", type=int, default=2)
    parser.add_argument("--clock", default="sudden:30000", help="sudden:MS or byoyomi:MS")
    parser.add_argument("--max-plies", type=int, default=320)
    parser.add_argument("--log", help="file for every command and answer line")
    args = parser.parse_args()
    kind, _, ms = args.clock.partition(":")
    if kind not in ("sudden", "byoyomi") or not ms.isdigit():
        parser.error("--clock takes sudden:MS or byoyomi:MS")
    clock = (kind, int(ms))
    log = open(args.log, "w") if args.log else None
    referee = Referee(args.engine)
    failures = 0
    print(f"mirabel Threads={args.threads} against {os.path.basename(args.opponent)}, {args.clock}")
    for game in range(args.games):
        mirabel_side = game % 2
        result, plies, slowest, left = play(args, clock, mirabel_side, referee, log)
        if "mirabel lost on time" in result or "mirabel played an illegal" in result:
            failures += 1
        left_text = f", {left} ms left" if kind == "sudden" else ""
        print(f"game {game + 1}: mirabel {'sente' if mirabel_side == 0 else 'gote'}, {plies} plies, "
              f"{result}; mirabel's slowest move {slowest} ms{left_text}", flush=True)
    referee.engine.close()
    print(f"{args.games} games, {failures} with a time loss or an illegal move by mirabel")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
