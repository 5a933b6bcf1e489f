// The track map generator: the start stretch, the segment chain, the finish line, scenery,
// decorations and the road's centre line.
#include "world/generator.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>
#include <vector>

namespace zw {

namespace {

constexpr uint8_t Empty = 255;

// The generator's steps taken i at a time: i steps from seed s give s * Jump[i].Mul + Jump[i].Add,
// so the draws of a run of cells are worked out side by side instead of one after the other.
struct TJump {
  uint32_t Mul, Add;
};
constexpr auto Jumps = [] {
  std::array<TJump, TrackCols + 1> j{};
  j[0] = {1, 0};
  for (size_t i = 1; i < j.size(); ++i)
    j[i] = {j[i - 1].Mul * TRandom::Multiplier,
            j[i - 1].Add * TRandom::Multiplier + TRandom::Increment};
  return j;
}();

// Random(n) of a seed already stepped.
inline uint32_t Draw(uint32_t seed, uint32_t n) {
  return static_cast<uint32_t>((static_cast<uint64_t>(seed) * n) >> 32);
}

struct TGenerator {
  TTrackState& T;
  TRandom& Rng;
  int StartCol = StartBarrierCol;
  int SegmentKind = KindStraight;
  int SegmentRowsLeft = 0;
  // The first and last claimed column of each row once the road is laid (row 0 and rows without
  // road: First > Last). Only the road and its lines claim cells before the scenery, so every
  // cell outside these bounds is still unclaimed then.
  std::array<int16_t, TrackRows + 1> First{}, Last{};

  // A cell as the rules read it: a signed byte, with the cells beyond the map empty.
  // The generator reads and writes every cell many times: one range test each, then the raw map.
  static bool Inside(int row, int col) {
    return static_cast<unsigned>(row - 1) < static_cast<unsigned>(TrackRows) &&
           static_cast<unsigned>(col - 1) < static_cast<unsigned>(TrackCols);
  }
  static size_t Index(int row, int col) {
    return static_cast<size_t>(row - 1) * TrackCols + (col - 1);
  }
  int Cell(int row, int col) const {
    return Inside(row, col) ? static_cast<int8_t>(T.Cells[Index(row, col)]) : -1;
  }
  void Put(int row, int col, int v) {
    if (Inside(row, col)) T.Cells[Index(row, col)] = static_cast<uint8_t>(v);
  }
  // A barrier's picture: the common one three times in four, else one of the eight rarer ones.
  int RandomLeftBarrier() { return Rng.Random(4) != 0 ? tile::BarrierL : 2 + Rng.Random(8); }
  int RandomRightBarrier() { return Rng.Random(4) != 0 ? tile::BarrierR : 14 + Rng.Random(8); }
  static bool IsLeftBarrier(int c) { return c >= tile::BarrierL && c <= tile::BarrierLLast; }
  static bool IsRightBarrier(int c) { return c >= tile::BarrierR && c <= tile::BarrierRLast; }
  void BeginSegment(int kind) {
    // Rows by kind: straight, lead-in, drift left, drift right, lead-out. A drift's length is
    // even, so it ends on a shifted row, which the lead-out understands.
    static constexpr int Lengths[6] = {0, 8, 10, 6, 6, 4};
    SegmentKind = kind;
    SegmentRowsLeft = Lengths[kind];
  }
  bool AreaIsFree(int col, int row, int height, int width) const {
    for (int r = row + 1; r <= row + height; ++r) {
      if (!Inside(r, col) || !Inside(r, col + width - 1)) return false;
      const uint8_t* cells = T.Cells.data() + Index(r, col);
      for (int c = 0; c < width; ++c)
        if (cells[c] != Empty) return false;
    }
    return true;
  }

