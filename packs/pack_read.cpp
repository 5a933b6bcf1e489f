// Reading image and sound packs: the resource header, the property stream and the bitmaps.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>

#include "packs/pack_io.hpp"

namespace zw {

namespace {

const char* const BadStream = "Invalid stream format";
const char* const BadDib = "DIB is invalid";
const char* const BadValue = "Invalid property value";

// A byte reader that never reads past its end.
class TReader {
 public:
  TReader(const uint8_t* data, size_t size, const char* error) : P(data), N(size), Error(error) {}
  size_t Pos = 0;
  size_t Left() const { return N - Pos; }
  void Need(size_t n) const {
    if (n > Left()) throw TPackError(Error);
  }
  uint8_t U8() {
    Need(1);
    return P[Pos++];
  }
  uint8_t Peek() const {
    Need(1);
    return P[Pos];
  }
  uint16_t U16() {
    Need(2);
    uint16_t v = static_cast<uint16_t>(P[Pos] | (P[Pos + 1] << 8));
    Pos += 2;
    return v;
  }
  uint32_t U32() {
    Need(4);
    uint32_t v = static_cast<uint32_t>(P[Pos]) | (static_cast<uint32_t>(P[Pos + 1]) << 8) |
                 (static_cast<uint32_t>(P[Pos + 2]) << 16) |
                 (static_cast<uint32_t>(P[Pos + 3]) << 24);
    Pos += 4;
    return v;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  void Skip(size_t n) {
    Need(n);
    Pos += n;
  }
  std::string Bytes(size_t n) {
    Need(n);
    std::string s(reinterpret_cast<const char*>(P + Pos), n);
    Pos += n;
    return s;
  }
  std::string ShortString() { return Bytes(U8()); }
  const uint8_t* Here() const { return P + Pos; }

 private:
  const uint8_t* P;
  size_t N;
  const char* Error;
};

// One value of the property stream, read whole.
struct TValue {
  uint8_t Tag = 0;
  int64_t Int = 0;
  std::string Text;  // strings, identifiers and byte blocks
};

// Lists and collections may nest, and the reader follows them by recursion. A real pack nests
// one level deep; a damaged one could nest deep enough to run the reader out of stack, so
// anything past this depth is refused as a malformed stream.
constexpr int MaxNesting = 256;

void SkipValueBody(TReader& r, uint8_t tag, int depth);
void ReadCollection(TReader& r, const std::function<void()>& begin,
                    const std::function<void(const std::string&, const TValue&)>& prop,
                    int depth = 0);

TValue ReadValue(TReader& r, int depth = 0) {
  if (depth > MaxNesting) throw TPackError(BadStream);
  TValue v;
  v.Tag = r.U8();
  switch (v.Tag) {
    case tag::Int8:
      v.Int = static_cast<int8_t>(r.U8());
      break;
    case tag::Int16:
      v.Int = static_cast<int16_t>(r.U16());
      break;
    case tag::Int32:
      v.Int = r.I32();
      break;
    case tag::String:
    case tag::Ident:
      v.Text = r.ShortString();
      break;
    case tag::Binary:
    case tag::LongString:
    case tag::Utf8String:
      v.Text = r.Bytes(r.U32());
      break;
    case tag::WideString: {
      // Wide text: keep the low byte of each character.
      const uint32_t count = r.U32();
      if (count > r.Left() / 2) throw TPackError(BadStream);
      for (uint32_t i = 0; i < count; ++i) v.Text.push_back(static_cast<char>(r.U16() & 0xFF));
      break;
    }
    case tag::Int64: {
      const uint32_t lo = r.U32(), hi = r.U32();
      v.Int = static_cast<int64_t>((static_cast<uint64_t>(hi) << 32) | lo);
      break;
    }
    default:
      SkipValueBody(r, v.Tag, depth);
      break;
  }
  return v;
}

void SkipValueBody(TReader& r, uint8_t tag, int depth) {
  switch (tag) {
    case tag::End:
    case tag::False:
    case tag::True:
    case tag::Nil:
      return;
    case tag::List:  // a list of values
      while (r.Peek() != tag::End) ReadValue(r, depth + 1);
      r.U8();
      return;
    case tag::Int8:
      r.Skip(1);
      return;
    case tag::Int16:
      r.Skip(2);
      return;
    case tag::Int32:
      r.Skip(4);
      return;
    case tag::Extended:
      r.Skip(10);
      return;
    case tag::String:
    case tag::Ident:
      r.Skip(r.U8());
      return;
    case tag::Binary:
    case tag::LongString:
    case tag::Utf8String:
      r.Skip(r.U32());
      return;
    case tag::Set:  // a set: names until an empty one
      while (true) {
        const uint8_t n = r.U8();
        if (n == 0) return;
        r.Skip(n);
      }
    case tag::Collection:  // a collection: walked like one that is read, its items let go
      ReadCollection(
          r, [] {}, [](const std::string&, const TValue&) {}, depth + 1);
      return;
    case tag::Single:
      r.Skip(4);
      return;
    case tag::Currency:
    case tag::Date:
    case tag::Int64:
      r.Skip(8);
      return;
    case tag::WideString: {
      const uint32_t count = r.U32();
      if (count > r.Left() / 2) throw TPackError(BadStream);
      r.Skip(static_cast<size_t>(count) * 2);
      return;
    }
    default:
      throw TPackError(BadStream);
  }
}

int64_t AsInt(const TValue& v) {
  if (v.Tag < tag::Int8 || v.Tag > tag::Int32) throw TPackError(BadValue);
  return v.Int;
}

bool AsBool(const TValue& v) {
  if (v.Tag == tag::False) return false;
  if (v.Tag == tag::True) return true;
  throw TPackError(BadValue);
}

std::string AsString(const TValue& v) {
  if (v.Tag == 6 || v.Tag == 12 || v.Tag == 18 || v.Tag == 20) return v.Text;
  throw TPackError(BadValue);
}

// Colours may be stored as numbers or by the names of the standard colours.
uint32_t AsColour(const TValue& v) {
  if (v.Tag == 7) {
    static const std::map<std::string, uint32_t> named = {
        {"clBlack", 0x000000}, {"clMaroon", 0x000080},  {"clGreen", 0x008000},
        {"clOlive", 0x008080}, {"clNavy", 0x800000},    {"clPurple", 0x800080},
        {"clTeal", 0x808000},  {"clGray", 0x808080},    {"clSilver", 0xC0C0C0},
        {"clRed", 0x0000FF},   {"clLime", 0x00FF00},    {"clYellow", 0x00FFFF},
        {"clBlue", 0xFF0000},  {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
        {"clWhite", 0xFFFFFF}};
    auto it = named.find(v.Text);
    if (it == named.end()) throw TPackError(BadValue);
    return it->second;
  }
  return static_cast<uint32_t>(AsInt(v));
}

// The resource header and the stream signature; leaves the reader at the root object.
void ReadHeader(TReader& r) {
  if (r.Left() < 3 || r.U8() != 0xFF || r.U16() != 10) throw TPackError(BadStream);
  // The name, up to its zero byte, within the first 79 bytes.
  size_t len = 0;
  while (true) {
    if (len > 63) throw TPackError(BadStream);
    const uint8_t c = r.U8();
    if (c == 0) break;
    ++len;
  }
  r.Skip(6);  // flags and data size
  if (r.Bytes(4) != "TPF0") throw TPackError(BadStream);
  const uint8_t prefix = r.Peek();
  if (prefix >= 0xF0) {
    r.U8();
    if (prefix & 0x02) AsInt(ReadValue(r));
  }
  r.ShortString();  // class name
  r.ShortString();  // object name
}

// Walks a collection, calling `begin` at each item and handing its properties to `prop`; its
// values are read at nesting `depth`.
void ReadCollection(TReader& r, const std::function<void()>& begin,
                    const std::function<void(const std::string&, const TValue&)>& prop, int depth) {
  while (r.Peek() != tag::End) {
    const uint8_t t = r.Peek();
    if (t >= tag::Int8 && t <= tag::Int32) ReadValue(r, depth);
    if (r.U8() != tag::List) throw TPackError(BadStream);
    begin();
    while (r.Peek() != tag::End) {
      const std::string name = r.ShortString();
      prop(name, ReadValue(r, depth));
    }
    r.U8();
  }
  r.U8();
}

// --- Bitmaps ---

// A decoded picture in 24-bit colour, top row first.
struct TRgbImage {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Rgb;  // 0x00RRGGBB
};

constexpr int64_t MaxPixels = 64LL * 1024 * 1024;

int MaskShift(uint32_t mask) {
  int s = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++s;
  }
  return s;
}

uint32_t MaskValue(uint32_t pixel, uint32_t mask) {
  if (!mask) return 0;
  const int shift = MaskShift(mask);
  const uint32_t m = mask >> shift;
  const uint32_t v = (pixel & mask) >> shift;
  // In 64 bits: a mask may be up to 32 bits wide, and v * 255 would wrap.
  return m ? static_cast<uint32_t>((uint64_t{v} * 255 + m / 2) / m) : 0;
}

// Decodes a DIB whose header starts at the reader; `bits` (if given) is where the pixel data
// starts, else right after the colour table.
TRgbImage DecodeDib(const uint8_t* data, size_t size, long bitsOffset) {
  TReader r(data, size, BadDib);
  const uint32_t headerSize = r.U32();
  int32_t width = 0, height = 0;
  uint16_t bitCount = 0;
  uint32_t compression = 0, colours = 0;
  bool oldHeader = false;
  if (headerSize == 12) {
    oldHeader = true;
    width = r.U16();
    height = static_cast<int16_t>(r.U16());
    r.U16();
    bitCount = r.U16();
  } else if (headerSize == 40) {
    width = r.I32();
    height = r.I32();
    r.U16();
    bitCount = r.U16();
    compression = r.U32();
    r.Skip(12);
    colours = r.U32();
    r.U32();
  } else {
    throw TPackError(BadDib);
  }
  uint32_t masks[3] = {0, 0, 0};
  if (compression == 3) {
    if (bitCount != 16 && bitCount != 32) throw TPackError(BadDib);
    for (uint32_t& m : masks) m = r.U32();
  } else if (compression > 2) {
    throw TPackError(BadDib);
  }
  if ((compression == 1 && bitCount != 8) || (compression == 2 && bitCount != 4))
    throw TPackError(BadDib);
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    throw TPackError(BadDib);
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width < 0 || height < 0 || static_cast<int64_t>(width) * height > MaxPixels)
    throw TPackError(BadDib);
  // The colour table.
  std::vector<uint32_t> palette;
  if (bitCount <= 8) {
    uint32_t n = colours ? colours : (1u << bitCount);
    if (n > 256) n = 256;
    const int entry = oldHeader ? 3 : 4;
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t b = r.U8(), g = r.U8(), rr = r.U8();
      if (entry == 4) r.U8();
      palette.push_back((static_cast<uint32_t>(rr) << 16) | (g << 8) | b);
    }
  } else if (colours > 0 && !oldHeader) {
    // A deeper picture may still declare a colour table (a hint for palettised displays): its
    // pixels start after it.
    r.Skip(static_cast<size_t>(std::min<uint32_t>(colours, 256)) * 4);
  }
  if (bitsOffset >= 0) {
    if (static_cast<size_t>(bitsOffset) > size) throw TPackError(BadDib);
    r.Pos = static_cast<size_t>(bitsOffset);
  }
  TRgbImage img;
  img.Width = width;
  img.Height = height;
  img.Rgb.assign(static_cast<size_t>(width) * height, 0);
  auto put = [&](int x, int fileRow, uint32_t rgb) {
    if (x < 0 || x >= width || fileRow < 0 || fileRow >= height) return;
    const int y = topDown ? fileRow : height - 1 - fileRow;
    img.Rgb[static_cast<size_t>(y) * width + x] = rgb;
  };
  auto pal = [&](uint32_t i) { return i < palette.size() ? palette[i] : 0u; };
  if (compression == 1 || compression == 2) {
    // Run-length coded rows.
    int x = 0, row = 0;
    const bool four = compression == 2;
    while (r.Left() >= 2 && row < height) {
      const uint8_t count = r.U8(), value = r.U8();
      if (count > 0) {
        for (int i = 0; i < count; ++i) {
          const uint32_t idx = four ? ((i & 1) ? (value & 15) : (value >> 4)) : value;
          put(x++, row, pal(idx));
        }
      } else if (value == 0) {
        x = 0;
        ++row;
      } else if (value == 1) {
        break;
      } else if (value == 2) {
        x += r.U8();
        row += r.U8();
      } else {
        // An absolute run, padded to a 16-bit boundary.
        const int n = value;
        const size_t bytes = four ? (static_cast<size_t>(n) + 1) / 2 : static_cast<size_t>(n);
        r.Need(bytes);
        for (int i = 0; i < n; ++i) {
          const uint8_t b = r.Here()[four ? i / 2 : i];
          const uint32_t idx = four ? ((i & 1) ? (b & 15) : (b >> 4)) : b;
          put(x++, row, pal(idx));
        }
        r.Skip(bytes + (bytes & 1));
      }
    }
    return img;
  }
  const size_t stride = ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
  if (stride * static_cast<size_t>(height) > r.Left()) throw TPackError(BadDib);
  if (compression == 0 && bitCount == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  }
  if (compression == 0 && bitCount == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0x00FF00;
    masks[2] = 0x0000FF;
  }
  for (int row = 0; row < height; ++row) {
    const uint8_t* line = r.Here() + stride * static_cast<size_t>(row);
    for (int x = 0; x < width; ++x) {
      uint32_t rgb = 0;
      switch (bitCount) {
        case 1:
          rgb = pal((line[x / 8] >> (7 - x % 8)) & 1);
          break;
        case 4:
          rgb = pal((x & 1) ? (line[x / 2] & 15) : (line[x / 2] >> 4));
          break;
        case 8:
          rgb = pal(line[x]);
          break;
        case 16: {
          const uint32_t p = line[2 * x] | (line[2 * x + 1] << 8);
          rgb = (MaskValue(p, masks[0]) << 16) | (MaskValue(p, masks[1]) << 8) |
                MaskValue(p, masks[2]);
          break;
        }
        case 24:
          rgb =
              (static_cast<uint32_t>(line[3 * x + 2]) << 16) | (line[3 * x + 1] << 8) | line[3 * x];
          break;
        case 32: {
          const uint32_t p = static_cast<uint32_t>(line[4 * x]) | (line[4 * x + 1] << 8) |
                             (line[4 * x + 2] << 16) |
                             (static_cast<uint32_t>(line[4 * x + 3]) << 24);
          rgb = (MaskValue(p, masks[0]) << 16) | (MaskValue(p, masks[1]) << 8) |
                MaskValue(p, masks[2]);
          break;
        }
        default:
          break;
      }
      put(x, row, rgb);
    }
  }
  return img;
}

// The picture property: a class name, then that class's data.
bool DecodePictureData(const std::string& block, TRgbImage& out) {
  TReader r(reinterpret_cast<const uint8_t*>(block.data()), block.size(), BadStream);
  const std::string cls = r.ShortString();
  if (cls == "TDIBitmap") {
    out = DecodeDib(r.Here(), r.Left(), -1);
    return true;
  }
  if (cls == "TBitmap") {
    const uint32_t len = r.U32();
    if (len == 0) {
      out = TRgbImage{};
      return true;
    }
    r.Need(len);
    const uint8_t* file = r.Here();
    TReader f(file, len, BadDib);
    if (f.Bytes(2) != "BM") throw TPackError(BadDib);
    f.Skip(8);
    const uint32_t offBits = f.U32();
    if (offBits < 14 || offBits > len) throw TPackError(BadDib);
    out = DecodeDib(file + 14, len - 14, static_cast<long>(offBits) - 14);
    return true;
  }
  return false;  // an unregistered picture class leaves the item without a picture
}

void FinishPicture(TPictureItem& item, const TRgbImage& img) {
  item.PictureWidth = img.Width;
  item.PictureHeight = img.Height;
  item.Pixels.resize(img.Rgb.size());
  item.Keyed.resize(img.Rgb.size());
  const uint32_t c = item.TransparentColor;
  // The key is compared in the picture's own colours, before the 16-bit reduction.
  const uint32_t keyRgb = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
  for (size_t i = 0; i < img.Rgb.size(); ++i) {
    const uint32_t p = img.Rgb[i];
    item.Pixels[i] = Rgb565(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                            static_cast<uint8_t>(p));
    item.Keyed[i] = p == keyRgb ? 1 : 0;
  }
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw TPackError(path + ": " + std::strerror(errno ? errno : ENOENT));
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (in.bad()) throw TPackError(path + ": " + std::strerror(errno ? errno : EIO));
  return bytes;
}

}  // namespace

