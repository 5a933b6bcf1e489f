// The track map generator and the level parameters.
#pragma once

#include "core/random.hpp"
#include "world/track.hpp"

namespace zw {

// The tile codes of the track map. A code is also the pattern number of its picture in the race
// tile strip. A road row is eight cells: left barrier, left gap, left edge, two lanes, right
// edge, right gap, right barrier; a straight one is BarrierL, Ground, RoadEdgeL, RoadLane,
// RoadLane, RoadEdgeR, Ground, BarrierR. Where the road drifts, each step is an entry row and
// above it a row shifted one column over, whose tiles stand in for the straight row's barriers,
// gaps and edges (the lanes stay RoadLane).
namespace tile {
constexpr int Ground = 0;        // plain ground, and every cell nothing else claimed
constexpr int BarrierL = 1;      // the common left barrier
constexpr int BarrierLLast = 9;  // 2..9: its rarer pictures
constexpr int RoadEdgeL = 10;
constexpr int RoadLane = 11;
constexpr int RoadEdgeR = 12;
constexpr int BarrierR = 13;      // the common right barrier
constexpr int BarrierRLast = 21;  // 14..21: its rarer pictures
constexpr int GapL = 22;          // the ground between barrier and edge of a lead-in or lead-out
constexpr int GapR = 23;
constexpr int Line = 24;  // the start or finish line across the four road tiles
// A drift to the left: the shifted row, then the entry row.
constexpr int LeftShiftBarrierL = 25, LeftShiftGapL = 26, LeftShiftEdgeL = 27, LeftShiftEdgeR = 28,
              LeftShiftGapR = 29, LeftShiftBarrierR = 30;
constexpr int LeftEntryBarrierL = 31, LeftEntryGapL = 32, LeftEntryEdgeL = 33, LeftEntryEdgeR = 34,
              LeftEntryGapR = 35, LeftEntryBarrierR = 36;
// A drift to the right: the shifted row, then the entry row.
constexpr int RightShiftBarrierL = 37, RightShiftGapL = 38, RightShiftEdgeL = 39,
              RightShiftEdgeR = 40, RightShiftGapR = 41, RightShiftBarrierR = 42;
constexpr int RightEntryBarrierL = 43, RightEntryGapL = 44, RightEntryEdgeL = 45,
              RightEntryEdgeR = 46, RightEntryGapR = 47, RightEntryBarrierR = 48;
constexpr int Decoration = 49;  // 49..51: ground with one of three decorations
constexpr int DecorationCount = 3;
// The scenery blocks. The small one is 52 over 53, 54 with ground at its top right; the large
// one a border (top 55, left 56, bottom 57, bottom-right corner 58, right 59) round the square
// block 60, 61 over 63, 64; the grid block nine tiles 65..73, row by row.
constexpr int SmallTop = 52, SmallBottomL = 53, SmallBottomR = 54;
constexpr int LargeTop = 55, LargeLeft = 56, LargeBottom = 57, LargeCorner = 58, LargeRight = 59;
constexpr int SquareTopL = 60, SquareTopR = 61, SquareBottomL = 63, SquareBottomR = 64;
constexpr int GridFirst = 65;
}  // namespace tile

// The segment kinds a row is generated with.
enum : uint8_t {
  KindStraight = 1,
  KindLeadIn = 2,
  KindDriftLeft = 3,
  KindDriftRight = 4,
  KindLeadOut = 5
};

// The start stretch: StartRows straight rows up from the map's last row with the start line in
// the StartLineRow-th, its left barrier in column StartBarrierCol; the view starts one column
// left of that barrier, at row StartViewRow.
constexpr int StartBarrierCol = 319;
constexpr int StartRows = 40;
constexpr int StartLineRow = 21;
constexpr int StartViewRow = 1478;

// The time limit of each level 1..10 in seconds.
constexpr int LevelTimes[11] = {0, 45, 55, 80, 100, 110, 130, 130, 130, 140, 140};

int TrackLengthForLevel(int level);

// What a level sets before its track is built.
struct TLevelParameters {
  int32_t Level = 1;
  int32_t TrackLength = 0;  // rows carrying the track: 1500 - TrackLength .. 1499
  int32_t RaceClock = 0;    // milliseconds
  int32_t BonusCount = 0;
};
TLevelParameters SetUpLevelParameters(int level);

// Builds the whole map, its row tables and the start view for the track's length: the start
// stretch's left barrier in column 319, the view at column 318, row 1478. The background's
// chips are the caller's to refresh.
void GenerateTrack(TTrackState& track, TRandom& rng);
// The same with the start stretch's left barrier in another column (1..643) and the view one
// column before it, to ride a road along the map's edges.
void GenerateTrackAt(TTrackState& track, TRandom& rng, int startCol);

// The obstacle tiles: index 1..32 of a code, or -1 when the code is not solid.
int SolidIndex(int code);
extern const int SolidShapeX[33][4];
extern const int SolidShapeY[33][4];
// The obstacle at a cell of the map (its SolidIndex), everything beyond the map plain ground.
int SolidAt(const TTrackState& track, int row, int col);

// Whether a tile code is road surface.
bool IsRoadCode(int code);

}  // namespace zw
