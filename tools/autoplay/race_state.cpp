// Race values in the state dump, and the runner's race, level and track commands.
#include "tools/autoplay/race_state.hpp"

#include <fstream>
#include <sstream>

#include "rider/player.hpp"
#include "rider/pointer.hpp"
#include "shell/form.hpp"
#include "shell/level.hpp"
#include "tools/autoplay/script.hpp"
#include "traffic/bonus.hpp"
#include "traffic/car.hpp"
#include "world/scroll_background.hpp"

namespace zw {

void AppendRaceState(TJson& j, TFormState& f) {
  const TRaceState& r = f.Race;
  j.Field("Level", r.Level);
  j.Field("TrackLength", f.Track.TrackLength);
  j.Field("BonusCount", f.Track.BonusCount);
  j.Field("RaceClock", r.RaceClock);
  j.Field("RacePosition", static_cast<int>(r.RacePosition));
  j.Field("RaceCount", static_cast<int>(r.RaceCount));
  j.Field("ViewCol", f.Track.ViewCol);
  j.Field("ViewRow", f.Track.ViewRow);
  j.Field("ScrollVX", r.ScrollVX);
  j.Field("ScrollVY", r.ScrollVY);
  j.Field("Lives", r.Lives);
  j.Field("RaceScore", r.RaceScore);
  j.Field("DialogTimer", f.Dialog.DialogTimer);
  j.Field("TallyTimeLeft", r.TallyTimeLeft);
  j.Field("TallyStep", r.TallyStep);
  j.Field("TimeBonus", r.TimeBonus);
  j.Field("BonusPoints", r.BonusPoints);
  j.Field("PlayerName", f.Dialog.PlayerName);
  j.Key("HighScores");
  j.OpenArray();
  for (int i = 1; i <= 11; ++i) {
    j.Open();
    j.Field("Name", f.HighScores[static_cast<size_t>(i)].Name);
    j.Field("Score", f.HighScores[static_cast<size_t>(i)].Score);
    j.Close();
  }
  j.CloseArray();
  if (r.Background) {
    j.Key("Background");
    j.Open();
    j.Field("X", r.Background->X);
    j.Field("Y", r.Background->Y);
    j.Close();
  }
  if (r.Pointer) {
    j.Key("Pointer");
    j.Open();
    j.Field("Angle", static_cast<int>(r.Pointer->Angle));
    j.Close();
  }
  if (const TPlayer* p = r.Player) {
    j.Key("Player");
    j.Open();
    j.Field("Speed", p->Speed);
    j.Field("ScrollSpeed", p->ScrollSpeed);
    j.Field("Steer", p->Steer);
    j.Field("Heading", p->Heading);
    j.Field("Decel", p->Decel);
    j.Field("HitsLeft", p->HitsLeft);
    j.Field("OnRoad", p->OnRoad);
    j.Field("LeanState", static_cast<int>(p->LeanState));
    j.Field("AnimPos", p->AnimPos);
    j.Field("Finished", p->Finished);
    j.Field("TimeUp", p->TimeUp);
    j.Field("EndSequence", p->EndSequence);
    j.Field("Crashed", p->Crashed);
    j.Field("NewestMark", static_cast<int>(p->NewestMark));
    j.Close();
  }
  AppendTrafficState(j, f);
}

bool TScriptRunner::ExtraCommand(const std::string& cmd, const std::string& arg,
                                 std::string& error) {
  if (cmd == "race") {
    const int bike = arg.size() == 1 ? arg[0] - '0' : 0;
    if (bike < 1 || bike > 5) {
      error = "'race' needs a bike from 1 to 5";
      return true;
    }
    if (Form->Menu.CurrentScreen == screen::Race) {
      error = "a race is already running";
      return true;
    }
    // As the bike selection's start item does: leave the menu, then start.
    Form->Race.SelectedBike = bike;
    if (Form->Menu.ActiveDialog != dialog::None) Form->CloseDialog();
    Form->LeaveCurrentSubScreen();
    if (Form->Menu.CurrentScreen == screen::None || Form->Menu.CurrentScreen == screen::MainMenu) {
      if (Form->Menu.CurrentScreen == screen::None) Form->ShowMenu(false, 1, false);
      Form->LeaveMainMenu();
    }
    Form->StartRace();
    return true;
  }
  if (cmd == "level") {
    const int level = arg.size() <= 2 ? std::atoi(arg.c_str()) : 0;
    if (level < 1 || level > 10) {
      error = "'level' needs a level from 1 to 10";
      return true;
    }
    SetUpLevel(*Form, level);
    return true;
  }
  if (cmd == "set") {
    // A few race values a scenario may put in place: RaceClock, RaceScore, Lives, Finished,
    // RacePosition, Speed, CarWrecked SLOT to bring an opponent down, CarAt SLOT DX DY to put an
    // opponent's centre DX, DY pixels from the rider's (riding straight up the track at SPEED
    // when a fourth number is given), and BonusAt SLOT KIND DCOL DROW to lay a bonus DCOL, DROW
    // cells from the screen's top-left cell.
    std::istringstream a(arg);
    std::string name;
    long long v = 0;
    if (!(a >> name >> v)) {
      error = "'set' needs a name and a number";
      return true;
    }
    TRaceState& r = Form->Race;
    if (name == "CarAt" || name == "BonusAt") {
      long long x = 0, y = 0, w = -1;
      if (!(a >> x >> y)) {
        error = "'set " + name + "' needs a slot and more numbers";
        return true;
      }
      a >> w;
      const TTrackState& t = Form->Track;
      if (name == "CarAt" && r.Car && r.Player && v >= 1 && v <= 5 &&
          r.Car->Opponents[static_cast<int>(v)].Racing) {
        TOpponent& o = r.Car->Opponents[static_cast<int>(v)];
        const double bx = r.Background ? r.Background->X : 0.0;
        const double by = r.Background ? r.Background->Y : 0.0;
        const double cx = r.Player->CentreX + t.ViewCol * 72.0 - bx + static_cast<double>(x);
        const double cy = r.Player->CentreY + t.ViewRow * 72.0 - by + static_cast<double>(y);
        o.Left = cx - CarWidth(o.Model) / 2.0;
        o.Top = cy - CarHeight(o.Model) / 2.0;
        o.Heading = 0;
        if (w >= 0) o.Speed = static_cast<double>(w);
      } else if (name == "BonusAt" && r.Bonus && v >= 1 && v <= std::min(t.BonusCount, 400) &&
                 x >= 1 && x <= 5 && w >= 0) {
        const int i = static_cast<int>(v);
        r.Bonus->BonusActive[i] = true;
        r.Bonus->BonusKind[i] = static_cast<uint8_t>(x);
        r.Bonus->BonusCol[i] = t.ViewCol + static_cast<int32_t>(y);
        r.Bonus->BonusRow[i] = t.ViewRow + static_cast<int32_t>(w);
      } else {
        error = "cannot set '" + name + "'";
      }
      return true;
    }
    if (name == "RaceClock")
      r.RaceClock = static_cast<int32_t>(v);
    else if (name == "RaceScore")
      r.RaceScore = static_cast<int32_t>(v);
    else if (name == "Lives")
      r.Lives = static_cast<int32_t>(v);
    else if (name == "RacePosition")
      r.RacePosition = static_cast<uint8_t>(v);
    else if (name == "Finished" && r.Player)
      r.Player->Finished = v != 0;
    else if (name == "Speed" && r.Player)
      r.Player->Speed = static_cast<double>(v);
    else if (name == "CarWrecked" && r.Car && v >= 1 && v <= 5 &&
             r.Car->Opponents[static_cast<int>(v)].Active &&
             !r.Car->Opponents[static_cast<int>(v)].Wrecked)
      r.Car->WreckCar(static_cast<int>(v));  // only a car on the track can come down
    else
      error = "cannot set '" + name + "'";
    return true;
  }
  if (cmd == "track") {
    std::ofstream out(arg, std::ios::binary | std::ios::trunc);
    const TTrackState& t = Form->Track;
    out.write(reinterpret_cast<const char*>(t.Cells.data()),
              static_cast<std::streamsize>(t.Cells.size()));
    out.write(reinterpret_cast<const char*>(t.RowKindTable.data()),
              static_cast<std::streamsize>(t.RowKindTable.size()));
    for (int32_t v : t.RoadCentreXTable) {
      const uint32_t u = static_cast<uint32_t>(v);
      const char b[4] = {static_cast<char>(u & 255), static_cast<char>((u >> 8) & 255),
                         static_cast<char>((u >> 16) & 255), static_cast<char>((u >> 24) & 255)};
      out.write(b, 4);
    }
    if (!out) error = "cannot write the track '" + arg + "'";
    return true;
  }
  return false;
}

}  // namespace zw
