// Mate module: the tsume solver behind "go mate". It owns a depth-first proof-number search
// (df-pn) over the attacker's checks and the defender's replies, its transposition table with
// proofs and disproofs shared across hands, and the working out of the answer line (shortest
// mate for the attacker, longest resistance for the defender, futile interpositions not
// counted). It reads positions through the position and move generation modules only and
// knows nothing of the material evaluation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "movegen/movegen.h"
#include "position/position.h"
#include "search/search.h"

namespace mirabel {

// The table's least size: a df-pn search stores every child it looks at, and a small table
// forgets proofs faster than the search can use them.
constexpr std::size_t MinMateTableMegabytes = 256;

// Proof and disproof numbers: 0 settles a node, Infinite is the other side of a settled one.
constexpr std::uint32_t MateInfinite = 0x3FFFFFFF;
constexpr int MaxMatePly = 400;   // deepest line the solver follows
constexpr int MaxMateLine = 255;  // longest answer line
constexpr std::uint16_t NoLength = 0xFFFF;

// One slot of the table: a position (board, who moves, the root's piece totals) and the
// attacker's hand, with what is known of it.
struct MateEntry {
    std::uint64_t boardKey;  // 0 for an empty slot
    std::uint32_t pn;
    std::uint32_t dn;
    std::int8_t hand[HandSlots];
    std::uint8_t flags;    // PathDependent, BestPromotes, and the solve's generation above them
    std::uint16_t length;  // plies to mate along the proof found (proved entries)
    std::uint16_t exact;   // the true mate length once worked out, else NoLength
    std::uint16_t work;    // nodes searched below it, at most 65535: the larger is kept
    std::int8_t bestFrom;  // the first move of the exact line
    std::int8_t bestTo;
};
static_assert(std::is_trivially_copyable_v<MateEntry>);
static_assert(sizeof(MateEntry) == 32);

// A disproof that rests on a repetition along the path it was found on.
constexpr std::uint8_t PathDependent = 1;
constexpr std::uint8_t BestPromotes = 2;
constexpr int GenerationShift = 2;  // a path-dependent disproof holds in its own solve only

// What a look-up tells of a position.
struct MateProbe {
    std::uint32_t pn = 1;
    std::uint32_t dn = 1;
    std::uint16_t length = 0;
    bool pathDependent = false;
    bool found = false;  // some entry of the table spoke of it
    // A proof's least attacker's hand (the proof holds for every hand that includes it), a
    // disproof's greatest (it holds for every hand included in it).
    std::int8_t hand[HandSlots] = {};
};

// How a look-up reads the table.
struct ProbeMode {
    // Take a path-dependent disproof (only ever one of the current solve).
    bool trustDependent = true;
    // Bound an unsettled node's disproof number by the entries of its board for smaller
    // attacker's hands: with more in hand he is no nearer a disproof. (The converse bound on
    // the proof number, from larger hands, made the search slower on the problem sets.)
    bool otherHands = true;
};

// The solver's table: clusters of four slots, sized in MiB.
class MateTable {
  public:
    explicit MateTable(std::size_t megabytes);
    bool Resize(std::size_t megabytes);  // false (and the old size kept) when it cannot be had
    void Clear();
    std::size_t Megabytes() const { return megabytes_; }

    // A proof or a disproof is stored for its own hand (`result.hand`), anything else for
    // `hand`.
    // Proved when an entry of the same board proves it for a hand the attacker's includes;
    // disproved when one disproves it for a hand that includes the attacker's.
    // A path-dependent disproof is taken only within the solve that found it.
    MateProbe Probe(std::uint64_t boardKey, const std::int8_t* hand, std::uint8_t generation,
                    ProbeMode mode = {}) const;
    void Store(std::uint64_t boardKey, const std::int8_t* hand, const MateProbe& result,
               std::uint32_t work, std::uint8_t generation);
    // Asks for the board's cluster ahead of a look-up.
    void Prefetch(std::uint64_t boardKey) const { __builtin_prefetch(Cluster(boardKey)); }
    // The entry of exactly this board and hand, or nullptr.
    MateEntry* Find(std::uint64_t boardKey, const std::int8_t* hand);

  private:
    static constexpr int ClusterSize = 4;
    struct FreeMemory {
        void operator()(void* memory) const;
    };
    std::unique_ptr<void, FreeMemory> memory_;  // zeroed by the system, slots_ within it
    MateEntry* slots_ = nullptr;
    std::size_t clusterMask_ = 0;
    std::size_t megabytes_ = 0;
    MateEntry* Cluster(std::uint64_t boardKey) const {
        return &slots_[(boardKey & clusterMask_) * ClusterSize];
    }
};

enum class MateResult { Mate, NoMate, Timeout };

struct MateLimits {
    std::uint32_t timeLimitMs = NoTimeLimit;
    std::uint64_t nodeLimit = 0;  // 0: none
    SearchControl* control = nullptr;
};

struct MateAnswer {
    MateResult result = MateResult::Timeout;
    Move line[MaxMateLine];
    int length = 0;
    std::uint64_t nodes = 0;
    std::uint32_t elapsedMs = 0;
};

// Called about once a second while the solver runs (nodes, elapsed ms).
class MateProgress {
  public:
    virtual ~MateProgress() = default;
    virtual void Report(std::uint64_t nodes, std::uint32_t elapsedMs) = 0;
};

class MateSolver {
  public:
    explicit MateSolver(MateTable& table);
    ~MateSolver();
    MateSolver(const MateSolver&) = delete;
    MateSolver& operator=(const MateSolver&) = delete;

