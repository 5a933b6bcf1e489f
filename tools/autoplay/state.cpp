// The state dump and the sound log of the scripted runner.
#include "shell/form_state.hpp"
#include "tools/autoplay/json.hpp"
#include "tools/autoplay/race_state.hpp"
#include "tools/autoplay/script.hpp"

namespace zw {

std::string StateJson(TFormState& f) {
  TJson j;
  j.Open();
  j.Field("CurrentScreen", static_cast<int>(f.Menu.CurrentScreen));
  j.Field("ActiveDialog", static_cast<int>(f.Menu.ActiveDialog));
  j.Field("MenuIndex", f.Menu.MenuIndex);
  j.Field("MenuFirst", f.Menu.MenuFirst);
  j.Field("MenuLast", f.Menu.MenuLast);
  j.Field("MenuIntro", f.Menu.MenuIntro);
  j.Field("HoverButton", f.Menu.HoverButton);
  j.Field("FrameRate", f.Timing.FrameRate);
  j.Field("FrameTime", f.Timing.FrameTime);
  j.Field("SpeedFactor", f.Timing.SpeedFactor);
  j.Field("RefreshRate", f.Timing.RefreshRate);
  j.Field("AllCount", f.Engine().AllCount);
  j.Field("FullScreen", f.GameOptions.FullScreen);
  j.Field("Music", f.GameOptions.Music);
  j.Field("Sound", f.GameOptions.Sound);
  j.Field("Country", f.GameOptions.Country);
  j.Field("BossKeyShift", static_cast<int>(f.Keys.BossKeyShift));
  j.Field("BossKey", static_cast<int>(f.Keys.BossKey));
  j.Field("BossKeyCapture", f.Keys.BossKeyCapture);
  j.Field("MusicRestartPending", f.Keys.MusicRestartPending);
  j.Field("SelectedBike", f.Race.SelectedBike);
  j.Field("Terminated", f.Terminated);
  AppendRaceState(j, f);
  j.Close();
  j.Text += "\n";
  return j.Text;
}

std::string SoundLogJson(const THeadlessAudio& audio) {
  std::string out;
  for (const TSoundLogEntry& e : audio.Log) {
    TJson j;
    j.Open();
    j.Field("frame", static_cast<long long>(e.Frame));
    j.Field("ms", static_cast<long long>(e.Ms));
    j.Field("op", e.Op);
    if (e.Index >= 0) j.Field("index", e.Index);
    if (!e.Path.empty()) j.Field("path", e.Path);
    if (e.Op == "format") {
      j.Field("frequency", e.Frequency);
      j.Field("pan", e.Pan);
      j.Field("volume", e.Volume);
    }
    j.Close();
    out += j.Text + "\n";
  }
  // The time the log was written, so that a render of it lasts as long as the run.
  TJson j;
  j.Open();
  j.Field("ms", static_cast<long long>(audio.NowMs()));
  j.Field("op", std::string("end"));
  j.Close();
  out += j.Text + "\n";
  return out;
}

}  // namespace zw
