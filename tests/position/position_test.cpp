// The position module: hash keys, the record's invariants over random games, attack tests, the
// exchange estimate and the SFEN reader.
#include "position/position.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <random>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "movegen/movegen.h"

namespace mirabel {
namespace {

// "5e" -> 40: file 9..1 gives col 0..8, rank a..i gives row 0..8.
constexpr auto Sq = [](const char* usi) { return (usi[1] - 'a') * 9 + (9 - (usi[0] - '0')); };

Move UsiMove(const std::string& text) {
    Move move = NoMoveRecord;
    const int drop = static_cast<int>(std::string(" PLNSGBR").find(text[0]));
    move.from = static_cast<std::int8_t>(text[1] == '*' ? -drop : Sq(text.c_str()));
    move.to = static_cast<std::int8_t>(Sq(text.c_str() + 2));
    move.promote = text.size() == 5;
    return move;
}

Position FromSfen(const std::string& sfen, int& side) {
    Position position;
    std::memset(&position, 0, sizeof position);
    std::string error;
    EXPECT_TRUE(ReadSfen(sfen, position, side, error)) << sfen << ": " << error;
    position.material = MaterialBalance(0, position);
    return position;
}

// Every byte, padding included: the search restores a record by block copy.
bool Same(const Position& a, const Position& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;  // NOLINT(bugprone-suspicious-memory-comparison)
}

// Every key of both sets is nonzero and differs from every other, so that no two can cancel or
// stand in for each other.
TEST(HashKeys, EveryKeyDistinctAndNonzeroInBothSets) {
    std::vector<std::uint64_t> seen;
    for (const auto& set : HashKeys.keys)
        for (const auto& row : set)
            for (const std::uint64_t key : row) {
                EXPECT_NE(key, 0u);
                seen.push_back(key);
            }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
}

// Tries every legal move the way the search does (inspect, make, copy the saved record back)
// and plays a random one: GivesCheck and RecaptureBalance leave the record untouched, MakeMove
// keeps key and balance, GivesCheck agrees with the attack test after the move, and the SFEN
// text carries board, hands, king squares and key.
TEST(Position, InvariantsHoldOverRandomGames) {
    const char* starts[] = {
        StartSfen, "4k4/9/9/9/9/9/9/9/4K4 b RBGSNLPrbgsnl17p 1",
        "ln1g3nl/1r2k1s2/p2pp1bpp/2p2pp2/1p7/2PP5/PPB1PPPPP/2R1K4/LNSG1GSNL w Sg 1"};
    std::mt19937 random(20240611);
    static MoveList moves;
    int captures = 0, promotions = 0, drops = 0, checks = 0, side = 0, count = 0;
    for (int game = 0; game < 60; ++game) {
        Position p = FromSfen(starts[game % 3], side), saved;
        for (int ply = 0; ply < 150 && (count = GenerateLegalMoves(side, p, moves)) > 0; ++ply) {
            std::memcpy(&saved, &p, sizeof saved);
            const std::string at = WriteSfen(saved, side) + " move ";
            // The opponent's attack map agrees with the attack test on every square, and so
            // does the attack test looking only along the rays that hold a slider.
            const SquareSet attacked = AttackedSquares(side, p.board);
            Occupancy narrowed = OccupancyOf(p.board);
            narrowed.sliders = SliderSquares(p.board);
            for (int sq = 0; sq < SquareCount; ++sq) {
                const int kind = AbsCode(p.board[sq]);
                ASSERT_EQ(Contains(narrowed.sliders, sq), kind == Lance || kind == Bishop ||
                                                              kind == Rook || kind == Horse ||
                                                              kind == Dragon)
                    << at << sq;
                ASSERT_EQ((attacked & SquareBit(sq)) != 0,
                          FindAttacker(side, p.board, sq) != NoSquare)
                    << at << sq;
                ASSERT_EQ(FindAttacker(side, p.board, sq, narrowed),
                          FindAttacker(side, p.board, sq))
                    << at << sq;
            }
            for (const Move& m : std::span(moves, count)) {
                const bool safe = TargetStaysUnattacked(side, p.board, attacked, m);
                const int gives = GivesCheck(side, p, m);
                RecaptureBalance(side, p, m);
                ASSERT_TRUE(Same(saved, p)) << at << &m - moves;
                captures += m.from >= 0 && p.board[m.to] != 0, promotions += m.promote;
                drops += m.from < 0, checks += gives;
                MakeMove(side, p, m);
                Position fresh = p;
                ComputeHashKey(fresh);
                ASSERT_TRUE(p.hashKey == fresh.hashKey && p.material == MaterialBalance(0, p))
                    << at << &m - moves;
                ASSERT_EQ(gives, InCheckNow(1 - side, p) ? 1 : 0) << at << &m - moves;
                ASSERT_EQ(safe, FindAttacker(side, p.board, m.to) == NoSquare) << at << &m - moves;
                std::memcpy(&p, &saved, sizeof p);
            }
            MakeMove(side, p, moves[std::uniform_int_distribution<int>(0, count - 1)(random)]);
            side = 1 - side;
            const Position reread = FromSfen(WriteSfen(p, side), side);
            const std::size_t head = offsetof(Position, kingSquare) + sizeof p.kingSquare;
            ASSERT_TRUE(std::memcmp(&reread, &p, head) == 0 && reread.hashKey == p.hashKey)
                << WriteSfen(p, side);
        }
    }
    EXPECT_TRUE(captures > 1000 && promotions > 100 && drops > 1000 && checks > 100)
        << captures << " " << promotions << " " << drops << " " << checks;
}

using Probes = std::initializer_list<std::tuple<const char*, const char*, int>>;

// Applies a probe for the side to move to a square or move given as text; the record must be
// left as it was. (GivesCheck is checked against the position after every move above.)
template <typename Function>
void ExpectProbes(Function function, Probes probes) {
    for (const auto& [sfen, text, expected] : probes) {
        int side = 0;
        Position p = FromSfen(sfen, side), before;
        std::memcpy(&before, &p, sizeof p);
        EXPECT_EQ(function(side, p, text), expected) << sfen << " " << text;
        EXPECT_TRUE(Same(before, p)) << sfen << " " << text;
    }
}

TEST(Position, AttacksSeeLinesUpToTheFirstPiece) {
    const auto attacker = [](int side, Position& p, const char* square) {
        return FindAttacker(side, p.board, Sq(square));
    };
    ExpectProbes(attacker, {{"4l4/9/9/9/4K4/9/9/9/k8 b - 1", "5e", Sq("5a")},
                            // Blocked by its own pawn; looking backwards.
                            {"4l4/4p4/9/9/4K4/9/9/9/k8 b - 1", "5e", NoSquare},
                            {"k8/9/9/9/4K4/9/9/4l4/9 b - 1", "5e", NoSquare},
                            {"K8/9/9/9/4k4/9/9/9/4L4 w - 1", "5e", Sq("5i")},
                            // Steps come before lines; a horse steps orthogonally.
                            {"k8/9/5n3/9/4K3r/9/9/9/9 b - 1", "5e", Sq("4c")},
                            // Of two knights, the one on the file of lower number first.
                            {"k8/9/3n1n3/9/4K4/9/9/9/9 b - 1", "5e", Sq("4c")},
                            {"K8/9/9/9/4k4/9/3N1N3/9/9 w - 1", "5e", Sq("4g")},
                            {"k8/9/9/4+b4/4K4/9/9/9/9 b - 1", "5e", Sq("5d")},
                            // The occupant of the square itself is ignored.
                            {"k8/9/9/9/4p4/4G4/9/9/8K w - 1", "5e", Sq("5f")}});
}

TEST(Position, ExchangeFollowsTheRecaptures) {
    int side = 0;
    EXPECT_EQ(MaterialBalance(0, FromSfen("4k4/9/9/9/4+r4/9/9/2+P6/4K4 b 2Ng 1", side)),
              534 - 945 + 2 * 257 - 444);
    // The overload of RecaptureBalance that works out the occupancy itself.
    const auto exchange = [](int mover, Position& p, const char* move) {
        return RecaptureBalance(mover, p, UsiMove(move));
    };
    ExpectProbes(exchange,
                 {// A pawn takes the silver, a gold takes back; the promotion is not lost.
                  {"k8/4p4/9/5S3/9/9/9/9/8K b - 1", "4d5c+", -738},
                  {"k8/4p4/9/3G1S3/9/9/9/9/8K b - 1", "4d5c+", -564},
                  {"k8/9/9/9/9/3g5/9/4P4/8K w s 1", "S*5g", -564},
                  // The gold leaves 5f: the rook behind takes back through it, the other rook
                  // through the pawn's 5d.
                  {"k8/9/9/4p4/9/4G4/9/9/8K b - 1", "5f5e", -888},
                  {"k3r4/9/9/4p4/9/4G4/9/4R4/8K b - 1", "5f5e", -888 + 174 - 1284},
                  // Ten captures in attacker order, then it stops with lances and rooks left.
                  {"8k/4r4/3nln3/3gpg3/9/3GLG3/3NLN3/4R4/K8 b S 1", "S*5e",
                   -738 + 888 - 888 + 174 - 464 + 888 - 888 + 514 - 514 + 514}});
}

// Round trips keep the text and build a consistent record; refused texts change nothing.
TEST(Sfen, ReadsWhatItWritesAndRefusesMalformedOrImpossiblePositions) {
    Position p, before;
    int side = -1, number = -1;
    std::string error;
    for (const char* text : {"8l/1+R2+P1gk1/5+Bs1p/9/9/P1P1P1P2/9/2+b6/K1+n5L w GS2Pr2n10p 90",
                             "+P3k3l/9/2N6/9/9/9/6n2/9/4K4 b 2R2B4G4S2N3L16p 1",
                             "4k4/9/9/9/9/9/9/9/4K4 w 18p 7", StartSfen}) {
        std::memset(&p, 0x5a, sizeof p);  // reading leaves the balance alone
        ASSERT_TRUE(ReadSfen(text, p, side, number, error)) << text << ": " << error;
        EXPECT_EQ(WriteSfen(p, side, number), text);
        Position fresh = p;
        ComputeHashKey(fresh);
        EXPECT_TRUE(p.hashKey == fresh.hashKey && p.material == 0x5a5a5a5a) << text;
    }
    // The last text is the start position, as SetStartPosition sets it up.
    Position start{};
    SetStartPosition(start);
    EXPECT_EQ(std::memcmp(p.board, start.board, sizeof p.board), 0);
    EXPECT_EQ(p.hashKey, start.hashKey);
    std::memcpy(&before, &p, sizeof before);
    for (const char* text : {
             "",
             "4k4/9/9/9/9/9/9/9/4K4 b",         // no hand
             "4k4/9/9/9/9/9/9/9/4K4 b - 1 7",   // a field too many
             "4k4/9/9/54/9/9/9/9/4K4 b - 1",    // a long rank
             "4k4/9/9/9/9/9/9/4K4 b - 1",       // eight ranks
             "4+k4/9/9/9/9/9/9/9/4K4 b - 1",    // a king cannot promote
             "4k4/9/9/9/9/9/9/9/4K3+ b - 1",    // a mark on nothing
             "4k4/9/9/9/9/9/9/9/4K4 x - 1",     // no such side
             "4k4/9/9/9/9/9/9/9/4K4 b 2P3P 1",  // a kind written twice
             "4k4/9/9/9/9/9/9/9/4K4 b K 1",     // a king in hand
             "4k4/9/9/9/9/9/9/9/4K4 b 1234567890P 1",
             "4k4/9/9/9/9/9/9/9/4K4 b 10P9p 1",  // nineteen pawns
             "4k4/9/9/9/9/9/9/9/4K4 b - 99999999999",
             "9/9/9/9/9/9/9/9/9 b - 1",         // no king at all
             "4k4/9/9/9/9/9/9/9/3KK4 b - 1",    // two kings of a side
             "3kk4/9/9/9/9/9/9/9/9 b - 1",      // two of a side, none of the other
             "+r3k4/9/9/9/9/9/9/9/4K4 b 2R 1",  // three rooks, the dragon counted as one
             "4k4/N8/9/9/9/9/9/9/4K4 b - 1",    // a knight that can never move
             "4k4/9/9/9/9/9/9/9/l3K4 b - 1",    // a side 1 lance that can never move
         }) {
        EXPECT_FALSE(ReadSfen(text, p, side, number, error)) << "accepted: " << text;
        EXPECT_TRUE(Same(before, p) && side == 0 && number == 1) << text;
        const auto printable = [](char c) { return c >= ' ' && c <= '~'; };
        EXPECT_TRUE(!error.empty() && std::all_of(error.begin(), error.end(), printable)) << error;
        error.clear();
    }
}

}  // namespace
}  // namespace mirabel
