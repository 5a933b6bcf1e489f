// Music and sound effects over the platform, both silent while switched off.
#include "shell/form.hpp"

namespace zw {

void TMForm::PlaySound(int i) {
  if (!GameOptions.Sound) return;
  if (Platform.Audio) Platform.Audio->Trace("play", i, "");
  TSoundItem* item = MSoundList.Item(i);
  if (!item || !Platform.Audio) return;
  item->Stop(*Platform.Audio);
  item->Play(*Platform.Audio);
}

void TMForm::StopSound(int i) {
  if (!GameOptions.Sound) return;
  if (Platform.Audio) Platform.Audio->Trace("stop", i, "");
  TSoundItem* item = MSoundList.Item(i);
  if (!item || !Platform.Audio) return;
  item->Stop(*Platform.Audio);
}

void TMForm::PlayMusic(const std::string& path) {
  if (!GameOptions.Music || !Platform.Music) return;
  if (MusicHandle != 0) {
    Platform.Music->SongFree(MusicHandle);
    MusicHandle = 0;
  }
  if (Platform.Audio) Platform.Audio->Trace("music", -1, path);
  MusicHandle = Platform.Music->SongLoadFromFile(path);
  if (MusicHandle != 0) Platform.Music->SongPlay(MusicHandle);
}

void TMForm::StopMusic() {
  if (MusicHandle != 0 && Platform.Music) {
    if (Platform.Audio) Platform.Audio->Trace("stopmusic", -1, "");
    Platform.Music->SongFree(MusicHandle);
  }
  MusicHandle = 0;
}

void TMForm::PlayScreenMusic() {
  PlayMusic(Menu.CurrentScreen == screen::Race ? "Data/Music/Race.xm" : "Data/Music/Menu.xm");
}

}  // namespace zw
