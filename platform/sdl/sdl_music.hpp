// Tracker music over libxmp, mixed by the SDL audio stream.
#pragma once

#include "platform/sdl/sdl_audio.hpp"