  // The leftmost and rightmost claimed cells of a road row: its two barriers.
  int LeftmostClaimed(int row) const { return First[row] <= Last[row] ? First[row] : 0; }
  int RightmostClaimed(int row) const { return First[row] <= Last[row] ? Last[row] : 0; }
  // Where the claimed cells of a row lie, looking only between lo and hi.
  void FindClaimed(int row, int lo, int hi) {
    const uint8_t* cells = T.Cells.data() + Index(row, 1);
    lo = std::max(lo, 1);
    hi = std::min(hi, TrackCols);
    while (lo <= hi && cells[lo - 1] == Empty) ++lo;
    while (hi >= lo && cells[hi - 1] == Empty) --hi;
    First[row] = static_cast<int16_t>(lo);
    Last[row] = static_cast<int16_t>(hi);
  }
  // A drift segment carries the whole road three columns sideways over its six rows.
  bool DriftLeftWouldLeave(int j) const { return LeftmostClaimed(j) - 3 < 1; }
  bool DriftRightWouldLeave(int j) const { return RightmostClaimed(j) + 3 > TrackCols; }

  void ChooseSegment(int j) {
    // The road runs straight into the finish: its last fifty rows before the line.
    if (j < FinishRowBase - T.TrackLength + 50) {
      // Near the finish the road straightens: a drift leads out, everything else runs straight.
      static constexpr int Forced[6] = {0,           KindStraight, KindStraight,
                                        KindLeadOut, KindLeadOut,  KindStraight};
      BeginSegment(Forced[SegmentKind]);
      return;
    }
    // Nothing bounds the drift, so a long run one way could carry the road off the map. A drift
    // that would take a barrier past the edge is turned: after a lead-in it drifts the other
    // way, and a drift that would go on ends in a lead-out instead. The draw is made all the
    // same and only a drift that would really leave is turned, so every road that stays on
    // the map, even one touching its edge, is laid exactly as the chain drew it.
    switch (SegmentKind) {
      case KindStraight:
        BeginSegment(Rng.Random(2) == 0 ? KindStraight : KindLeadIn);
        break;
      case KindLeadIn: {
        int kind = Rng.Random(2) == 0 ? KindDriftLeft : KindDriftRight;
        if (kind == KindDriftLeft && DriftLeftWouldLeave(j))
          kind = KindDriftRight;
        else if (kind == KindDriftRight && DriftRightWouldLeave(j))
          kind = KindDriftLeft;
        BeginSegment(kind);
        break;
      }
      case KindDriftLeft: {
        int kind = Rng.Random(2) == 0 ? KindDriftLeft : KindLeadOut;
        if (kind == KindDriftLeft && DriftLeftWouldLeave(j)) kind = KindLeadOut;
        BeginSegment(kind);
        break;
      }
      case KindDriftRight: {
        int kind = Rng.Random(2) == 0 ? KindDriftRight : KindLeadOut;
        if (kind == KindDriftRight && DriftRightWouldLeave(j)) kind = KindLeadOut;
        BeginSegment(kind);
        break;
      }
      default:
        BeginSegment(KindStraight);
        break;
    }
  }

