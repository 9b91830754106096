// The X11 part of the native layer, apart because Xlib's macros (None, Bool,
// Status) clash with ordinary names.
#pragma once

namespace plat::ui::detail {

// Makes a broken display connection end the process through the handler of
// SetDisplayLostHandler instead of Xlib's exit(), and a failed request a
// line on stderr instead of the end of the process.
void WatchX11Connection();

}  // namespace plat::ui::detail