void ReadImagePack(const std::vector<uint8_t>& bytes, TImageList& list) {
  list.Items.clear();
  TReader r(bytes.data(), bytes.size(), BadStream);
  ReadHeader(r);
  std::vector<std::unique_ptr<TPictureItem>> items;
  std::vector<TRgbImage> pictures;
  while (r.Peek() != 0) {
    const std::string prop = r.ShortString();
    if (prop == "List") {
      if (r.U8() != tag::Collection) throw TPackError(BadValue);
      ReadCollection(
          r,
          [&] {
            items.push_back(std::make_unique<TPictureItem>());
            pictures.emplace_back();
          },
          [&](const std::string& name, const TValue& v) {
            TPictureItem& it = *items.back();
            if (name == "Name")
              it.Name = AsString(v);
            else if (name == "PatternHeight")
              it.StoredPatternHeight = static_cast<int>(AsInt(v));
            else if (name == "PatternWidth")
              it.StoredPatternWidth = static_cast<int>(AsInt(v));
            else if (name == "SkipHeight")
              it.SkipHeight = static_cast<int>(AsInt(v));
            else if (name == "SkipWidth")
              it.SkipWidth = static_cast<int>(AsInt(v));
            else if (name == "SystemMemory")
              it.SystemMemory = AsBool(v);
            else if (name == "Transparent")
              it.Transparent = AsBool(v);
            else if (name == "TransparentColor")
              it.TransparentColor = AsColour(v);
            else if (name == "Picture.Data") {
              if (v.Tag != 10) throw TPackError(BadValue);
              DecodePictureData(v.Text, pictures.back());
            }
          });
    } else if (prop == "List.ColorTable") {
      const TValue v = ReadValue(r);
      if (v.Tag != 10) throw TPackError(BadValue);
      std::memcpy(list.ColorTable, v.Text.data(),
                  std::min<size_t>(v.Text.size(), sizeof list.ColorTable));
    } else {
      ReadValue(r);
    }
  }
  for (size_t i = 0; i < items.size(); ++i) {
    FinishPicture(*items[i], pictures[i]);
    items[i]->BuildPatterns();
  }
  list.Items = std::move(items);
}