  // The rules of one cell of row j for the row above it, n: what goes into column k of row n
  // (b) and into its neighbours k - 1 (g) and k + 1 (h).
  void RowRules(int j, int n, int k) {
    using namespace tile;
    const int c = Cell(j, k);
    int g = -1, b = -1, h = -1;
    switch (SegmentKind) {
      case KindStraight:  // the road copied upward, fresh barrier pictures, gaps back to ground
        if (c == Ground || c == GapL || c == GapR)
          b = Ground;
        else if (c == RoadEdgeL || c == RoadLane || c == RoadEdgeR)
          b = c;
        else if (IsLeftBarrier(c))
          b = RandomLeftBarrier();
        else if (IsRightBarrier(c))
          b = RandomRightBarrier();
        break;
      case KindLeadIn:  // the ground beside each edge marked as a gap
        if (c == Ground) {
          const int left = Cell(j, k - 1);
          if (left == RoadEdgeR)
            b = GapR;
          else if (IsLeftBarrier(left))
            b = GapL;
        } else if (c == RoadEdgeL || c == RoadLane || c == RoadEdgeR || c == GapL || c == GapR) {
          b = c;
        } else if (IsLeftBarrier(c)) {
          b = RandomLeftBarrier();
        } else if (IsRightBarrier(c)) {
          b = RandomRightBarrier();
        }
        break;
      case KindDriftLeft:  // an entry row over a lead-in or shifted row, a shifted row over it
        if (c == RoadEdgeL || c == LeftShiftEdgeL)
          b = LeftEntryEdgeL;
        else if (c == RoadLane)
          b = RoadLane;
        else if (c == RoadEdgeR || c == LeftShiftEdgeR)
          b = LeftEntryEdgeR;
        else if (c == GapL || c == LeftShiftGapL)
          b = LeftEntryGapL;
        else if (c == GapR || c == LeftShiftGapR)
          b = LeftEntryGapR;
        else if (c == LeftShiftBarrierL)
          b = LeftEntryBarrierL;
        else if (c == LeftShiftBarrierR || IsRightBarrier(c))
          b = LeftEntryBarrierR;
        else if (IsLeftBarrier(c))
          b = LeftEntryBarrierL;
        else if (c == LeftEntryBarrierL)
          g = LeftShiftBarrierL;
        else if (c == LeftEntryGapL)
          g = LeftShiftGapL;
        else if (c == LeftEntryEdgeL) {
          g = LeftShiftEdgeL;
          b = RoadLane;
          h = RoadLane;
        } else if (c == LeftEntryEdgeR)
          g = LeftShiftEdgeR;
        else if (c == LeftEntryGapR)
          g = LeftShiftGapR;
        else if (c == LeftEntryBarrierR)
          g = LeftShiftBarrierR;
        break;
      case KindDriftRight:  // the same, shifted to the right
        if (c == RoadEdgeL || c == RightShiftEdgeL)
          b = RightEntryEdgeL;
        else if (c == RoadEdgeR || c == RightShiftEdgeR)
          b = RightEntryEdgeR;
        else if (c == GapL || c == RightShiftGapL)
          b = RightEntryGapL;
        else if (c == GapR || c == RightShiftGapR)
          b = RightEntryGapR;
        else if (c == RightShiftBarrierL || IsLeftBarrier(c))
          b = RightEntryBarrierL;
        else if (c == RightShiftBarrierR || IsRightBarrier(c))
          b = RightEntryBarrierR;
        else if (c == RoadLane) {
          const int left = Cell(j, k - 1), right = Cell(j, k + 1);
          if (left == RoadEdgeL || left == RightShiftEdgeL || right == RoadEdgeR ||
              right == RightShiftEdgeR)
            b = RoadLane;
        } else if (c == RightEntryBarrierL)
          h = RightShiftBarrierL;
        else if (c == RightEntryGapL)
          h = RightShiftGapL;
        else if (c == RightEntryEdgeL)
          h = RightShiftEdgeL;
        else if (c == RightEntryEdgeR) {
          g = RoadLane;
          b = RoadLane;
          h = RightShiftEdgeR;
        } else if (c == RightEntryGapR)
          h = RightShiftGapR;
        else if (c == RightEntryBarrierR)
          h = RightShiftBarrierR;
        break;
      case KindLeadOut:  // a shifted row turned back into a lead-in row
        if (c == RoadEdgeL || c == LeftShiftEdgeL || c == RightShiftEdgeL)
          b = RoadEdgeL;
        else if (c == RoadLane)
          b = RoadLane;
        else if (c == RoadEdgeR || c == LeftShiftEdgeR || c == RightShiftEdgeR)
          b = RoadEdgeR;
        else if (c == GapL || c == LeftShiftGapL || c == RightShiftGapL)
          b = GapL;
        else if (c == GapR || c == LeftShiftGapR || c == RightShiftGapR)
          b = GapR;
        else if (c == LeftShiftBarrierL || c == RightShiftBarrierL || IsLeftBarrier(c))
          b = RandomLeftBarrier();
        else if (c == LeftShiftBarrierR || c == RightShiftBarrierR || IsRightBarrier(c))
          b = RandomRightBarrier();
        break;
      default:
        break;
    }
    if (g != -1) Put(n, k - 1, g);
    if (b != -1) Put(n, k, b);
    if (h != -1) Put(n, k + 1, h);
  }

