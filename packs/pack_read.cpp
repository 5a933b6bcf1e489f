// Reading image and sound packs: the resource header, the property stream and the bitmaps.
//
// A pack file, every number little-endian:
//   resource header  0xFF, the resource kind 10 as 16 bits, a name ending in a zero byte (at most
//                    63 characters), 16 bits of flags and the 32-bit size of what follows.
//   stream           the signature "TPF0", an optional prefix byte (0xF0 and up; its bit 0x02
//                    says a number follows), the root object's class name and object name (each a
//                    length byte and its characters), then its properties until an empty name.
//   property         a name (length byte, characters) and one value.
//   value            a tag byte (tag:: in pack_io.hpp) and its body: sized integers, strings
//                    with an 8- or 32-bit length, byte blocks with a 32-bit length, lists of
//                    values ending in End, sets of names ending in an empty one, collections.
//   collection       items until End; each item an optional integer, then List, then its
//                    properties until End.
// An image pack's root has the collection "List" (one item a picture: Name, pattern and skip
// sizes, transparency, and "Picture.Data") and the byte block "List.ColorTable"; a sound pack's
// has "List" (one item a sound: Name, Looped, MaxPlayingCount, Frequency, Pan, Volume and its
// RIFF wave in "Wave.WAVE"). Unknown properties are read and let go.
//
// A picture ("Picture.Data") is a class name, then that class's data:
//   TDIBitmap        a device-independent bitmap: its header, colour table and pixels.
//   TBitmap          a 32-bit length, then a bitmap file ("BM", sizes, the pixels' offset, then
//                    the same bitmap); length 0 is an empty picture.
// The bitmap header is the old 12-byte one (16-bit sizes, 3-byte colour entries) or the usual
// 40-byte one (32-bit sizes, a storage kind, the colour count, 4-byte colour entries). A
// negative height means the rows run top first. Depths 1, 4 and 8 index the colour table; 16
// and 32 are masked (five bits or a byte a channel unless the storage is BitFields, whose three
// masks follow the header); 24 is blue, green, red. Rows are padded to four bytes, or, for 8-
// and 4-bit pictures, may be run-length coded.
//
// Every read is bounded: a short or damaged pack is refused with a TPackError, never read past.
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
  if (v.Tag == tag::String || v.Tag == tag::LongString || v.Tag == tag::WideString ||
      v.Tag == tag::Utf8String)
    return v.Text;
  throw TPackError(BadValue);
}

