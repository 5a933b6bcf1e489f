// Writing image and sound packs that the reader accepts, byte for byte the same every run.
#include "packs/pack_io.hpp"

namespace zw {

namespace {

class TWriter {
 public:
  std::vector<uint8_t> Out;
  void U8(uint8_t v) { Out.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    Out.insert(Out.end(), b, b + n);
  }
  void ShortString(const std::string& s) {
    const size_t n = std::min<size_t>(s.size(), 255);
    U8(static_cast<uint8_t>(n));
    Bytes(s.data(), n);
  }
  void PropInt(const std::string& name, int32_t v) {
    ShortString(name);
    U8(tag::Int32);
    U32(static_cast<uint32_t>(v));
  }
  void PropBool(const std::string& name, bool v) {
    ShortString(name);
    U8(v ? tag::True : tag::False);
  }
  void PropString(const std::string& name, const std::string& v) {
    ShortString(name);
    if (v.size() <= 255) {
      U8(tag::String);
      ShortString(v);
    } else {
      U8(tag::LongString);
      U32(static_cast<uint32_t>(v.size()));
      Bytes(v.data(), v.size());
    }
  }
  void PropBlock(const std::string& name, const std::vector<uint8_t>& block) {
    ShortString(name);
    U8(tag::Binary);
    U32(static_cast<uint32_t>(block.size()));
    Bytes(block.data(), block.size());
  }
};

// The resource header and the root object's start.
void Begin(TWriter& w, const std::string& className) {
  w.U8(ResourceMarker);
  w.U16(ResourceKind);
  const std::string name = "ZAPWHEELY";
  w.Bytes(name.data(), name.size());
  w.U8(0);
  w.U16(0x1030);
  w.U32(0);  // data size, filled in at the end
  w.Bytes(StreamSignature, 4);
  w.ShortString(className);
  w.ShortString("");
}

std::vector<uint8_t> Finish(TWriter& w) {
  w.U8(0);  // end of the root's properties
  w.U8(0);  // no child objects
  const size_t headerEnd = 1 + 2 + 9 + 1 + 2 + 4;
  const uint32_t size = static_cast<uint32_t>(w.Out.size() - headerEnd);
  for (int i = 0; i < 4; ++i) w.Out[headerEnd - 4 + i] = static_cast<uint8_t>(size >> (8 * i));
  return std::move(w.Out);
}

// A 24-bit bottom-up device-independent bitmap with the full header.
std::vector<uint8_t> DibData(const TPackPicture& p) {
  TWriter w;
  w.ShortString("TDIBitmap");
  const size_t stride = ((static_cast<size_t>(p.Width) * 24 + 31) / 32) * 4;
  w.U32(40);
  w.U32(static_cast<uint32_t>(p.Width));
  w.U32(static_cast<uint32_t>(p.Height));
  w.U16(1);
  w.U16(24);
  w.U32(0);
  w.U32(static_cast<uint32_t>(stride * p.Height));
  w.U32(2835);
  w.U32(2835);
  w.U32(0);
  w.U32(0);
  for (int y = p.Height - 1; y >= 0; --y) {
    size_t written = 0;
    for (int x = 0; x < p.Width; ++x) {
      const uint32_t c = p.Rgb[static_cast<size_t>(y) * p.Width + x];
      w.U8(static_cast<uint8_t>(c));
      w.U8(static_cast<uint8_t>(c >> 8));
      w.U8(static_cast<uint8_t>(c >> 16));
      written += 3;
    }
    for (; written < stride; ++written) w.U8(0);
  }
  return std::move(w.Out);
}

}  // namespace

std::vector<uint8_t> WriteImagePack(const std::vector<TPackPicture>& items) {
  TWriter w;
  Begin(w, "TImagePack");
  w.PropBlock("List.ColorTable", std::vector<uint8_t>(1024, 0));
  w.ShortString("List");
  w.U8(tag::Collection);
  for (const TPackPicture& p : items) {
    if (p.Rgb.size() != static_cast<size_t>(p.Width) * p.Height)
      throw TPackError("picture " + p.Name + " has the wrong number of pixels");
    w.U8(tag::List);
    w.PropString("Name", p.Name);
    w.PropInt("PatternHeight", p.PatternHeight);
    w.PropInt("PatternWidth", p.PatternWidth);
    w.PropInt("SkipHeight", p.SkipHeight);
    w.PropInt("SkipWidth", p.SkipWidth);
    w.PropBool("SystemMemory", false);
    w.PropBool("Transparent", p.Transparent);
    w.PropInt("TransparentColor", static_cast<int32_t>(p.TransparentColor));
    w.PropBlock("Picture.Data", DibData(p));
    w.U8(tag::End);
  }
  w.U8(tag::End);
  return Finish(w);
}

std::vector<uint8_t> MakeRiffWave(const TWaveData& wave) {
  TWriter w;
  const uint32_t dataLen = static_cast<uint32_t>(wave.Pcm.size());
  w.Bytes("RIFF", 4);
  w.U32(36 + dataLen + (dataLen & 1));
  w.Bytes("WAVE", 4);
  w.Bytes("fmt ", 4);
  w.U32(16);
  w.U16(1);
  w.U16(static_cast<uint16_t>(wave.Channels));
  w.U32(static_cast<uint32_t>(wave.Rate));
  const uint32_t block = static_cast<uint32_t>(wave.Channels * (wave.Bits / 8));
  w.U32(static_cast<uint32_t>(wave.Rate) * block);
  w.U16(static_cast<uint16_t>(block));
  w.U16(static_cast<uint16_t>(wave.Bits));
  w.Bytes("data", 4);
  w.U32(dataLen);
  w.Bytes(wave.Pcm.data(), wave.Pcm.size());
  if (dataLen & 1) w.U8(0);
  return std::move(w.Out);
}

std::vector<uint8_t> WriteSoundPack(const std::vector<TPackSound>& items) {
  TWriter w;
  Begin(w, "TSoundPack");
  w.ShortString("List");
  w.U8(tag::Collection);
  for (const TPackSound& s : items) {
    w.U8(tag::List);
    w.PropString("Name", s.Name);
    w.PropBool("Looped", s.Looped);
    w.PropInt("MaxPlayingCount", s.MaxPlayingCount);
    w.PropInt("Frequency", s.Frequency);
    w.PropInt("Pan", s.Pan);
    w.PropInt("Volume", s.Volume);
    w.PropBlock("Wave.WAVE", MakeRiffWave(s.Wave));
    w.U8(tag::End);
  }
  w.U8(tag::End);
  return Finish(w);
}

}  // namespace zw