void ReadSoundPack(const std::vector<uint8_t>& bytes, TSoundList& list) {
  list.Items.clear();
  TReader r(bytes.data(), bytes.size(), BadStream);
  ReadHeader(r);
  std::vector<std::unique_ptr<TSoundItem>> items;
  while (r.Peek() != 0) {
    const std::string prop = r.ShortString();
    if (prop == "List") {
      if (r.U8() != tag::Collection) throw TPackError(BadValue);
      ReadCollection(
          r, [&] { items.push_back(std::make_unique<TSoundItem>()); },
          [&](const std::string& name, const TValue& v) {
            TSoundItem& it = *items.back();
            if (name == "Name")
              it.Name = AsString(v);
            else if (name == "Looped")
              it.Looped = AsBool(v);
            else if (name == "MaxPlayingCount")
              it.MaxPlayingCount = std::max<int32_t>(0, static_cast<int32_t>(AsInt(v)));
            else if (name == "Frequency")
              it.Frequency = static_cast<int32_t>(AsInt(v));
            else if (name == "Pan")
              it.Pan = static_cast<int32_t>(AsInt(v));
            else if (name == "Volume")
              it.Volume = static_cast<int32_t>(AsInt(v));
            else if (name == "Wave.WAVE") {
              if (v.Tag != 10) throw TPackError(BadValue);
              it.RiffData.assign(v.Text.begin(), v.Text.end());
              it.Wave = std::make_shared<TWaveData>(ParseRiffWave(it.RiffData));
            }
          });
    } else {
      ReadValue(r);
    }
  }
  list.Items = std::move(items);
}