  void Run() {
    // 1. The start view, and every cell unclaimed.
    T.ViewCol = StartCol - 1;
    T.ViewRow = StartViewRow;
    std::fill(T.Cells.begin(), T.Cells.end(), Empty);
    First.fill(1);
    Last.fill(0);
    // 2. The start stretch with its start line.
    for (int s = 1; s <= StartRows; ++s) {
      const int r = TrackRows - s;
      const int l = StartCol;
      Put(r, l, RandomLeftBarrier());
      Put(r, l + 1, tile::Ground);
      const bool line = s == StartLineRow;
      Put(r, l + 2, line ? tile::Line : tile::RoadEdgeL);
      Put(r, l + 3, line ? tile::Line : tile::RoadLane);
      Put(r, l + 4, line ? tile::Line : tile::RoadLane);
      Put(r, l + 5, line ? tile::Line : tile::RoadEdgeR);
      Put(r, l + 6, tile::Ground);
      Put(r, l + 7, RandomRightBarrier());
      T.RowKind(r) = KindStraight;
      FindClaimed(r, l, l + 7);
    }
    // 3, 4. The road, row by row from the row below. A cell's rules reach only its neighbours
    // in the row above, so the row above is claimed at most one column beyond the row below.
    BeginSegment(KindStraight);
    for (int j = TrackRows - StartRows; j > TrackRows - T.TrackLength; --j) {
      const int n = j - 1;
      if (SegmentRowsLeft == 0) ChooseSegment(j);
      // Unclaimed cells give nothing under every kind's rules, so only claimed ones are read.
      const uint8_t* below = T.Cells.data() + Index(j, 1);
      for (int k = First[j]; k <= Last[j]; ++k)
        if (below[k - 1] != Empty) RowRules(j, n, k);
      if (n >= 1) {
        T.RowKind(n) = static_cast<uint8_t>(SegmentKind);
        FindClaimed(n, First[j] - 1, Last[j] + 1);
      }
      SegmentRowsLeft -= 1;
    }
    // 5. The finish line across the four road tiles.
    const int finish = FinishRowBase - T.TrackLength;
    for (int k = 1; k <= TrackCols; ++k)
      if (Cell(finish, k) == tile::RoadLane) {
        for (int c = k - 1; c <= k + 2; ++c) Put(finish, c, tile::Line);
        FindClaimed(finish, std::min<int>(First[finish], k - 1),
                    std::max<int>(Last[finish], k + 2));
        break;
      }
    PlaceScenery();
    DecorateAndCentre();
  }

  // 6. Scenery blocks on unclaimed ground: each column 3..645 of a track row whose left
  // neighbour is unclaimed draws Random(12), and a draw of 0..3 places its block below the
  // column when the block's cells are all unclaimed. A block only ever claims cells of the rows
  // below its row, so while a row is passed it holds just its road: its draws are made first, a run
  // of unclaimed cells at a time, and the few that may place a block are handled after, in column
  // order.
  void PlaceScenery() {
    // Per column, how many cells down from the row below the current one are unclaimed (at most
    // four, the tallest block): a block fits where each of its columns has its height free.
    std::array<uint8_t, TrackCols + 4> free{};  // read four at a time from columns up to 648
    const int top = std::max(TrackRows - T.TrackLength, 1);
    const int startRow = TrackRows - 2;
    for (int c = 1; c <= TrackCols; ++c)
      for (int r = startRow + 1; r <= std::min(startRow + 4, TrackRows) && Cell(r, c) == -1; ++r)
        free[c] += 1;
    struct TCandidate {
      int16_t Col;
      uint8_t Kind;
    };
    std::array<TCandidate, TrackCols + 1> candidates;
    uint32_t seed = Rng.Seed;
    for (int j = startRow; j >= top; --j) {
      const uint8_t* row = T.Cells.data() + Index(j, 1);
      size_t found = 0;
      // The draws of the columns from..to, whose test cells are all unclaimed. A column's test
      // cell is the one on its left.
      auto run = [&](int from, int to) {
        if (from > to) return;
        for (int col = from; col <= to; ++col) {
          const TJump& step = Jumps[static_cast<size_t>(col - from + 1)];
          const uint32_t t = Draw(seed * step.Mul + step.Add, 12);
          candidates[found] = {static_cast<int16_t>(col), static_cast<uint8_t>(t)};
          // Only a block that fits below the row as it stands may fit once the blocks before
          // it in the row are placed; the test takes no branch, as the draws are a coin toss
          // for the predictor.
          found += Fits(free.data() + col, t);
        }
        const TJump& all = Jumps[static_cast<size_t>(to - from + 1)];
        seed = seed * all.Mul + all.Add;
      };
      // Columns 3..645 test cells 2..644; the claimed ones among them lie in the road's bounds.
      const int lo = std::max<int>(First[j] + 1, 3), hi = std::min<int>(Last[j] + 1, 645);
      if (lo > hi) {
        run(3, 645);
      } else {
        run(3, lo - 1);
        int from = lo;
        for (int col = lo; col <= hi; ++col)
          if (row[col - 2] != Empty) {
            run(from, col - 1);
            from = col + 1;
          }
        run(from, hi);
        run(hi + 1, 645);
      }
      for (size_t i = 0; i < found; ++i) {
        const int col = candidates[i].Col, t = candidates[i].Kind;
        const int size = BlockSize[t];
        if (j + size >= TrackRows || !Fits(free.data() + col, t)) continue;
        PlaceBlock(j, col, t);
        for (int c = col; c < col + size; ++c) free[c] = 0;
      }
      // The row itself is the first one below the next row.
      for (int c = 1; c <= TrackCols; ++c)
        free[c] = row[c - 1] == Empty ? static_cast<uint8_t>(std::min(free[c] + 1, 4)) : 0;
    }
    Rng.Seed = seed;
  }

