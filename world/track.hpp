// The level's track map, its row tables and the view over it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/bounds.hpp"

namespace zw {

constexpr int TrackRows = 1500;
constexpr int TrackCols = 650;
constexpr int TileSize = 72;
// The tile size for the positions the race keeps in double pixels.
constexpr double TileSizeD = TileSize;
// The finish line lies on row FinishRowBase - TrackLength, 50 rows past the track's last row.
constexpr int FinishRowBase = TrackRows + 50;

struct TTrackState {
  // TrackMap(row, col): row 1..1500 (row 1 the far end), col 1..650.
  std::vector<uint8_t> Cells = std::vector<uint8_t>(TrackRows * TrackCols, 0);
  std::vector<uint8_t> RowKindTable = std::vector<uint8_t>(TrackRows, 0);
  std::vector<int32_t> RoadCentreXTable = std::vector<int32_t>(TrackRows, 0);
  int32_t ViewCol = 0;
  int32_t ViewRow = 0;
  int32_t TrackLength = 0;
  int32_t BonusCount = 0;

  uint8_t& TrackMap(int row, int col) {
    ZW_CHECK(row >= 1 && row <= TrackRows && col >= 1 && col <= TrackCols);
    return Cells[static_cast<size_t>(row - 1) * TrackCols + (col - 1)];
  }
  uint8_t TrackMap(int row, int col) const {
    ZW_CHECK(row >= 1 && row <= TrackRows && col >= 1 && col <= TrackCols);
    return Cells[static_cast<size_t>(row - 1) * TrackCols + (col - 1)];
  }
  uint8_t& RowKind(int row) {
    ZW_CHECK(row >= 1 && row <= TrackRows);
    return RowKindTable[static_cast<size_t>(row - 1)];
  }
  uint8_t RowKind(int row) const {
    ZW_CHECK(row >= 1 && row <= TrackRows);
    return RowKindTable[static_cast<size_t>(row - 1)];
  }
  int32_t& RoadCentreX(int row) {
    ZW_CHECK(row >= 1 && row <= TrackRows);
    return RoadCentreXTable[static_cast<size_t>(row - 1)];
  }
  int32_t RoadCentreX(int row) const {
    ZW_CHECK(row >= 1 && row <= TrackRows);
    return RoadCentreXTable[static_cast<size_t>(row - 1)];
  }
  // Back to a fresh game's map: nothing on it and every row table empty. A level writes only the
  // rows of its own length, so without this the rows a longer level of the game before wrote
  // would stand in the next game's race (and in its state), though a ride of that game's replay
  // starts from an empty map.
  void Clear() {
    std::fill(Cells.begin(), Cells.end(), uint8_t{0});
    std::fill(RowKindTable.begin(), RowKindTable.end(), uint8_t{0});
    std::fill(RoadCentreXTable.begin(), RoadCentreXTable.end(), 0);
    ViewCol = ViewRow = TrackLength = BonusCount = 0;
  }
  static bool InMap(int row, int col) {
    return row >= 1 && row <= TrackRows && col >= 1 && col <= TrackCols;
  }
};

}  // namespace zw
