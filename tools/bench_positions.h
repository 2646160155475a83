// The fixed positions of mirabel-bench, as SFEN. Openings come from well-known move sequences
// played from the start position; the middle games, endgames and positions in check come from
// the engine's own games after some of those openings.
#pragma once

#include "console/console.h"

namespace mirabel {

inline constexpr const char* BenchPositions[] = {
    // Start position and openings.
    "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1",
    "ln1g1k1nl/1r4gb1/p2pspspp/2p1p1p2/1p7/2PPP1P2/PPSG1P1PP/1BG2S1R1/LN1K3NL b - 23",
    "ln1g3nl/1r3kgs1/p1pspp1pp/1p1p2p2/9/2P2P1P1/PPSPPSP1P/7R1/LN1GKG1NL b Bb 17",
    "ln1g1g1nl/1ks2rs2/1pppp1bpp/p4pp2/7P1/P1P1P1P2/1P1P1P2P/1BK1GS1R1/LNSG3NL b - 21",
    "ln1gk1snl/2s3gb1/p1pppppp1/1r6p/9/7RP/PPPPPPP2/1BG3S2/LNS1KG1NL b Pp 21",
    "lnsg1g1nl/4rskb1/pppp1p1pp/6p2/4p2P1/2P1P4/PP1P1PP1P/1BK2S1R1/LNSG1G1NL b - 15",
    "lnsgk2nl/6gs1/p1pppp2p/6R2/9/1rP6/P2PPPP1P/1SG6/LN2KGSNL b B3Pb2p 19",
    // Middle games with pieces in hand.
    "1nr1k2+Bl/l1s1gg1s1/4p1ppp/pP3p3/2P6/5P3/P2PP1P1P/3KG4/L+B3G1NS w R2N4Psl 94",
    "l4s1n1/1k6l/ns1p1g1pp/ppr1p1g2/2b3pP1/PP1PP4/N1K2PP1P/6G1B/L1SGS2NL b 2Prp 99",
    // Endgames with many pieces in hand.
    "ln+R6/4g4/p1ppkp2p/1R2p4/9/2PP5/PG2PPP1P/SS5P1/LN2KGSNL b 2BL3Pgsnp 51",
    "l2k1s3/1Gp5l/ns1p1gn1p/1p2p2p1/9/9/+b3+rP2P/2S1G3B/5K1NL w RN2Pgsl8p 140",
    // The side to move is in check.
    "ln+R6/4g4/p1pp1p2p/2k1p4/2S6/2P4r1/PG1PPPP1P/SS5P1/LN2KGSNL w 2BL3Pgnp 44",
    "l4s1n1/1k6l/ns1p1g1pp/ppr1p1g2/2b3pP1/PP1PP4/N1K1rPP1P/2S3G1B/L2GS2NL b 2Pp 101",
    "l2k1s3/1Gp5l/ns1p1gn1p/1p2p2p1/9/9/+b4P2P/2S1+r1K1B/7NL b RSN2P2gl8p 143",
    "1+N2k1s+Bl/+R2+S1gns1/lr2plppp/pg3p3/2P6/3N1P3/P2PP1P1P/1K2G4/L+B3G1NS w 5P 124",
    // The console game's start position.
    ConsoleStartSfen,
};

inline constexpr int BenchPositionCount =
    static_cast<int>(sizeof BenchPositions / sizeof BenchPositions[0]);

}  // namespace mirabel