  // The side of the square block a draw places: 0 the large block, 1 the grid, 2 the square,
  // 3 the small one; 4..11 none.
  static constexpr int BlockSize[12] = {4, 3, 2, 2};
  // Whether draw t's block fits on four heights 0..4: the first BlockSize[t] of them each at
  // least that size, all four tested in one word. Adding 128 - size to a height sets its top bit
  // exactly when the height reaches the size, and never carries into the next one; a draw that
  // places nothing asks for top bits that no height 0..4 can set.
  static bool Fits(const uint8_t* heights, uint32_t t) {
    static constexpr uint32_t Add[12] = {0x7c7c7c7c, 0x7d7d7d7d, 0x7e7e7e7e, 0x7e7e7e7e};
    static constexpr uint32_t Want[12] = {0x80808080, 0x00808080, 0x00008080, 0x00008080,
                                          0x80,       0x80,       0x80,       0x80,
                                          0x80,       0x80,       0x80,       0x80};
    uint32_t h;
    std::memcpy(&h, heights, 4);
    return ((h + Add[t]) & Want[t]) == Want[t];
  }

  void PlaceBlock(int j, int col, int t) {
    using namespace tile;
    if (t == 0) {
      static constexpr int Big[4][4] = {{Ground, LargeTop, LargeTop, LargeTop},
                                        {LargeLeft, SquareTopL, SquareTopR, LargeRight},
                                        {LargeLeft, SquareBottomL, SquareBottomR, LargeRight},
                                        {LargeLeft, LargeBottom, LargeBottom, LargeCorner}};
      for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) Put(j + 1 + r, col + c, Big[r][c]);
    } else if (t == 1) {
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) Put(j + 1 + r, col + c, GridFirst + 3 * r + c);
    } else if (t == 2) {
      static constexpr int Square[2][2] = {{SquareTopL, SquareTopR},
                                           {SquareBottomL, SquareBottomR}};
      for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) Put(j + 1 + r, col + c, Square[r][c]);
    } else {
      static constexpr int Small[2][2] = {{SmallTop, Ground}, {SmallBottomL, SmallBottomR}};
      for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) Put(j + 1 + r, col + c, Small[r][c]);
    }
  }

  // 7, 8. Decorations on what is still unclaimed, row by row, then the road's centre line. An
  // unclaimed cell draws Random(2), and Random(3) for one of the three decorations when the
  // first gave 0; else it becomes plain ground.
  void DecorateAndCentre() {
    uint32_t seed = Rng.Seed;
    for (int r = 1; r <= TrackRows; ++r) {
      uint8_t* row = T.Cells.data() + Index(r, 1);
      for (int c = NextEmpty(row, 0); c < TrackCols;) {
        const int end = NextClaimed(row, c);
        seed = Decorate(row + c, row + end, seed);
        c = NextEmpty(row, end);
      }
      // The centre between the two lanes; on a drift row 20 pixels off it, ahead of the drift
      // on its entry row and behind it on its shifted row. Only the road's own cells can hold
      // a lane or a line.
      int32_t& centre = T.RoadCentreX(r);
      for (int c = First[r]; c <= Last[r]; ++c) {
        const int cell = row[c - 1];
        if (cell == tile::RoadLane) {
          const int left = c > 1 ? row[c - 2] : tile::Ground;
          if (left == tile::RoadEdgeL)
            centre = TileSize * c + TileSize;
          else if (left == tile::LeftEntryEdgeL || left == tile::RightShiftEdgeL)
            centre = TileSize * c + TileSize - 20;
          else if (left == tile::LeftShiftEdgeL || left == tile::RightEntryEdgeL)
            centre = TileSize * c + TileSize + 20;
        } else if (cell == tile::Line) {
          centre = TileSize * (c - 2) + TileSize;
        }
      }
    }
    Rng.Seed = seed;
  }

  // The first unclaimed (NextEmpty) or claimed (NextClaimed) cell of a row from index c on, or
  // TrackCols for none: eight cells a step, a run's end found without a branch per cell.
  static int NextEmpty(const uint8_t* row, int c) {
    for (; c + 8 <= TrackCols; c += 8) {
      uint64_t v;
      std::memcpy(&v, row + c, 8);
      // An unclaimed cell is a zero byte of ~v; the lowest such byte is found exactly.
      const uint64_t x = ~v;
      const uint64_t zero = (x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull;
      if (zero) return c + std::countr_zero(zero) / 8;
    }
    while (c < TrackCols && row[c] != Empty) ++c;
    return c;
  }
  static int NextClaimed(const uint8_t* row, int c) {
    for (; c + 8 <= TrackCols; c += 8) {
      uint64_t v;
      std::memcpy(&v, row + c, 8);
      if (~v) return c + std::countr_zero(~v) / 8;
    }
    while (c < TrackCols && row[c] == Empty) ++c;
    return c;
  }

  // Decorates the unclaimed cells [cell, end) from the given seed; answers the seed after.
  // A cell takes one step or two, so each next cell's first step hangs on the one before. Two
  // cells are worked out at a time from all four steps they may take, computed side by side;
  // the choices between them are made by selection, not by jumps on coin tosses.
  static uint32_t Decorate(uint8_t* cell, uint8_t* end, uint32_t seed) {
    // All ones when a step's Random(2) gave 0 (its top bit clear), else zero.
    const auto zero = [](uint32_t step) { return (step >> 31) - 1u; };
    const auto pick = [](uint32_t mask, uint32_t ifSet, uint32_t ifClear) {
      return ifClear ^ ((ifClear ^ ifSet) & mask);
    };
    const auto decoration = [](uint32_t mask, uint32_t step) {
      return static_cast<uint8_t>((tile::Decoration + Draw(step, 3)) & mask);
    };
    for (; end - cell >= 2; cell += 2) {
      const uint32_t s1 = seed * Jumps[1].Mul + Jumps[1].Add;
      const uint32_t s2 = seed * Jumps[2].Mul + Jumps[2].Add;
      const uint32_t s3 = seed * Jumps[3].Mul + Jumps[3].Add;
      const uint32_t s4 = seed * Jumps[4].Mul + Jumps[4].Add;
      const uint32_t d1 = zero(s1);
      const uint32_t x = pick(d1, s3, s2);  // the second cell's first step
      const uint32_t y = pick(d1, s4, s3);  // and the step after it
      const uint32_t d2 = zero(x);
      cell[0] = decoration(d1, s2);
      cell[1] = decoration(d2, y);
      seed = pick(d2, y, x);
    }
    if (cell != end) {
      const uint32_t s1 = seed * Jumps[1].Mul + Jumps[1].Add;
      const uint32_t s2 = seed * Jumps[2].Mul + Jumps[2].Add;
      const uint32_t d1 = zero(s1);
      *cell = decoration(d1, s2);
      seed = pick(d1, s2, s1);
    }
    return seed;
  }
};

}  // namespace

