// Reference rules of shogi for the tests; see reference_rules.h.
#include "movegen/reference_rules.h"

#include <cstdlib>

namespace mirabel::reference {

namespace {

enum { P = 1, L, N, S, G, B, R, K, PP, PL, PN, PS, PB, PR };

struct Step {
    int forward, sideways;  // forward counts toward the mover's far rank
    bool slides;
};

// Movement of each kind, written from the mover's point of view.
std::vector<Step> Movement(int kind) {
    std::vector<Step> gold = {{1, -1, false}, {1, 0, false}, {1, 1, false},
                              {0, -1, false}, {0, 1, false}, {-1, 0, false}};
    std::vector<Step> orthogonalSlides = {{1, 0, true}, {-1, 0, true}, {0, 1, true}, {0, -1, true}};
    std::vector<Step> diagonalSlides = {{1, 1, true}, {1, -1, true}, {-1, 1, true}, {-1, -1, true}};
    switch (kind) {
        case P:
            return {{1, 0, false}};
        case L:
            return {{1, 0, true}};
        case N:
            return {{2, -1, false}, {2, 1, false}};
        case S:
            return {{1, -1, false}, {1, 0, false}, {1, 1, false}, {-1, -1, false}, {-1, 1, false}};
        case G:
        case PP:
        case PL:
        case PN:
        case PS:
            return gold;
        case B:
            return diagonalSlides;
        case R:
            return orthogonalSlides;
        case K:
            return {{1, -1, false}, {1, 0, false},   {1, 1, false},  {0, -1, false},
                    {0, 1, false},  {-1, -1, false}, {-1, 0, false}, {-1, 1, false}};
        case PB: {
            std::vector<Step> steps = diagonalSlides;
            for (const Step& s : orthogonalSlides) steps.push_back({s.forward, s.sideways, false});
            return steps;
        }
        case PR: {
            std::vector<Step> steps = orthogonalSlides;
            for (const Step& s : diagonalSlides) steps.push_back({s.forward, s.sideways, false});
            return steps;
        }
        default:
            return {};
    }
}

const std::vector<Step>& MovementOf(int kind) {
    static const std::vector<std::vector<Step>> table = [] {
        std::vector<std::vector<Step>> t;
        for (int k = 0; k <= PR; ++k) t.push_back(Movement(k));
        return t;
    }();
    return table[kind];
}

bool OnBoard(int row, int col) {
    return row >= 0 && row < 9 && col >= 0 && col < 9;
}
int OwnerOf(int code) {
    return code > 0 ? 0 : 1;
}
int ForwardRow(int side) {
    return side == 0 ? -1 : 1;
}
// 0 is the mover's far rank.
int RelativeRow(int side, int row) {
    return side == 0 ? row : 8 - row;
}
bool InZone(int side, int row) {
    return RelativeRow(side, row) <= 2;
}

// Calls visit(row, col) for every square the piece on (row, col) attacks, own pieces included.
template <typename Visit>
void ForEachAttacked(const Board& board, int row, int col, Visit visit) {
    const int code = board.cell[row][col];
    const int side = OwnerOf(code);
    for (const Step& step : MovementOf(std::abs(code))) {
        const int dr = step.forward * ForwardRow(side);
        int r = row + dr, c = col + step.sideways;
        while (OnBoard(r, c)) {
            visit(r, c);
            if (!step.slides || board.cell[r][c] != 0) break;
            r += dr;
            c += step.sideways;
        }
    }
}

int AttackerCount(const Board& board, int bySide, int row, int col) {
    int count = 0;
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 9; ++c) {
            const int code = board.cell[r][c];
            if (code == 0 || OwnerOf(code) != bySide) continue;
            bool hits = false;
            ForEachAttacked(board, r, c, [&](int tr, int tc) { hits |= tr == row && tc == col; });
            count += hits ? 1 : 0;
        }
    return count;
}

bool FindKing(const Board& board, int side, int& row, int& col) {
    for (row = 0; row < 9; ++row)
        for (col = 0; col < 9; ++col)
            if (board.cell[row][col] == (side == 0 ? K : -K)) return true;
    return false;
}

int KingAttackers(const Board& board, int side) {
    int row = 0, col = 0;
    if (!FindKing(board, side, row, col)) return 0;
    return AttackerCount(board, 1 - side, row, col);
}

bool CanPromote(int kind) {
    return kind == P || kind == L || kind == N || kind == S || kind == B || kind == R;
}

// A piece left on a square from which it could never move again.
bool Stranded(int side, int kind, int row) {
    const int rel = RelativeRow(side, row);
    return ((kind == P || kind == L) && rel == 0) || (kind == N && rel <= 1);
}

void AddBoardMoves(const Board& board, int side, int row, int col, std::vector<RefMove>& out) {
    const int kind = std::abs(board.cell[row][col]);
    ForEachAttacked(board, row, col, [&](int r, int c) {
        const int target = board.cell[r][c];
        if (target != 0 && OwnerOf(target) == side) return;
        const bool mayPromote = CanPromote(kind) && (InZone(side, row) || InZone(side, r));
        if (!Stranded(side, kind, r)) out.push_back({0, row, col, r, c, false});
        if (mayPromote) out.push_back({0, row, col, r, c, true});
    });
}

bool FileHasOwnPawn(const Board& board, int side, int col) {
    for (int r = 0; r < 9; ++r)
        if (board.cell[r][col] == (side == 0 ? P : -P)) return true;
    return false;
}

void AddDrops(const Board& board, int side, std::vector<RefMove>& out) {
    for (int kind = P; kind <= R; ++kind) {
        if (board.hand[side][kind] == 0) continue;
        for (int r = 0; r < 9; ++r)
            for (int c = 0; c < 9; ++c) {
                if (board.cell[r][c] != 0 || Stranded(side, kind, r)) continue;
                if (kind == P && FileHasOwnPawn(board, side, c)) continue;
                out.push_back({kind, -1, -1, r, c, false});
            }
    }
}

// A dropped pawn that checks the king directly in front of it, leaving no legal reply.
bool GivesMateByPawnDrop(const Board& after, int side, const RefMove& move) {
    if (move.dropKind != P) return false;
    const int row = move.toRow + ForwardRow(side);
    if (!OnBoard(row, move.toCol) || after.cell[row][move.toCol] != (side == 0 ? -K : K))
        return false;
    return LegalMoves(after, 1 - side).empty();
}

}  // namespace

