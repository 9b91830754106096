// The X11 part of the native layer, apart because Xlib's macros (None, Bool,
// Status) clash with ordinary names.
#pragma once

namespace plat::ui::detail {

// Makes a broken display connection end the process through the handler of
// SetDisplayLostHandler instead of Xlib's exit(), and a failed request a
// line on stderr instead of the end of the process.
void WatchX11Connection();

// Where the client area of an SDL window on X11 is, in root coordinates, as
// the X server has it. SDL's own figure can be wrong for a window a manager
// reparented without a frame (it reports the frame's offset twice). False
// when the window is not an X11 one.
bool X11ClientOrigin(void* sdl_window, int* x, int* y);

}  // namespace plat::ui::detail
