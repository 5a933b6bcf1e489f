// The deterministic platform's parts.
#include "platform/headless/headless.hpp"

#include <filesystem>

namespace zw {

bool THeadlessInput::PollEvent(TInputEvent& ev) {
  if (Queue.empty()) return false;
  ev = Queue.front();
  Queue.pop_front();
  return true;
}

uint8_t THeadlessInput::Modifiers() const {
  uint8_t m = 0;
  if (Held[vk::Shift]) m |= mod::Shift;
  if (Held[vk::Alt]) m |= mod::Alt;
  if (Held[vk::Control]) m |= mod::Ctrl;
  return m;
}

void THeadlessInput::PushKey(int key, bool down) {
  if (key < 0 || key >= vk::Count) return;
  Held[key] = down;
  TInputEvent ev;
  ev.Type = down ? TInputEvent::KeyDown : TInputEvent::KeyUp;
  ev.Key = key;
  ev.Modifiers = Modifiers();
  Queue.push_back(ev);
}

void THeadlessInput::PushChar(int c) {
  TInputEvent ev;
  ev.Type = TInputEvent::Char;
  ev.Key = c;
  Queue.push_back(ev);
}

void THeadlessInput::PushMouseMove(int x, int y) {
  TInputEvent ev;
  ev.Type = TInputEvent::MouseMove;
  ev.X = x;
  ev.Y = y;
  Queue.push_back(ev);
}

void THeadlessInput::PushPad(int control, bool down) {
  if (control < 0 || control >= pad::Count) return;
  PadPlugged = true;
  Pad[control] = down;
  TInputEvent ev;
  ev.Type = down ? TInputEvent::PadDown : TInputEvent::PadUp;
  ev.Key = control;
  Queue.push_back(ev);
}

void THeadlessInput::UnplugPad() {
  if (!PadPlugged) return;
  for (int c = 0; c < pad::Count; ++c)
    if (Pad[c]) PushPad(c, false);
  PadPlugged = false;
}

void THeadlessInput::PushClick() {
  TInputEvent ev;
  ev.Type = TInputEvent::Click;
  Queue.push_back(ev);
}

int THeadlessAudio::CreateBuffer(std::shared_ptr<const TWaveData> wave) {
  Buffers.push_back(Buffer{std::move(wave)});
  return static_cast<int>(Buffers.size());
}

void THeadlessAudio::PlayBuffer(int buffer, bool looped) {
  if (buffer < 1 || buffer > static_cast<int>(Buffers.size())) return;
  Buffer& b = Buffers[static_cast<size_t>(buffer - 1)];
  b.Playing = true;
  b.Looped = looped;
  b.StartMs = Clock.Now;
}

void THeadlessAudio::StopBuffer(int buffer) {
  if (buffer < 1 || buffer > static_cast<int>(Buffers.size())) return;
  Buffers[static_cast<size_t>(buffer - 1)].Playing = false;
}

bool THeadlessAudio::BufferPlaying(int buffer) {
  if (buffer < 1 || buffer > static_cast<int>(Buffers.size())) return false;
  Buffer& b = Buffers[static_cast<size_t>(buffer - 1)];
  if (!b.Playing || b.Looped) return b.Playing;
  // A one-shot buffer plays for its wave's length on the scripted clock.
  uint64_t lengthMs = 0;
  if (b.Wave && b.Wave->Rate > 0)
    lengthMs =
        static_cast<uint64_t>(b.Wave->FrameCount()) * 1000u / static_cast<uint64_t>(b.Wave->Rate);
  if (Clock.Now - b.StartMs >= lengthMs) b.Playing = false;
  return b.Playing;
}

void THeadlessAudio::SetBufferFormat(int buffer, int frequency, int pan, int volume) {
  TSoundLogEntry e{FrameCounter ? *FrameCounter : 0, Clock.Now, "format", buffer, ""};
  e.Frequency = frequency;
  e.Pan = pan;
  e.Volume = volume;
  Log.push_back(e);
}

void THeadlessAudio::Trace(const std::string& op, int index, const std::string& path) {
  Log.push_back(TSoundLogEntry{FrameCounter ? *FrameCounter : 0, Clock.Now, op, index, path});
}

int THeadlessMusic::SongLoadFromFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return 0;
  int h = NextHandle++;
  Songs[h] = path;
  return h;
}

void THeadlessMusic::SongFree(int handle) {
  if (Playing == handle) Playing = 0;
  Songs.erase(handle);
}

THeadlessPlatform::THeadlessPlatform() {
  Platform.Display = &Display;
  Platform.Input = &Input;
  Platform.Clock = &Clock;
  Platform.Audio = &Audio;
  Platform.Music = &Music;
  Platform.Shell = &Shell;
  Platform.Http = &Http;
}

}  // namespace zw