// Colours may be stored as numbers or by the names of the standard colours.
uint32_t AsColour(const TValue& v) {
  if (v.Tag == tag::Ident) {
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
  if (r.Left() < 3 || r.U8() != ResourceMarker || r.U16() != ResourceKind)
    throw TPackError(BadStream);
  // The name, up to its zero byte, within the first 79 bytes.
  size_t len = 0;
  while (true) {
    if (len > 63) throw TPackError(BadStream);
    const uint8_t c = r.U8();
    if (c == 0) break;
    ++len;
  }
  r.Skip(6);  // flags and data size
  if (r.Bytes(4) != StreamSignature) throw TPackError(BadStream);
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

// A picture's header fields and the ways its pixels may be stored.
namespace dib {
constexpr uint32_t CoreHeaderSize = 12;  // the old header: 16-bit sizes, 3-byte colours
constexpr uint32_t InfoHeaderSize = 40;  // the usual header
constexpr uint32_t Plain = 0;            // rows of pixels, each padded to four bytes
constexpr uint32_t RunLength8 = 1;       // runs of 8-bit colour numbers
constexpr uint32_t RunLength4 = 2;       // runs of 4-bit colour numbers, two to a byte
constexpr uint32_t BitFields = 3;        // 16- or 32-bit rows with their own colour masks
// A run-length escape (a run of count zero) says what comes next.
constexpr uint8_t EndOfRow = 0;
constexpr uint8_t EndOfPicture = 1;
constexpr uint8_t Jump = 2;  // two bytes: columns and rows to move on
}  // namespace dib

// A decoded picture in 24-bit colour, top row first.
struct TRgbImage {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Rgb;  // 0x00RRGGBB
};

// The largest picture a pack may hold: sixteen times the whole 800 x 600 screen (the tile strip,
// the largest the game draws, is 5 328 x 72). A damaged size past it is refused rather than
// decoded, cut into patterns and packed for seconds.
constexpr int64_t MaxPixels = 8LL * 1024 * 1024;
constexpr int32_t MaxSide = 32768;

// What the picture's header says, checked: a depth and a storage that go together, a size
// within bounds.
struct TDibHeader {
  int32_t Width = 0, Height = 0;  // the height made positive; TopDown keeps which way rows run
  bool TopDown = false;
  bool OldHeader = false;
  uint16_t BitCount = 0;
  uint32_t Compression = dib::Plain;
  uint32_t Colours = 0;           // colour table entries; 0 is the full table for the depth
  uint32_t Masks[3] = {0, 0, 0};  // red, green, blue, for BitFields
};

TDibHeader ReadDibHeader(TReader& r) {
  TDibHeader h;
  const uint32_t headerSize = r.U32();
  if (headerSize == dib::CoreHeaderSize) {
    h.OldHeader = true;
    h.Width = r.U16();
    h.Height = static_cast<int16_t>(r.U16());
    r.U16();  // planes
    h.BitCount = r.U16();
  } else if (headerSize == dib::InfoHeaderSize) {
    h.Width = r.I32();
    h.Height = r.I32();
    r.U16();  // planes
    h.BitCount = r.U16();
    h.Compression = r.U32();
    r.Skip(12);  // the pixel data's size and the resolution
    h.Colours = r.U32();
    r.U32();  // colours that matter most
  } else {
    throw TPackError(BadDib);
  }
  if (h.Compression == dib::BitFields) {
    if (h.BitCount != 16 && h.BitCount != 32) throw TPackError(BadDib);
    for (uint32_t& m : h.Masks) m = r.U32();
  } else if (h.Compression > dib::RunLength4) {
    throw TPackError(BadDib);
  }
  if ((h.Compression == dib::RunLength8 && h.BitCount != 8) ||
      (h.Compression == dib::RunLength4 && h.BitCount != 4))
    throw TPackError(BadDib);
  if (h.BitCount != 1 && h.BitCount != 4 && h.BitCount != 8 && h.BitCount != 16 &&
      h.BitCount != 24 && h.BitCount != 32)
    throw TPackError(BadDib);
  // The most negative height has no positive counterpart: refused like any other bad size.
  if (h.Height == INT32_MIN) throw TPackError(BadDib);
  h.TopDown = h.Height < 0;
  if (h.TopDown) h.Height = -h.Height;
  // Each side is bounded too: a picture no pixels wide must not claim millions of rows that
  // every later step walks one by one.
  if (h.Width < 0 || h.Width > MaxSide || h.Height > MaxSide ||
      static_cast<int64_t>(h.Width) * h.Height > MaxPixels)
    throw TPackError(BadDib);
  return h;
}

// The colour table of a picture of up to 256 colours, 0x00RRGGBB. A deeper picture may still
// declare one (a hint for palettised displays): it is passed over, its pixels start after it.
std::vector<uint32_t> ReadColourTable(TReader& r, const TDibHeader& h) {
  std::vector<uint32_t> palette;
  if (h.BitCount <= 8) {
    uint32_t n = h.Colours ? h.Colours : (1u << h.BitCount);
    if (n > 256) n = 256;
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t b = r.U8(), g = r.U8(), rr = r.U8();
      if (!h.OldHeader) r.U8();
      palette.push_back((static_cast<uint32_t>(rr) << 16) | (g << 8) | b);
    }
  } else if (h.Colours > 0 && !h.OldHeader) {
    r.Skip(static_cast<size_t>(std::min<uint32_t>(h.Colours, 256)) * 4);
  }
  return palette;
}

// The picture being filled in the file's row order (bottom row first unless the header said
// otherwise). A pixel a damaged run puts outside the picture is let go, as is a colour number
// past the table's end, which draws black.
class TDibCanvas {
 public:
  TDibCanvas(const TDibHeader& h, std::vector<uint32_t> palette)
      : Width(h.Width), Height(h.Height), TopDown(h.TopDown), Palette(std::move(palette)) {
    Image.Width = Width;
    Image.Height = Height;
    Image.Rgb.assign(static_cast<size_t>(Width) * Height, 0);
  }
  void Put(int x, int fileRow, uint32_t rgb) {
    if (x < 0 || x >= Width || fileRow < 0 || fileRow >= Height) return;
    const int y = TopDown ? fileRow : Height - 1 - fileRow;
    Image.Rgb[static_cast<size_t>(y) * Width + x] = rgb;
  }
  uint32_t Colour(uint32_t index) const { return index < Palette.size() ? Palette[index] : 0u; }
  TRgbImage Image;

 private:
  int Width, Height;
  bool TopDown;
  std::vector<uint32_t> Palette;
};

// Run-length coded rows: a count and a colour number make a run (two alternating 4-bit numbers
// in RunLength4); a zero count is an escape. The runs stop at the end of the picture, at the
// last row, or where the data runs out.
void DecodeRunLength(TReader& r, const TDibHeader& h, TDibCanvas& c) {
  int x = 0, row = 0;
  const bool four = h.Compression == dib::RunLength4;
  while (r.Left() >= 2 && row < h.Height) {
    const uint8_t count = r.U8(), value = r.U8();
    if (count > 0) {
      for (int i = 0; i < count; ++i) {
        const uint32_t idx = four ? ((i & 1) ? (value & 15) : (value >> 4)) : value;
        c.Put(x++, row, c.Colour(idx));
      }
    } else if (value == dib::EndOfRow) {
      x = 0;
      ++row;
    } else if (value == dib::EndOfPicture) {
      break;
    } else if (value == dib::Jump) {
      x += r.U8();
      row += r.U8();
    } else {
      // An absolute run of `value` colour numbers, padded to a 16-bit boundary.
      const int n = value;
      const size_t bytes = four ? (static_cast<size_t>(n) + 1) / 2 : static_cast<size_t>(n);
      r.Need(bytes);
      for (int i = 0; i < n; ++i) {
        const uint8_t b = r.Here()[four ? i / 2 : i];
        const uint32_t idx = four ? ((i & 1) ? (b & 15) : (b >> 4)) : b;
        c.Put(x++, row, c.Colour(idx));
      }
      r.Skip(bytes + (bytes & 1));
    }
  }
}

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

// A masked pixel's colour, each channel scaled to eight bits.
uint32_t MaskedRgb(uint32_t p, const uint32_t (&masks)[3]) {
  return (MaskValue(p, masks[0]) << 16) | (MaskValue(p, masks[1]) << 8) | MaskValue(p, masks[2]);
}

// Every pixel of plain rows, `pixel(line, x)` giving each one's colour.
template <class PixelFn>
void DecodeEachPixel(const uint8_t* bits, size_t stride, const TDibHeader& h, TDibCanvas& c,
                     PixelFn pixel) {
  for (int row = 0; row < h.Height; ++row) {
    const uint8_t* line = bits + stride * static_cast<size_t>(row);
    for (int x = 0; x < h.Width; ++x) c.Put(x, row, pixel(line, x));
  }
}

// Plain rows, each padded to four bytes, all of them within the data. Without their own masks
// 16-bit pixels are five bits a channel and 32-bit ones a byte a channel.
void DecodePlainRows(TReader& r, const TDibHeader& h, TDibCanvas& c) {
  const size_t stride = ((static_cast<size_t>(h.Width) * h.BitCount + 31) / 32) * 4;
  if (stride * static_cast<size_t>(h.Height) > r.Left()) throw TPackError(BadDib);
  const uint8_t* bits = r.Here();
  const bool ownMasks = h.Compression == dib::BitFields;
  switch (h.BitCount) {
    case 1:
      DecodeEachPixel(bits, stride, h, c, [&](const uint8_t* line, int x) {
        return c.Colour((line[x / 8] >> (7 - x % 8)) & 1);
      });
      break;
    case 4:
      DecodeEachPixel(bits, stride, h, c, [&](const uint8_t* line, int x) {
        return c.Colour((x & 1) ? (line[x / 2] & 15) : (line[x / 2] >> 4));
      });
      break;
    case 8:
      DecodeEachPixel(bits, stride, h, c,
                      [&](const uint8_t* line, int x) { return c.Colour(line[x]); });
      break;
    case 16: {
      const uint32_t fiveBits[3] = {0x7C00, 0x03E0, 0x001F};
      const uint32_t(&masks)[3] = ownMasks ? h.Masks : fiveBits;
      DecodeEachPixel(bits, stride, h, c, [&](const uint8_t* line, int x) {
        return MaskedRgb(line[2 * x] | (line[2 * x + 1] << 8), masks);
      });
      break;
    }
    case 24:
      DecodeEachPixel(bits, stride, h, c, [](const uint8_t* line, int x) {
        return (static_cast<uint32_t>(line[3 * x + 2]) << 16) | (line[3 * x + 1] << 8) |
               line[3 * x];
      });
      break;
    case 32: {
      const uint32_t eightBits[3] = {0xFF0000, 0x00FF00, 0x0000FF};
      const uint32_t(&masks)[3] = ownMasks ? h.Masks : eightBits;
      DecodeEachPixel(bits, stride, h, c, [&](const uint8_t* line, int x) {
        const uint32_t p = static_cast<uint32_t>(line[4 * x]) | (line[4 * x + 1] << 8) |
                           (line[4 * x + 2] << 16) | (static_cast<uint32_t>(line[4 * x + 3]) << 24);
        return MaskedRgb(p, masks);
      });
      break;
    }
    default:
      break;  // the header allows no other depth
  }
}

// Decodes a picture whose header starts at `data`; its pixels start at `bitsOffset` when that is
// given (not negative), else right after the colour table.
TRgbImage DecodeDib(const uint8_t* data, size_t size, long bitsOffset) {
  TReader r(data, size, BadDib);
  const TDibHeader h = ReadDibHeader(r);
  std::vector<uint32_t> palette = ReadColourTable(r, h);
  if (bitsOffset >= 0) {
    if (static_cast<size_t>(bitsOffset) > size) throw TPackError(BadDib);
    r.Pos = static_cast<size_t>(bitsOffset);
  }
  TDibCanvas canvas(h, std::move(palette));
  if (h.Compression == dib::RunLength8 || h.Compression == dib::RunLength4)
    DecodeRunLength(r, h, canvas);
  else
    DecodePlainRows(r, h, canvas);
  return std::move(canvas.Image);
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
              if (v.Tag != tag::Binary) throw TPackError(BadValue);
              DecodePictureData(v.Text, pictures.back());
            }
          });
    } else if (prop == "List.ColorTable") {
      const TValue v = ReadValue(r);
      if (v.Tag != tag::Binary) throw TPackError(BadValue);
      std::memcpy(list.ColorTable, v.Text.data(),
                  std::min<size_t>(v.Text.size(), sizeof list.ColorTable));
    } else {
      ReadValue(r);
    }
  }
  for (size_t i = 0; i < items.size(); ++i) {
    FinishPicture(*items[i], pictures[i]);
    if (!items[i]->PatternGridFits()) throw TPackError(BadValue);
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
              if (v.Tag != tag::Binary) throw TPackError(BadValue);
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
