// Reading and writing image packs and sound packs.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "packs/picture.hpp"
#include "packs/sound.hpp"

namespace zw {

// Every pack starts with a resource header (this marker and kind) and the stream's signature.
inline constexpr uint8_t ResourceMarker = 0xFF;
inline constexpr uint16_t ResourceKind = 10;
inline constexpr char StreamSignature[] = "TPF0";

// The tag byte in front of each value of a pack's property stream.
namespace tag {
inline constexpr uint8_t End = 0;  // the end of a list or collection
inline constexpr uint8_t List = 1;
inline constexpr uint8_t Int8 = 2;
inline constexpr uint8_t Int16 = 3;
inline constexpr uint8_t Int32 = 4;
inline constexpr uint8_t Extended = 5;  // a 10-byte float
inline constexpr uint8_t String = 6;    // up to 255 bytes
inline constexpr uint8_t Ident = 7;
inline constexpr uint8_t False = 8;
inline constexpr uint8_t True = 9;
inline constexpr uint8_t Binary = 10;  // a byte block
inline constexpr uint8_t Set = 11;
inline constexpr uint8_t LongString = 12;
inline constexpr uint8_t Nil = 13;
inline constexpr uint8_t Collection = 14;
inline constexpr uint8_t Single = 15;
inline constexpr uint8_t Currency = 16;
inline constexpr uint8_t Date = 17;
inline constexpr uint8_t WideString = 18;
inline constexpr uint8_t Int64 = 19;
inline constexpr uint8_t Utf8String = 20;
}  // namespace tag

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
