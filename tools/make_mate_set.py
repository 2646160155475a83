#!/usr/bin/env python3
"""Builds the mate benchmark set out of the Edo-period problems, confirmed by a peer solver.

    tools/make_mate_set.py MIRABEL_MATE PEER_ENGINE EDO_FILE OUT_DIR

1. `mirabel-mate --split 3 13` cuts each problem's recorded solution into shorter problems:
   the position 2k plies into a solution of L plies is a problem of L - 2k plies (kept for
   3 to 13), and so is the position after each of the defender's other replies (length unknown;
   a fixed 30% sample of them, drawn with a fixed seed, is kept).
2. Every sixth problem of the first kind has the attacker's hand emptied into the defender's as
   well: a candidate no-mate position.
3. The peer USI engine (gpsusi here) solves every candidate with "go mate 10000", one process
   for the whole file (tools/mate_compare.py).
4. A problem is kept when its known length has two sources: a cut solution whose rest the peer
   mates in the same number of plies, or another reply's position that the peer mates in 3 to
   13 plies (its line is then the known solution; the peer's lines are forced mates, so the
   length is an upper bound that our own solver then meets or beats). A candidate no-mate
   position is kept when the peer answers nomate.

5. mirabel-mate solves set.txt (10 s a problem). confirmed.txt keeps the problems whose known
   length two sources give alike: the cut solutions (published solution and peer), the other
   replies' positions where our solver's length is the peer's (the peer does not look for the
   shortest mate: where our line is shorter, only one source vouches for it), and the no-mate
   positions both solvers answer nomate.

OUT_DIR receives candidates.txt, peer.txt (the peer's answers, with times), set.txt (the
peer-confirmed set, one problem a line, as mirabel-mate reads it), mirabel.txt and
confirmed.txt. An existing peer.txt is reused (the peer's run takes about half an hour).
"""
import os
import random
import subprocess
import sys

HAND_ORDER = "RBGSNLP"


def empty_attacker_hand(sfen):
    board, side, hand, number = sfen.split()[:4]
    if hand == "-":
        return None
    counts = {}
    n = ""
    for c in hand:
        if c.isdigit():
            n += c
            continue
        counts[c] = counts.get(c, 0) + (int(n) if n else 1)
        n = ""
    attacker_upper = side == "b"
    moved = False
    for c in list(counts):
        if c.isupper() == attacker_upper:
            other = c.lower() if attacker_upper else c.upper()
            counts[other] = counts.get(other, 0) + counts.pop(c)
            moved = True
    if not moved:
        return None
    text = ""
    for upper in (True, False):
        for k in HAND_ORDER:
            c = k if upper else k.lower()
            if counts.get(c):
                text += (str(counts[c]) if counts[c] > 1 else "") + c
    return " ".join([board, side, text or "-", number])


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    mate, peer, edo, out = sys.argv[1:]
    os.makedirs(out, exist_ok=True)
    split = subprocess.run([mate, "--split", "3", "13", edo], check=True, capture_output=True,
                           text=True).stdout.splitlines()
    cuts = [line for line in split if " moves " in line]
    rng = random.Random(19)
    others = [line for line in split if " moves " not in line and rng.random() < 0.3]
    empties = []
    for line in cuts[::6]:
        e = empty_attacker_hand(line)
        if e and e not in empties:
            empties.append(e)
    candidates = cuts + others + empties
    with open(os.path.join(out, "candidates.txt"), "w") as f:
        f.write("\n".join(candidates) + "\n")
    peer_file = os.path.join(out, "peer.txt")
    if not os.path.exists(peer_file):
        here = os.path.dirname(os.path.abspath(__file__))
        with open(peer_file, "w") as f:
            subprocess.run([sys.executable, os.path.join(here, "mate_compare.py"), "--ms", "10000",
                            peer, os.path.join(out, "candidates.txt")], check=True, stdout=f)
    answers = {}
    for line in open(peer_file):
        words = line.split()
        if len(words) >= 2 and words[1] == "length":
            answers[int(words[0])] = (int(words[2]), line.split(": ", 1)[1].strip())
    kept = []
    for number, line in enumerate(candidates, 1):
        if number not in answers:
            continue
        length, moves = answers[number]
        sfen = " ".join(line.split()[:4])
        if number <= len(cuts):
            if length == len(line.split()) - 5:
                kept.append(line)
        elif number <= len(cuts) + len(others):
            if 3 <= length <= 13:
                kept.append(sfen + " moves " + moves)
        elif moves == "nomate":
            kept.append(sfen + " nomate")
    with open(os.path.join(out, "set.txt"), "w") as f:
        f.write("\n".join(kept) + "\n")
    print("candidates %d (cuts %d, other replies %d, emptied hands %d), kept %d"
          % (len(candidates), len(cuts), len(others), len(empties), len(kept)))

    ours = subprocess.run([mate, "--ms", "10000", os.path.join(out, "set.txt")],
                          capture_output=True, text=True).stdout
    with open(os.path.join(out, "mirabel.txt"), "w") as f:
        f.write(ours)
    answers = [line.split() for line in ours.splitlines() if line[:1].isdigit()]
    cut_lines = set(cuts)
    confirmed = []
    for line, answer in zip(kept, answers):
        length, known = int(answer[2]), int(answer[4])
        if line.endswith("nomate"):
            if answer[-1] == "nomate":
                confirmed.append(line)
        elif line in cut_lines or length == known:
            confirmed.append(line)
    with open(os.path.join(out, "confirmed.txt"), "w") as f:
        f.write("\n".join(confirmed) + "\n")
    print("confirmed by two sources %d" % len(confirmed))


if __name__ == "__main__":
    main()
