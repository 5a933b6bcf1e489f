// What the sub-screens draw from the form's state alone.
#pragma once

#include "shell/form_state.hpp"

namespace zw {

// The bike selection's four bars (power, handling, acceleration, braking) of the chosen bike,
// one square a point.
void DrawBikeStats(TFormState& form);

}  // namespace zw