int TrackLengthForLevel(int level) {
  return level <= 5 ? 200 * level + 100 : 1300;
}

TLevelParameters SetUpLevelParameters(int level) {
  TLevelParameters p;
  p.Level = level;
  p.TrackLength = TrackLengthForLevel(level);
  // The race ends after level 10, so the time table is never read past its end.
  p.RaceClock = 1000 * LevelTimes[std::clamp(level, 1, 10)];
  p.BonusCount = 10 * level;
  return p;
}

void GenerateTrack(TTrackState& track, TRandom& rng) {
  GenerateTrackAt(track, rng, StartBarrierCol);
}

void GenerateTrackAt(TTrackState& track, TRandom& rng, int startCol) {
  TGenerator g{track, rng};
  g.StartCol = std::clamp(startCol, 1, TrackCols - 7);
  g.Run();
}

const int SolidShapeX[33][4] = {
    {0, 0, 0, 0},     {38, 72, 38, 72}, {38, 72, 38, 72}, {38, 72, 38, 72}, {38, 72, 38, 72},
    {38, 72, 38, 72}, {38, 72, 38, 72}, {38, 72, 38, 72}, {38, 72, 38, 72}, {38, 72, 38, 72},
    {0, 35, 0, 35},   {0, 35, 0, 35},   {0, 35, 0, 35},   {0, 35, 0, 35},   {0, 35, 0, 35},
    {0, 35, 0, 35},   {0, 35, 0, 35},   {0, 35, 0, 35},   {0, 35, 0, 35},   {38, 71, 55, 71},
    {2, 20, 2, 36},   {71, 52, 61, 71}, {8, 0, 17, 45},   {2, 38, 38, 71},  {71, 17, 45, 71},
    {0, 19, 0, 34},   {35, 71, 1, 55},  {0, 17, 10, 0},   {69, 35, 71, 69}, {0, 33, 17, 0},
    {71, 54, 37, 71}, {0, 55, 24, 0},   {33, 69, 0, 33}};