void LoadImagePack(const std::string& path, TImageList& list) {
  list.Items.clear();
  ReadImagePack(ReadWholeFile(path), list);
}

void LoadSoundPack(const std::string& path, TSoundList& list) {
  list.Items.clear();
  ReadSoundPack(ReadWholeFile(path), list);
}

TWaveData ParseRiffWave(const std::vector<uint8_t>& riff) {
  TReader r(riff.data(), riff.size(), "Invalid wave data");
  if (r.Bytes(4) != "RIFF") throw TPackError("Invalid wave data");
  r.U32();
  if (r.Bytes(4) != "WAVE") throw TPackError("Invalid wave data");
  TWaveData w;
  bool haveFormat = false, haveData = false;
  while (r.Left() >= 8 && !(haveFormat && haveData)) {
    const std::string id = r.Bytes(4);
    const uint32_t len = r.U32();
    const size_t take = std::min<size_t>(len, r.Left());
    if (id == "fmt ") {
      TReader f(r.Here(), take, "Invalid wave data");
      const uint16_t format = f.U16();
      w.Channels = f.U16();
      w.Rate = static_cast<int>(f.U32());
      f.U32();
      f.U16();
      w.Bits = f.U16();
      if (format != 1 || (w.Channels != 1 && w.Channels != 2) || (w.Bits != 8 && w.Bits != 16) ||
          w.Rate <= 0)
        throw TPackError("Unsupported wave format");
      haveFormat = true;
    } else if (id == "data") {
      w.Pcm.assign(r.Here(), r.Here() + take);
      haveData = true;
    }
    r.Skip(take);
    if ((take & 1) && r.Left() > 0) r.Skip(1);
  }
  if (!haveFormat || !haveData) throw TPackError("Invalid wave data");
  const size_t frame = static_cast<size_t>(w.Channels) * (w.Bits / 8);
  w.Pcm.resize(w.Pcm.size() - w.Pcm.size() % frame);
  return w;
}

}  // namespace zw
