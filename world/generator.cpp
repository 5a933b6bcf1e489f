// The track map generator: the start stretch, the segment chain, the finish line, scenery,
// decorations and the road's centre line.
#include "world/generator.hpp"

#include <algorithm>
#include <utility>
#include <vector>

namespace zw {

namespace {

constexpr uint8_t Empty = 255;

struct TGenerator {
  TTrackState& T;
  TRandom& Rng;
  int StartCol = StartBarrierCol;
  int SegmentKind = KindStraight;
  int SegmentRowsLeft = 0;

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
  int LeftmostClaimed(int row) const {
    for (int c = 1; c <= TrackCols; ++c)
      if (Cell(row, c) != -1) return c;
    return 0;
  }
  int RightmostClaimed(int row) const {
    for (int c = TrackCols; c >= 1; --c)
      if (Cell(row, c) != -1) return c;
    return 0;
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
    }
    // 3, 4. The road, row by row from the row below.
    BeginSegment(KindStraight);
    for (int j = TrackRows - StartRows; j > TrackRows - T.TrackLength; --j) {
      const int n = j - 1;
      if (SegmentRowsLeft == 0) ChooseSegment(j);
      // Unclaimed cells give nothing under every kind's rules, so only claimed ones are read.
      const uint8_t* below = T.Cells.data() + Index(j, 1);
      for (int k = 1; k <= TrackCols; ++k)
        if (below[k - 1] != Empty) RowRules(j, n, k);
      if (n >= 1) T.RowKind(n) = static_cast<uint8_t>(SegmentKind);
      SegmentRowsLeft -= 1;
    }
    // 5. The finish line across the four road tiles.
    const int finish = FinishRowBase - T.TrackLength;
    for (int k = 1; k <= TrackCols; ++k)
      if (Cell(finish, k) == tile::RoadLane) {
        for (int c = k - 1; c <= k + 2; ++c) Put(finish, c, tile::Line);
        break;
      }
    // 6. Scenery blocks on unclaimed ground.
    TRandom scenery = Rng;                                       // kept in a register for the pass
    std::vector<std::pair<int, int>> candidates(TrackCols + 1);  // (column, draw) of draws 0..3
    for (int j = TrackRows - 2; j >= TrackRows - T.TrackLength; --j) {
      if (j < 1) break;
      // A block only ever writes the rows below row j, so the row's test cells stay as they
      // are through its pass: every draw of the row is made first, in column order, and the
      // few that place a block are handled after.
      const uint8_t* row = T.Cells.data() + Index(j, 1);
      size_t found = 0;
      for (int col = 3; col <= 645; ++col) {
        if (row[col - 2] != Empty) continue;
        const int t = scenery.Random(12);
        candidates[found] = {col, t};
        found += t < 4;  // kept without a branch: the draws are a coin toss for the predictor
      }
      for (size_t i = 0; i < found; ++i) {
        const auto [col, t] = candidates[i];
        if (t == 0 && j + 4 < TrackRows && AreaIsFree(col, j, 4, 4)) {
          using namespace tile;
          static constexpr int Big[4][4] = {{Ground, LargeTop, LargeTop, LargeTop},
                                            {LargeLeft, SquareTopL, SquareTopR, LargeRight},
                                            {LargeLeft, SquareBottomL, SquareBottomR, LargeRight},
                                            {LargeLeft, LargeBottom, LargeBottom, LargeCorner}};
          for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) Put(j + 1 + r, col + c, Big[r][c]);
        } else if (t == 1 && j + 3 < TrackRows && AreaIsFree(col, j, 3, 3)) {
          for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) Put(j + 1 + r, col + c, tile::GridFirst + 3 * r + c);
        } else if (t == 2 && j + 2 < TrackRows && AreaIsFree(col, j, 2, 2)) {
          static constexpr int Square[2][2] = {{tile::SquareTopL, tile::SquareTopR},
                                               {tile::SquareBottomL, tile::SquareBottomR}};
          for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 2; ++c) Put(j + 1 + r, col + c, Square[r][c]);
        } else if (t == 3 && j + 2 < TrackRows && AreaIsFree(col, j, 2, 2)) {
          static constexpr int Small[2][2] = {{tile::SmallTop, tile::Ground},
                                              {tile::SmallBottomL, tile::SmallBottomR}};
          for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 2; ++c) Put(j + 1 + r, col + c, Small[r][c]);
        }
      }
    }
    Rng = scenery;
    // 7, 8. Decorations on what is still unclaimed, then the rest to ground, and the road's
    // centre line. One pass does both: a cell's clean-up needs only itself and its left
    // neighbour, both final by then, and the draws keep their row-by-row order. The
    // generator's state is kept in a local for the pass, so it lives in a register.
    TRandom rng = Rng;
    for (int r = 1; r <= TrackRows; ++r) {
      uint8_t* row = T.Cells.data() + Index(r, 1);
      int32_t& centre = T.RoadCentreX(r);
      for (int c = 1; c <= TrackCols; ++c) {
        uint8_t& cell = row[c - 1];
        if (cell == Empty) {
          // Random(2), and Random(3) only when the first gave 0: both draws are worked out
          // and the generator keeps the state of the draws actually made, without a branch
          // on a coin toss.
          // The second step is taken straight from the first seed (mul*mul, mul*inc+inc), so the
          // two steps run side by side.
          constexpr uint32_t mul = TRandom::Multiplier, inc = TRandom::Increment;
          const uint32_t once = rng.Seed * mul + inc;
          const uint32_t twice = rng.Seed * (mul * mul) + (mul * inc + inc);
          // All ones when Random(2) gave 0; the choice is made by masks, not by a jump.
          const uint32_t zero = (once >> 31) - 1u;
          const auto kind =
              static_cast<uint32_t>((static_cast<uint64_t>(twice) * tile::DecorationCount) >> 32);
          rng.Seed = (twice & zero) | (once & ~zero);
          cell = static_cast<uint8_t>((tile::Decoration + kind) & zero);
          continue;
        }
        // The centre between the two lanes; on a drift row 20 pixels off it, ahead of the drift
        // on its entry row and behind it on its shifted row.
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
    Rng = rng;
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
