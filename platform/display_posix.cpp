#include "platform/display.h"

#include <cstdlib>

namespace plat {

namespace {
bool set(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}
}  // namespace

bool has_display() { return set("SDL_VIDEODRIVER") || set("DISPLAY") || set("WAYLAND_DISPLAY"); }

void use_offscreen_video() { setenv("SDL_VIDEODRIVER", "offscreen", 1); }

}  // namespace plat