Board FromPosition(const Position& position) {
    Board board{};
    for (int sq = 0; sq < SquareCount; ++sq) board.cell[sq / 9][sq % 9] = position.board[sq];
    for (int side = 0; side < 2; ++side)
        for (int kind = P; kind <= R; ++kind)
            board.hand[side][kind] = position.hand[side][kind - 1];
    return board;
}

std::string Text(const RefMove& move) {
    std::string text;
    if (move.dropKind != 0) {
        text += "PLNSGBR"[move.dropKind - 1];
        text += '*';
    } else {
        text += static_cast<char>('9' - move.fromCol);
        text += static_cast<char>('a' + move.fromRow);
    }
    text += static_cast<char>('9' - move.toCol);
    text += static_cast<char>('a' + move.toRow);
    if (move.promote) text += '+';
    return text;
}

Board Apply(const Board& board, int side, const RefMove& move) {
    Board after = board;
    const int sign = side == 0 ? 1 : -1;
    if (move.dropKind != 0) {
        --after.hand[side][move.dropKind];
        after.cell[move.toRow][move.toCol] = sign * move.dropKind;
        return after;
    }
    const int captured = std::abs(after.cell[move.toRow][move.toCol]);
    if (captured != 0 && captured != K) {
        static const int baseKind[] = {0, P, L, N, S, G, B, R, K, P, L, N, S, B, R};
        ++after.hand[side][baseKind[captured]];
    }
    int kind = std::abs(after.cell[move.fromRow][move.fromCol]);
    if (move.promote) kind = kind == B ? PB : kind == R ? PR : kind + (PP - P);
    after.cell[move.toRow][move.toCol] = sign * kind;
    after.cell[move.fromRow][move.fromCol] = 0;
    return after;
}

bool InCheck(const Board& board, int side) {
    return KingAttackers(board, side) > 0;
}

std::vector<RefMove> LegalMoves(const Board& board, int side, bool pawnDropMateIsLegal) {
    std::vector<RefMove> candidates;
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 9; ++c)
            if (board.cell[r][c] != 0 && OwnerOf(board.cell[r][c]) == side)
                AddBoardMoves(board, side, r, c, candidates);
    AddDrops(board, side, candidates);
    std::vector<RefMove> legal;
    for (const RefMove& move : candidates) {
        const Board after = Apply(board, side, move);
        if (KingAttackers(after, side) > 0) continue;
        if (!pawnDropMateIsLegal && GivesMateByPawnDrop(after, side, move)) continue;
        legal.push_back(move);
    }
    return legal;
}

int WalkMultiplicity(const Board& board, int side, const RefMove& move) {
    if (move.dropKind != 0) return 1;
    const int kind = std::abs(board.cell[move.fromRow][move.fromCol]);
    const bool mayPromote =
        CanPromote(kind) && (InZone(side, move.fromRow) || InZone(side, move.toRow));
    const int checkers = KingAttackers(board, side);
    if (checkers == 0) {
        // Outside check the generators drop the unpromoted slide or pawn step into the zone.
        const bool omitted =
            mayPromote && !move.promote && (kind == P || kind == L || kind == B || kind == R);
        return omitted ? 0 : 1;
    }
    if (kind == K) return 1;
    // Evasions other than king moves are listed once, promoting whenever promotion is allowed;
    // a slider next to its target is found both as a stepping piece and along its line.
    if (mayPromote && !move.promote) return 0;
    const int dr = move.toRow - move.fromRow, dc = move.toCol - move.fromCol;
    if (std::abs(dr) > 1 || std::abs(dc) > 1) return 1;
    for (const Step& step : MovementOf(kind))
        if (step.slides && step.forward * ForwardRow(side) == dr && step.sideways == dc) return 2;
    return 1;
}

std::uint64_t Perft(const Board& board, int side, int depth) {
    const std::vector<RefMove> moves = LegalMoves(board, side);
    if (depth == 1) return moves.size();
    std::uint64_t total = 0;
    for (const RefMove& move : moves) total += Perft(Apply(board, side, move), 1 - side, depth - 1);
    return total;
}

std::uint64_t WalkPerft(const Board& board, int side, int depth) {
    std::uint64_t total = 0;
    for (const RefMove& move : LegalMoves(board, side, true)) {
        const int times = WalkMultiplicity(board, side, move);
        if (times == 0) continue;
        total +=
            times * (depth == 1 ? 1 : WalkPerft(Apply(board, side, move), 1 - side, depth - 1));
    }
    return total;
}

}  // namespace mirabel::reference
