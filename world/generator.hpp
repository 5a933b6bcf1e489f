// The track map generator and the level parameters.
#pragma once

#include "shell/random.hpp"
#include "world/track.hpp"

namespace zw {

// The segment kinds a row is generated with.
enum : uint8_t { KindStraight = 1, KindLeadIn = 2, KindDriftLeft = 3, KindDriftRight = 4, KindLeadOut = 5 };

// The time limit of each level 1..10 in seconds.
constexpr int LevelTimes[11] = {0, 45, 55, 80, 100, 110, 130, 130, 130, 140, 140};

int TrackLengthForLevel(int level);

// Builds the whole map, its row tables and the start view for the track's length.
void GenerateTrack(TTrackState& track, TRandom& rng);

// The obstacle tiles: index 1..32 of a code, or -1 when the code is not solid.
int SolidIndex(int code);
extern const int SolidShapeX[33][4];
extern const int SolidShapeY[33][4];

// Whether a tile code is road surface.
bool IsRoadCode(int code);

}  // namespace zw
