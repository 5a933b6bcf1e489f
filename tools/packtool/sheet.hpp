// The contact sheet of an image pack: every item and pattern with its index, for review.
#pragma once

#include <string>

#include "packs/picture.hpp"

namespace zw {

bool WriteContactSheet(const TImageList& list, const std::string& out);

}  // namespace zw
