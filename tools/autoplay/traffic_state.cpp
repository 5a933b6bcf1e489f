// The opponents and bonuses in the scripted runner's state dump.
#include "shell/form_state.hpp"
#include "tools/autoplay/race_state.hpp"
#include "traffic/bonus.hpp"
#include "traffic/car.hpp"

namespace zw {

void AppendTrafficState(TJson& j, TFormState& f) {
  if (const TCar* c = f.Race.Car) {
    j.Key("Car");
    j.OpenArray();
    for (int i = 1; i <= 5; ++i) {
      j.Open();
      j.Field("CarRacing", c->Opponents[i].Racing);
      j.Field("CarModel", static_cast<int>(c->Opponents[i].Model));
      j.Field("CarX", c->Opponents[i].X);
      j.Field("CarY", c->Opponents[i].Y);
      j.Field("CarHeading", c->Opponents[i].Heading);
      j.Field("CarSpeed", c->Opponents[i].Speed);
      j.Field("CarWrecked", c->Opponents[i].Wrecked);
      j.Field("CarActive", c->Opponents[i].Active);
      j.Field("CarLaneOffset", c->Opponents[i].LaneOffset);
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
