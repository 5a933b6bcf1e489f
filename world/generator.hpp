// The track map generator and the level parameters.
#pragma once

#include "core/random.hpp"
#include "world/track.hpp"

namespace zw {

// The segment kinds a row is generated with.
enum : uint8_t {
  KindStraight = 1,
  KindLeadIn = 2,
  KindDriftLeft = 3,
  KindDriftRight = 4,
  KindLeadOut = 5
};

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
