// The race part of the state dump and the race commands of the scripted runner.
#pragma once

#include "tools/autoplay/json.hpp"

namespace zw {

class TFormState;

void AppendRaceState(TJson& j, TFormState& f);

}  // namespace zw

namespace zw {
// The opponents and bonuses in the state dump.
void AppendTrafficState(TJson& j, TFormState& f);
}  // namespace zw
