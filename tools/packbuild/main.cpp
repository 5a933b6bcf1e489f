// packbuild ASSETS DATA: makes Res1..3.gpk, Sounds.spk, Menu.xm and Race.xm under DATA;
// packbuild --icon DIR: the desktop icon as PNG and SVG.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/packbuild/packbuild.hpp"

namespace {

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  // Write beside the target and rename, so an interrupted build never leaves half a pack.
  auto tmp = path;
  tmp += ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  std::filesystem::rename(tmp, path);
  return true;
}

}  // namespace

// Small packs of every kind the writer makes, to seed the pack readers' fuzzer.
int WriteSeeds(const std::filesystem::path& dir) {
  using namespace zw;
  std::vector<TPackPicture> pictures;
  for (int k = 0; k < 3; ++k) {
    TPackPicture p;
    p.Name = "Seed " + std::to_string(k);
    p.Width = 6 + k * 5;
    p.Height = 4 + k;
    for (int i = 0; i < p.Width * p.Height; ++i)
      p.Rgb.push_back(static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF);
    p.PatternWidth = k == 1 ? 3 : 0;
    p.SkipWidth = k == 1 ? 1 : 0;
    p.Transparent = k != 2;
    p.TransparentColor = 0xFF00FF;
    pictures.push_back(p);
  }
  TPackSound s;
  s.Name = "Seed";
  s.Wave.Pcm = {0, 1, 2, 3, 4, 5, 6, 7};
  return WriteFile(dir / "images.gpk", WriteImagePack(pictures)) &&
                 WriteFile(dir / "sounds.spk", WriteSoundPack({s}))
             ? 0
             : 1;
}

int WriteIcon(const std::filesystem::path& dir);

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--seeds") return WriteSeeds(argv[2]);
  if (argc == 3 && std::string(argv[1]) == "--icon") return WriteIcon(argv[2]);
  if (argc != 3) {
    std::fprintf(stderr, "usage: packbuild ASSETS_DIR DATA_DIR\n");
    return 2;
  }
  const std::string assets = argv[1];
  const std::filesystem::path data = argv[2];
  using namespace zw;
  using namespace zw::packbuild;
  try {
    bool ok = WriteFile(data / "Res" / "Res1.gpk", WriteImagePack(BuildMenuPictures(assets))) &&
              WriteFile(data / "Res" / "Res2.gpk", WriteImagePack(BuildRacePictures(assets))) &&
              WriteFile(data / "Res" / "Res3.gpk", WriteImagePack(BuildRadarPictures(assets))) &&
              WriteFile(data / "Res" / "Sounds.spk", WriteSoundPack(BuildSounds(assets))) &&
              WriteFile(data / "Music" / "Menu.xm", BuildTune(assets, "Menu")) &&
              WriteFile(data / "Music" / "Race.xm", BuildTune(assets, "Race"));
    if (!ok) {
      std::fprintf(stderr, "packbuild: cannot write under %s\n", data.c_str());
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "packbuild: %s\n", e.what());
    return 1;
  }
  return 0;
}
