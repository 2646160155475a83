// The engine's generators against the plain reference rules, position by position along random
// games: the full-rules legal list, the search's walk (generator list filtered by the legality
// test), the quiescence list and the list capacity.
#include <algorithm>
#include <random>

#include "movegen/movegen_test_util.h"
#include "movegen/reference_rules.h"

namespace mirabel::testing {
namespace {

std::vector<std::string> Sorted(std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end());
    return texts;
}

std::vector<std::string> ReferenceLegal(const reference::Board& board, int side) {
    std::vector<std::string> texts;
    for (const reference::RefMove& move : reference::LegalMoves(board, side))
        texts.push_back(reference::Text(move));
    return Sorted(texts);
}

std::vector<std::string> ReferenceWalk(const reference::Board& board, int side) {
    std::vector<std::string> texts;
    for (const reference::RefMove& move : reference::LegalMoves(board, side, true))
        for (int i = reference::WalkMultiplicity(board, side, move); i > 0; --i)
            texts.push_back(reference::Text(move));
    return Sorted(texts);
}

// The search's node: evasions or the full list, then the legality test after each move.
std::vector<std::string> EngineWalk(int side, const Position& position, int& generated) {
    Position scratch = position;
    MoveList moves;
    generated = InCheckNow(side, scratch) ? GenerateEvasions(side, scratch, moves)
                                          : GenerateMoves(side, scratch, moves);
    EXPECT_TRUE(SamePosition(scratch, position)) << "generator left the position changed";
    std::vector<std::string> texts;
    for (int i = 0; i < generated; ++i) {
        Position after = position;
        MakeMove(side, after, moves[i]);
        if (!LeavesKingAttacked(side, after, moves[i])) texts.push_back(MoveText(moves[i]));
    }
    return Sorted(texts);
}

// The quiescence list is the full list's board moves that are captures by stepping pieces or
// by a lance on the next square, or moves of bishops, rooks and the sliding part of horses and
// dragons, in the same order.
std::vector<std::string> ExpectedCaptures(int side, const Position& position) {
    MoveList moves;
    const int count = GenerateMoves(side, position, moves);
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        const Move& m = moves[i];
        if (m.from < 0) continue;
        const int kind = AbsCode(m.piece);
        const int dr = RowOf(m.to) - RowOf(m.from), dc = ColOf(m.to) - ColOf(m.from);
        const bool diagonal = dr != 0 && dc != 0;
        const bool capture = position.board[m.to] != 0;
        const bool slide = kind == Bishop || kind == Rook || (kind == Horse && diagonal) ||
                           (kind == Dragon && !diagonal);
        const bool adjacentLanceCapture = kind == Lance && capture && (dr == 1 || dr == -1);
        if (slide || (kind != Lance && capture) || adjacentLanceCapture)
            texts.push_back(MoveText(m));
    }
    return texts;
}

void CompareAt(int side, const Position& position, const std::string& where) {
    SCOPED_TRACE(where + " " + WriteSfen(position, side));
    const reference::Board board = reference::FromPosition(position);

    MoveList legal;
    const int legalCount = GenerateLegalMoves(side, position, legal);
    const std::vector<std::string> engineLegal = Sorted(Texts(legal, legalCount));
    EXPECT_EQ(engineLegal, ReferenceLegal(board, side));
    EXPECT_EQ(std::adjacent_find(engineLegal.begin(), engineLegal.end()), engineLegal.end());
    EXPECT_EQ(HasLegalMove(side, position), legalCount > 0);
    EXPECT_LE(legalCount, MaxLegalList);

    int generated = 0;
    EXPECT_EQ(EngineWalk(side, position, generated), ReferenceWalk(board, side));
    EXPECT_LE(generated, InCheckNow(side, position) ? MaxEvasionList : MaxFullList);

    MoveList captures;
    const int captureCount = GenerateCaptures(side, position.board, captures);
    EXPECT_EQ(Texts(captures, captureCount), ExpectedCaptures(side, position));
}

// A random legal move, every other time a checking one when there is any, so that the games
// run into checks, double checks and pawn-drop mates often. Null when there is no legal move.
const Move* ChooseMove(int side, const Position& position, std::mt19937& random) {
    static MoveList legal;
    const int count = GenerateLegalMoves(side, position, legal);
    if (count == 0) return nullptr;
    std::vector<const Move*> checks;
    for (int i = 0; i < count; ++i) {
        Position after = position;
        MakeMove(side, after, legal[i]);
        if (InCheckNow(1 - side, after)) checks.push_back(&legal[i]);
    }
    if (!checks.empty() && random() % 2 == 0) return checks[random() % checks.size()];
    return &legal[random() % static_cast<unsigned>(count)];
}

// Random games from each start; at every position the lists are compared, then a random legal
// move is played.
TEST(ReferenceRules, RandomGamesAgreeWithTheReference) {
    const char* starts[] = {
        "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1",
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
    int positions = 0;
    for (const char* sfen : starts) {
        for (int round = 0; round < 10; ++round) {
            Game game = FromSfen(sfen);
            for (int ply = 0; ply < 80; ++ply) {
                CompareAt(game.side, game.position, std::string("game from ") + sfen);
                ++positions;
                const Move* move = ChooseMove(game.side, game.position, random);
                if (move == nullptr || ::testing::Test::HasFailure()) break;
                MakeMove(game.side, game.position, *move);
                game.side = 1 - game.side;
            }
            if (::testing::Test::HasFailure()) return;
        }
    }
    EXPECT_GT(positions, 3000);
}

}  // namespace
}  // namespace mirabel::testing