    // Solves the position for `attacker`, the side to move.
    MateAnswer Solve(const Position& root, int attacker, const MateLimits& limits,
                     MateProgress* progress = nullptr);

  private:
    static constexpr std::size_t ArenaSize = std::size_t{1} << 18;  // moves of all path nodes
    MateTable& table_;
    // The children of the nodes on the path, one stretch per node: moves, table keys, keys
    // for the repetition test, and the attacker's hand after each move.
    std::unique_ptr<Move[]> moveArena_;
    std::unique_ptr<std::uint64_t[]> keyArena_;
    std::unique_ptr<std::uint64_t[]> fullKeyArena_;
    std::unique_ptr<std::int8_t[]> handArena_;
    std::unique_ptr<MateProbe[]> probeArena_;
    std::size_t arenaUsed_ = 0;
    std::uint64_t budgetEnd_ = 0;   // a child proved on the side stops at this node count
    std::uint64_t extractEnd_ = 0;  // working out exact lengths stops at this node count
    std::uint64_t pathKeys_[MaxMatePly + 2];
    int attacker_ = 0;
    std::uint64_t salt_ = 0;
    std::uint8_t generation_ = 0;
    std::uint64_t nodes_ = 0;
    std::uint64_t nodeLimit_ = 0;
    std::uint32_t startTick_ = 0;
    std::uint32_t timeLimitMs_ = NoTimeLimit;
    std::uint32_t lastReportMs_ = 0;
    int untilClock_ = 0;
    bool stopped_ = false;
    // Set while a "no mate" that rested on a repetition seen along another path is checked
    // again: path-dependent disproofs are then taken only as their search returns them.
    bool strict_ = false;
    // Set while the line is worked out: the small proofs it makes keep to each hand's own
    // numbers, which works out the true lengths more often.
    bool extracting_ = false;
    SearchControl* control_ = nullptr;
    MateProgress* progress_ = nullptr;

    std::uint64_t BoardKey(const Position& position, bool orNode) const;
    std::uint64_t FullKey(const Position& position, bool orNode) const;
    bool TimeUp();
    int GenerateChildren(const Position& position, bool orNode, Move* out);
    bool OnPath(std::uint64_t fullKey, int ply) const;
    void FirstLook(const Position& child, bool orNode, std::uint64_t key, Move* scratch);
    MateProbe Mid(const Position& position, bool orNode, int ply, std::uint32_t thpn,
                  std::uint32_t thdn);
    MateProbe ProbeNode(const Position& position, bool orNode) const;
    ProbeMode Mode() const { return ProbeMode{!strict_, !extracting_}; }
    void ProofHand(const Position& position, bool orNode, const Move* moves,
                   const MateProbe* probes, int count, MateProbe& result) const;
    void DisproofHand(const Position& position, bool orNode, const Move* moves,
                      const MateProbe* probes, int count, MateProbe& result) const;
    MateProbe NoCheckDisproof(const Position& position, bool found) const;
    MateProbe SolveStrictly(const Position& root);
    bool ProveChild(const Position& position, bool orNode, int ply, std::uint32_t budget);
    bool OrderChildren(const Position& position, bool orNode, const Move* moves, int count,
                       std::uint64_t* order);
    int ExactLength(const Position& position, bool orNode, int ply, int limit, Move& best);
    bool MatedWithin(const Position& position, int plies);
    bool IsFutileInterposition(const Position& position, int square, int ply);
    Move ProvedChoice(const Position& position, bool orNode, int ply, const Move* moves, int count);
    int ExtractLine(const Position& root, Move* line);
};

// The legal moves of `side` that check the opponent's king, in the order of the full legal
// list; none when the opponent has no king.
int GenerateChecks(int side, const Position& position, Move* out);

// Whether some empty square would let a piece of `kind` dropped by `side` check the king.
bool HasDropCheckSquare(int side, int kind, const Position& position);

// Replays a line from `position` with `attacker` to move and says whether it is a mate under
// the full rules: every move legal, every attacker's move a check, the defender mated (not by
// a pawn drop) at the end. Tests and the mate tool check answers with it.
bool IsMateLine(const Position& position, int attacker, const Move* line, int length);

}  // namespace mirabel
