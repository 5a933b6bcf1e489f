// The SDL audio device fed by the game's mixer: effect voices and the tracker tune.
#include "platform/sdl/sdl_audio.hpp"

namespace zw {

TSdlAudio::TSdlAudio() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
  Subsystem = true;
  SDL_AudioSpec want{}, have{};
  want.freq = Mixer.Rate();
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = &TSdlAudio::Callback;
  want.userdata = this;
  // No changes allowed: SDL converts to whatever the hardware takes, and the mixer always
  // works in its one format.
  Device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (Device != 0) SDL_PauseAudioDevice(Device, 0);
}

TSdlAudio::~TSdlAudio() {
  if (Device != 0) SDL_CloseAudioDevice(Device);
  if (Subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void TSdlAudio::Lock() const {
  if (Device != 0) SDL_LockAudioDevice(Device);
}

void TSdlAudio::Unlock() const {
  if (Device != 0) SDL_UnlockAudioDevice(Device);
}

int TSdlAudio::CreateBuffer(std::shared_ptr<const TWaveData> wave) {
  Lock();
  const int id = Mixer.CreateBuffer(std::move(wave));
  Unlock();
  return id;
}

void TSdlAudio::PlayBuffer(int buffer, bool looped) {
  Lock();
  // Without a device nothing ever plays to its end: a one-shot is over as soon as it starts,
  // while a loop counts as playing until it is stopped, as it would with a sound card.
  if (Device != 0 || looped) Mixer.PlayBuffer(buffer, looped);
  Unlock();
}

void TSdlAudio::StopBuffer(int buffer) {
  Lock();
  Mixer.StopBuffer(buffer);
  Unlock();
}

bool TSdlAudio::BufferPlaying(int buffer) {
  Lock();
  const bool playing = Mixer.BufferPlaying(buffer);
  Unlock();
  return playing;
}

void TSdlAudio::SetBufferFormat(int buffer, int frequency, int pan, int volume) {
  Lock();
  Mixer.SetBufferFormat(buffer, frequency, pan, volume);
  Unlock();
}

void TSdlAudio::SetMusic(IMixSource* source) {
  Lock();
  Mixer.SetSource(source);
  Unlock();
}

void TSdlAudio::Callback(void* self, Uint8* stream, int len) {
  // SDL holds the device's lock while it calls here.
  static_cast<TSdlAudio*>(self)->Mixer.Mix(reinterpret_cast<int16_t*>(stream), len / 4);
}

TSdlMusic::~TSdlMusic() {
  if (Handle != 0) SongFree(Handle);
}

int TSdlMusic::SongLoadFromFile(const std::string& path) {
  if (Handle != 0) SongFree(Handle);
  auto song = std::make_unique<TXmSong>();
  if (!song->Load(path)) return 0;
  Song = std::move(song);
  Handle = NextHandle++;
  return Handle;
}

void TSdlMusic::SongPlay(int handle) {
  if (handle == 0 || handle != Handle || !Song || Song->Started()) return;
  // The player runs at the mixer's rate whether or not a device is open, so the song is the
  // same wherever it is mixed.
  if (!Song->Start(Audio.Rate())) return;
  if (Audio.Open()) Audio.SetMusic(Song.get());
}

void TSdlMusic::SongFree(int handle) {
  if (handle == 0 || handle != Handle || !Song) return;
  // Once the mixer has let go (under its lock), the audio thread no longer touches the song.
  Audio.SetMusic(nullptr);
  Song.reset();
  Handle = 0;
}

}  // namespace zw
