// The generators against a deliberately plain reference rule set along random games and on the
// fullest positions known; the exact lists that sorted comparison cannot see; mirabel-perft.
#include "movegen/movegen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "support/child_process.h"

namespace mirabel {
namespace {

// Largest lists of the generators, as derived next to MoveListSize: full, evasion, full-rules.
constexpr int MaxFullList = 591, MaxEvasionList = 201, MaxLegalList = 621;
static_assert(MaxLegalList + MaxLegalList / 2 < MoveListSize, "keep a margin of half again");

std::pair<Position, int> Read(const char* sfen) {
    NewGame();  // draws the keys
    std::pair<Position, int> game{};
    std::string error;
    EXPECT_TRUE(ReadSfen(sfen, game.first, game.second, error)) << sfen << ": " << error;
    return game;
}

// USI text of an engine or a reference move; `from` is -kind for a drop.
template <typename AnyMove>
std::string Text(const AnyMove& m) {
    const auto square = [](int sq) { return std::string{char('9' - sq % 9), char('a' + sq / 9)}; };
    return (m.from < 0 ? std::string(1, "PLNSGBR"[-m.from - 1]) + "*" : square(m.from)) +
           square(m.to) + (m.from >= 0 && m.promote ? "+" : "");
}

// The reference works by brute force on the squares (row * 9 + col) of the Position record and
// takes nothing else from the engine. Steps and slides of each kind are numpad digits seen from
// the mover (8 forward, 7 9 1 3 diagonal); knights jump on their own.
const char* const Steps[15] = {"",       "8",      "",       "",         "78913",
                               "789462", "",       "",       "78946123", "789462",
                               "789462", "789462", "789462", "8462",     "7913"};
const char* const Slides[15] = {"", "", "8", "", "", "",     "7913", "8462",
                                "", "", "",  "", "", "7913", "8462"};

struct RefMove {
    int from, to;  // from = -kind for a drop
    bool promote;
};

bool Mine(int side, int code) {
    return side == 0 ? code > 0 : code < 0;
}
int FarRow(int side, int sq) {
    return side == 0 ? sq / 9 : 8 - sq / 9;
}
bool MayPromote(int side, int kind, int from, int to) {
    return kind <= Rook && kind != Gold && (FarRow(side, from) <= 2 || FarRow(side, to) <= 2);
}
// A piece on a square from which it could never move again.
bool Stranded(int side, int kind, int sq) {
    return FarRow(side, sq) < (kind == Knight ? 2 : kind == Pawn || kind == Lance ? 1 : 0);
}

// Calls visit(target) for every square the piece on `sq` attacks, own pieces included.
template <typename Visit>
void ForEachAttack(const Position& p, int sq, Visit visit) {
    const int kind = std::abs(p.board[sq]), up = p.board[sq] > 0 ? -1 : 1;
    auto go = [&](int forward, int sideways, bool slides) {
        int r = sq / 9, c = sq % 9;
        do {
            r += forward * up, c += sideways;
            if (r < 0 || r > 8 || c < 0 || c > 8) return;
            visit(r * 9 + c);
        } while (slides && p.board[r * 9 + c] == 0);
    };
    for (bool slides : {false, true})
        for (const char* d = slides ? Slides[kind] : Steps[kind]; *d; ++d)
            go((*d - '1') / 3 - 1, (*d - '1') % 3 - 1, slides);
    if (kind == Knight) go(2, -1, false), go(2, 1, false);
}

int Checkers(const Position& p, int side) {
    int king = 0, count = 0;
    while (p.board[king] != (side == 0 ? King : -King)) ++king;
    for (int sq = 0; sq < SquareCount; ++sq)
        if (p.board[sq] != 0 && !Mine(side, p.board[sq]))
            ForEachAttack(p, sq, [&](int t) { count += t == king; });
    return count;
}

// Every move after which no enemy piece attacks the king; with `pawnDropMateAllowed` the rule
// against mate by a pawn drop is ignored.
std::vector<RefMove> Legal(const Position& p, int side, bool pawnDropMateAllowed = false) {
    std::vector<RefMove> out;
    auto consider = [&](const RefMove& m) {
        Position a = p;
        const int kind = m.from < 0 ? -m.from : std::abs(p.board[m.from]);
        const int taken = std::abs(p.board[m.to]);
        const int base = taken == Horse ? Bishop : taken == Dragon ? Rook : taken % 8;  // king: 0
        m.from < 0 ? --a.hand[side][kind - 1] : a.board[m.from] = 0;
        if (base != 0) ++a.hand[side][base - 1];
        const int placed = m.promote ? kind + (kind >= Bishop ? 7 : 8) : kind;
        a.board[m.to] = static_cast<PieceCode>(side == 0 ? placed : -placed);
        if (Checkers(a, side) > 0 || (!pawnDropMateAllowed && m.from == -Pawn &&
                                      a.board[m.to + (side ? 9 : -9)] == (side ? King : -King) &&
                                      Legal(a, 1 - side, true).empty()))
            return;
        out.push_back(m);
    };
    for (int sq = 0; sq < SquareCount; ++sq)
        if (Mine(side, p.board[sq]))
            ForEachAttack(p, sq, [&, kind = std::abs(p.board[sq])](int t) {
                if (Mine(side, p.board[t])) return;
                if (!Stranded(side, kind, t)) consider({sq, t, false});
                if (MayPromote(side, kind, sq, t)) consider({sq, t, true});
            });
    for (int kind = Pawn; kind <= Rook; ++kind)
        for (int t = 0; t < SquareCount && p.hand[side][kind - 1] > 0; ++t) {
            bool pawnOnFile = false;
            for (int r = 0; r < 9; ++r) pawnOnFile |= p.board[r * 9 + t % 9] == (side ? -1 : 1);
            if (p.board[t] == 0 && !Stranded(side, kind, t) && !(kind == Pawn && pawnOnFile))
                consider({-kind, t, false});
        }
    return out;
}

// How often the search's node lists a legal move. Outside check the generators leave out the
// unpromoted forms of pawns, lances and sliders that may promote; in check, every unpromoted
// form where promotion is allowed (king moves aside), and a slider next to the square it
// reaches is found both as a stepping piece and along its line.
int WalkTimes(const Position& p, int side, const RefMove& m) {
    if (m.from < 0) return 1;
    const int kind = std::abs(p.board[m.from]);
    const bool unpromoted = MayPromote(side, kind, m.from, m.to) && !m.promote;
    if (Checkers(p, side) == 0) return unpromoted && kind != Knight && kind != Silver ? 0 : 1;
    if (unpromoted) return 0;
    const int dr = (m.to / 9 - m.from / 9) * (side == 0 ? -1 : 1), dc = m.to % 9 - m.from % 9;
    if (std::abs(dr) > 1 || std::abs(dc) > 1) return 1;
    return std::strchr(Slides[kind], '5' + 3 * dr + dc) != nullptr ? 2 : 1;
}

std::string Joined(const Move* moves, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += Text(moves[i]) + (i + 1 < count ? " " : "");
    return text;
}

// The quiescence list: the full list's board moves that capture with a stepping piece or with
// a lance on the next square, and every move of bishops, rooks and the sliding part of horses
// and dragons, in the full list's order.
std::string ExpectedCaptures(int side, const Position& position) {
    MoveList moves;
    int kept = 0;
    for (const Move& m : std::span(moves, GenerateMoves(side, position, moves))) {
        const int kind = AbsCode(m.piece), dr = m.to / 9 - m.from / 9, dc = m.to % 9 - m.from % 9;
        const bool capture = position.board[m.to] != 0, diagonal = dr != 0 && dc != 0;
        const bool slide = kind == Bishop || kind == Rook || (kind == Horse && diagonal) ||
                           (kind == Dragon && !diagonal);
        if (m.from >= 0 && (slide || (capture && (kind != Lance || dr == 1 || dr == -1))))
            moves[kept++] = m;
    }
    return Joined(moves, kept);
}

// Compares all lists at one position; returns the node's generated count and the legal count.
std::pair<int, int> CompareAt(int side, const Position& position) {
    SCOPED_TRACE(WriteSfen(position, side));
    std::multiset<std::string> referenceLegal, referenceWalk, legalTexts, walk;
    for (const RefMove& m : Legal(position, side)) referenceLegal.insert(Text(m));
    for (const RefMove& m : Legal(position, side, true))
        for (int i = WalkTimes(position, side, m); i > 0; --i) referenceWalk.insert(Text(m));

    MoveList moves;
    const int legal = GenerateLegalMoves(side, position, moves);
    for (int i = 0; i < legal; ++i) legalTexts.insert(Text(moves[i]));
    EXPECT_EQ(legalTexts, referenceLegal);
    EXPECT_EQ(HasLegalMove(side, position), legal > 0);
    EXPECT_LE(legal, MaxLegalList);

    // Evasions borrow the position and must restore board, hands and king squares.
    Position scratch = position;
    const int generated = GenerateSearchMoves(side, scratch, moves);
    EXPECT_TRUE(std::memcmp(&scratch, &position, CellCount + 2) == 0 &&
                scratch.hashKey == position.hashKey && scratch.material == position.material);
    EXPECT_LE(generated, InCheckNow(side, position) ? MaxEvasionList : MaxFullList);
    // The search scores the drops apart from the board moves: they come last.
    EXPECT_TRUE(
        std::is_partitioned(moves, moves + generated, [](const Move& m) { return m.from >= 0; }));
    for (int i = 0; i < generated; ++i) {
        Position after = position;
        MakeMove(side, after, moves[i]);
        if (!LeavesKingAttacked(side, after, moves[i], InCheckNow(side, position)))
            walk.insert(Text(moves[i]));
    }
    EXPECT_EQ(walk, referenceWalk);
    EXPECT_EQ(Joined(moves, GenerateCaptures(side, position.board, moves)),
              ExpectedCaptures(side, position));
    return {generated, legal};
}

TEST(ReferenceRules, RandomGamesAgreeWithTheReference) {
    const char* starts[] = {
        StartSfen,
        // Open kings, every kind in hand on both sides: drops, checks, pawn-drop mates.
        "4k4/9/9/9/9/9/9/9/4K4 b RBGSNLPrb3g3s3n3l17p 1",
        // Pieces deep in the camps: promotions of every kind, knights and pawns near far ranks.
        "ln2k2nl/1P1sgs1P1/p1N1p1N1p/2B3b2/9/9/P1S1P1S1P/1p1GKG1p1/L7L w RPrp 1",
        // A crowded middle game with promoted pieces and pins.
        "l2g1k1nl/1r1s2g2/p1n1ppsp1/2pp4p/1p5P1/P1PPP1P1P/1PS2PS2/1KG2G1+r1/LN5NL b Bb 1",
        // A cornered king that a pawn drop on 1b would mate, and a strong hand for the defence.
        "8k/9/6NG1/9/9/9/9/9/4K4 b P2r2b3g4s3n4l16p 1",
    };
    std::mt19937 random(20240607);
    MoveList legal;
    int positions = 0;
    for (const char* sfen : starts)
        for (int round = 0; round < 10 && !HasFailure(); ++round) {
            auto [position, side] = Read(sfen);
            for (int ply = 0; ply < 80 && !HasFailure(); ++ply, ++positions) {
                const int count = CompareAt(side, position).second;
                if (count == 0) break;
                // Often a checking move, to reach double checks and pawn-drop mates.
                GenerateLegalMoves(side, position, legal);
                std::vector<const Move*> checks;
                for (const Move& m : std::span(legal, count))
                    if (GivesCheck(side, position, m)) checks.push_back(&m);
                const Move* move = &legal[random() % static_cast<unsigned>(count)];
                if (!checks.empty() && random() % 2 == 0) move = checks[random() % checks.size()];
                MakeMove(side, position, *move);
                side = 1 - side;
            }
        }
    EXPECT_GT(positions, 3000);
}

// The longest lists found by searching piece placements stay inside the bounds.
TEST(ReferenceRules, FullestListsStayInsideTheBounds) {
    const std::pair<const char*, std::pair<int, int>> fullest[] = {
        // The largest number of legal moves known for a legal position.
        {"R8/2K1S1SSk/4B4/9/9/9/9/9/1L1L1L3 b RBGSNLP3g3n17p 1", {559, 593}},
        // Promoted sliders, every kind in hand, the opponent's king open to capture.
        {"k6+R1/2SSS4/9/9/4+B4/9/3K5/9/1L3LL2 b RB4GS4NL18P 1", {570, 576}},
        {"k7R/1SS1S1K2/4B4/9/9/9/9/9/3L1L1L1 b RB4GS4NL18P 1", {561, 595}},
        {"R7k/2K1S1SS1/4B4/9/9/9/9/9/1L3L2L b RBGSNLP 1", {561, 595}},
        // A rook checking across the board, promoted pieces reaching the squares between.
        {"9/2+L+P+R+B+B+P+L/K7r/1+N+S+L+P+P+S+P+P/1+P5+P1/2k4+N+S/4+N4/9/9 b GSNL10P 1", {78, 73}},
    };
    for (const auto& [sfen, counts] : fullest) {
        // A board that leaves the opponent's king open is read with the turn flipped.
        NewGame();
        Position position{};
        int side = 0;
        std::string error, board = sfen;
        if (!ReadSfen(board, position, side, error)) {
            board[board.find(" b ") + 1] = 'w';
            ASSERT_TRUE(ReadSfen(board, position, side, error)) << sfen << ": " << error;
            side = 0;
        }
        EXPECT_EQ(CompareAt(side, position), counts) << sfen;
    }
}

// Exact lists of the search's node: the generators' order and the evasion list's repeats.
TEST(GeneratedOrder, ExactListsOfTypicalPositions) {
    const std::pair<const char*, const char*> cases[] = {
        // Piece by piece in square order, each piece's moves in the order of its pattern.
        {StartSfen,
         "9g9f 8g8f 7g7f 6g6f 5g5f 4g4f 3g3f 2g2f 1g1f 2h3h 2h4h 2h5h 2h6h 2h7h 2h1h 9i9h 7i7h "
         "7i6h 6i7h 6i6h 6i5h 5i6h 5i5h 5i4h 4i5h 4i4h 4i3h 3i4h 3i3h 1i1h"},
        // The second player's patterns run south first: the gold on 6a lists 7b before 6b.
        {"lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL w - 1",
         "9a9b 7a7b 7a6b 6a7b 6a6b 6a5b 5a6b 5a5b 5a4b 4a5b 4a4b 4a3b 3a4b 3a3b 1a1b 8b9b 8b7b "
         "8b6b 8b5b 8b4b 8b3b 9c9d 8c8d 7c7d 6c6d 5c5d 4c4d 3c3d 2c2d 1c1d"},
        // Evasions. An adjacent gold checks: the rook beside it is found as a stepping piece and
        // along its line, so it stands twice.
        {"k8/9/9/9/9/9/9/3Rg4/4KS3 b G 1", "5i5h 6h5h 4i5h 6h5h"},
        // Double check (rook and silver): king moves only, though the gold could take the silver.
        {"4r3k/9/9/5s3/4KG3/9/9/9/9 b G 1", "5e6d 5e4d 5e6e 5e6f 5e4f"},
    };
    MoveList moves;
    for (const auto& [sfen, expected] : cases) {
        auto [position, side] = Read(sfen);
        EXPECT_EQ(Joined(moves, GenerateSearchMoves(side, position, moves)), expected) << sfen;
    }
    // The quiescence list after 7g7f 3c3d: the bishop's open diagonal up to the bishop on 2b,
    // then the rook.
    const auto [opened, side] =
        Read("lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL b - 3");
    EXPECT_EQ(Joined(moves, GenerateCaptures(side, opened.board, moves)),
              "8h7g 8h6f 8h5e 8h4d 8h3c+ 8h2b+ 2h3h 2h4h 2h5h 2h6h 2h7h 2h1h");
}

test::Completed RunPerft(const std::vector<std::string>& arguments) {
    return test::RunToEnd(MIRABEL_PERFT_BINARY, arguments);
}

// The count on the total line that ends the output.
unsigned long long Total(const std::vector<std::string>& arguments) {
    const test::Completed run = RunPerft(arguments);
    EXPECT_EQ(run.status, 0) << arguments.back();
    return std::stoull(run.output.substr(run.output.rfind("total ") + 6));
}

// The search's walk lists bishops and rooks entering or leaving the zone only promoted: after
// 7g7f (and 3c3d) the bishop's 30 unpromoted moves into the zone are missing at depth 3, and
// 1139 sequences at depth 4, where no check or drop can have played a part yet.
TEST(Perft, StartPositionCounts) {
    const unsigned long long rules[] = {30, 900, 25470, 719731}, walk[] = {30, 900, 25440, 718592};
    for (int depth = 1; depth <= 4; ++depth) {
        EXPECT_EQ(Total({"--rules", std::to_string(depth)}), rules[depth - 1]) << depth;
        EXPECT_EQ(Total({std::to_string(depth)}), walk[depth - 1]) << depth;
    }
}

TEST(Perft, RefusesBadArguments) {
    // A cut-off board, then one without any king.
    for (const char* board : {"4k4/9", "9/9/9/9/9/9/9/9/9"}) {
        const test::Completed run = RunPerft({"1", board, "b", "-", "1"});
        EXPECT_NE(run.status, 0) << board;
        EXPECT_EQ(run.errors.rfind("mirabel-perft: bad SFEN", 0), 0u) << run.errors;
    }
}

}  // namespace
}  // namespace mirabel
