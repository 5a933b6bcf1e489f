// Setting up a level: its parameters, a new track and the background's first view of it.
#pragma once

#include "shell/form_state.hpp"

namespace zw {

// Starts level `level` (1..10): its clock, length and bonuses, and a track drawn from the form's
// random generator.
void SetUpLevel(TFormState& form, int level);
// Copies the visible window of the track into the race background's chips.
void RefreshChips(TFormState& form);

}  // namespace zw
