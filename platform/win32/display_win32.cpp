#include "platform/display.h"

#include <cstdlib>

namespace plat {

// A Windows session always has its desktop.
bool has_display() { return true; }

void use_offscreen_video() { _putenv_s("SDL_VIDEODRIVER", "offscreen"); }

}  // namespace plat
