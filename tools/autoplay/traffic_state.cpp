// The opponents and bonuses in the scripted runner's state dump.
#include "tools/autoplay/race_state.hpp"
#include "traffic/bonus.hpp"
#include "traffic/car.hpp"

namespace zw {

void AppendTrafficState(TJson& j, TMForm& f) {
  if (const TCar* c = f.Race.Car) {
    j.Key("Car");
    j.OpenArray();
    for (int i = 1; i <= 5; ++i) {
      j.Open();
      j.Field("CarRacing", c->CarRacing[i]);
      j.Field("CarModel", static_cast<int>(c->CarModel[i]));
      j.Field("CarX", c->CarX[i]);
      j.Field("CarY", c->CarY[i]);
      j.Field("CarHeading", c->CarHeading[i]);
      j.Field("CarSpeed", c->CarSpeed[i]);
      j.Field("CarWrecked", c->CarWrecked[i]);
      j.Field("CarActive", c->CarActive[i]);
      j.Field("CarLaneOffset", c->CarLaneOffset[i]);
      j.Close();
    }
    j.CloseArray();
  }
  if (const TBonus* b = f.Race.Bonus) {
    j.Key("Bonus");
    j.OpenArray();
    const int n = std::min(f.Track.BonusCount, 400);
    for (int i = 1; i <= n; ++i) {
      j.Open();
      j.Field("BonusActive", b->BonusActive[i]);
      j.Field("BonusCol", b->BonusCol[i]);
      j.Field("BonusRow", b->BonusRow[i]);
      j.Field("BonusKind", static_cast<int>(b->BonusKind[i]));
      j.Close();
    }
    j.CloseArray();
  }
}

}  // namespace zw
