// The open dialog's own state: its timer, panel, and the name being typed.
#pragma once

#include <cstdint>
#include <string>

namespace zw {

class TMyImageSprite;
class TMyCursor;

struct TDialogState {
  int32_t DialogTimer = 0;
  TMyImageSprite* DialogPanel = nullptr;
  TMyCursor* TextCursor = nullptr;
  std::string PlayerName;
  int TypedKey = 0;
  bool SendPending = false;
  // Name entry with the gamepad: the character offered at the end of the name (an index into
  // PadNameChars) and the time Up or Down has been held, for its repeat.
  int PadChar = 0;
  int32_t PadRepeatTimer = 0;
  int32_t SavedMenuIndex = 0, SavedMenuFirst = 0, SavedMenuLast = 0;
};

}  // namespace zw
