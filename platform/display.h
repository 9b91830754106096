// Whether the program can reach a display, and the switch to drawing without
// one (windows then exist only in memory, which is enough to render them).
#pragma once

namespace plat {

// True when a display server is named in the environment, or a video driver
// has been chosen explicitly.
bool has_display();
// Chooses the offscreen video driver; call before the toolkit starts.
void use_offscreen_video();

}  // namespace plat
