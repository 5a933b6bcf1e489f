// Reading and writing image packs and sound packs.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "packs/picture.hpp"
#include "packs/sound.hpp"

namespace zw {

// A pack that cannot be read: the message is the reason ("Invalid stream format",
// "DIB is invalid", or the file-open error naming the path).
class TPackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Loading clears the list first. Both throw TPackError on any failure.
void LoadImagePack(const std::string& path, TImageList& list);
void LoadSoundPack(const std::string& path, TSoundList& list);
void ReadImagePack(const std::vector<uint8_t>& bytes, TImageList& list);
void ReadSoundPack(const std::vector<uint8_t>& bytes, TSoundList& list);

// A picture as the content build hands it to the writer.
struct TPackPicture {
  std::string Name;
  int Width = 0, Height = 0;
  std::vector<uint32_t> Rgb;  // Width x Height pixels, 0x00RRGGBB, top row first
  int PatternWidth = 0, PatternHeight = 0, SkipWidth = 0, SkipHeight = 0;
  bool Transparent = true;
  uint32_t TransparentColor = 0;  // 0x00BBGGRR, as the pack stores it
};

struct TPackSound {
  std::string Name;
  bool Looped = false;
  int32_t MaxPlayingCount = 0;
  int32_t Frequency = 0, Pan = 0, Volume = 0;  // as TSoundItem holds them
  TWaveData Wave;
};

std::vector<uint8_t> WriteImagePack(const std::vector<TPackPicture>& items);
std::vector<uint8_t> WriteSoundPack(const std::vector<TPackSound>& items);
// A whole RIFF WAVE file for a wave.
std::vector<uint8_t> MakeRiffWave(const TWaveData& wave);
// Parses a RIFF WAVE file (PCM 8 or 16 bit, mono or stereo); throws TPackError.
TWaveData ParseRiffWave(const std::vector<uint8_t>& riff);

}  // namespace zw
