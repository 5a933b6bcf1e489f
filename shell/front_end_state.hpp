// The sub-screens' own state: the bike choice, the help pages, the options' boxes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zw {

class TMyImageSprite;

struct TFrontEndState {
  int32_t PendingBike = 1;
  int32_t BikeFade = 0;
  TMyImageSprite* BikePicture = nullptr;
  TMyImageSprite* NewBikePicture = nullptr;
  TMyImageSprite* CountryBox = nullptr;
  TMyImageSprite* BossKeyBox = nullptr;
  int32_t HelpPage = 1;
  // Page 2's five bonus pictures and page 5's about picture.
  std::array<TMyImageSprite*, 6> HelpPictures{};
  // An address no browser opened for, shown for a while so the player can type it in.
  std::string UnopenedAddress;
  int32_t UnopenedTimer = 0;
};

}  // namespace zw