const int SolidShapeY[33][4] = {
    {0, 0, 0, 0},    {0, 0, 72, 72},  {0, 0, 72, 72},  {0, 0, 72, 72},  {0, 0, 72, 72},
    {0, 0, 72, 72},  {0, 0, 72, 72},  {0, 0, 72, 72},  {0, 0, 72, 72},  {0, 0, 72, 72},
    {0, 0, 72, 72},  {0, 0, 72, 72},  {0, 0, 72, 72},  {0, 0, 72, 72},  {0, 0, 72, 72},
    {0, 0, 72, 72},  {0, 0, 72, 72},  {0, 0, 72, 72},  {0, 0, 72, 72},  {0, 0, 34, 66},
    {0, 35, 71, 71}, {0, 10, 27, 46}, {0, 48, 71, 71}, {0, 0, 71, 71},  {0, 9, 63, 70},
    {0, 38, 71, 71}, {0, 48, 67, 71}, {0, 0, 28, 47},  {0, 67, 68, 71}, {0, 0, 32, 66},
    {0, 34, 68, 71}, {0, 8, 65, 70},  {0, 0, 71, 71}};

int SolidIndex(int code) {
  static constexpr int Codes[33] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  13,
                                    14, 15, 16, 17, 18, 19, 20, 21, 25, 26, 29,
                                    30, 31, 35, 36, 37, 38, 41, 42, 43, 44, 48};
  for (int i = 1; i <= 32; ++i)
    if (Codes[i] == code) return i;
  return -1;
}

int SolidAt(const TTrackState& track, int row, int col) {
  return SolidIndex(TTrackState::InMap(row, col) ? track.TrackMap(row, col) : 0);
}

// The road surface: the edges, lanes and line, and the edge and gap tiles of the drift rows that
// the road runs over.
bool IsRoadCode(int code) {
  using namespace tile;
  switch (code) {
    case RoadEdgeL:
    case RoadLane:
    case RoadEdgeR:
    case Line:
    case LeftShiftEdgeL:
    case LeftShiftEdgeR:
    case LeftShiftGapR:
    case LeftEntryGapL:
    case LeftEntryEdgeL:
    case LeftEntryEdgeR:
    case RightShiftGapL:
    case RightShiftEdgeL:
    case RightShiftEdgeR:
    case RightEntryEdgeL:
    case RightEntryEdgeR:
    case RightEntryGapR:
      return true;
    default:
      return false;
  }
}

}  // namespace zw
