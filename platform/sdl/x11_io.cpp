// native_ui.h first: Xlib's macros would spoil its names.
#include "platform/native_ui.h"
#include "platform/sdl/x11_io.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace plat::ui {

namespace {

std::atomic<int (*)()> g_display_lost{nullptr};

// Xlib calls this when the display connection breaks. Returning would make
// Xlib call exit(), which runs static destructors over native objects that
// can no longer be released, so the process ends here.
int on_io_error(Display*) {
    static std::atomic<bool> once{false};
    int status = 1;
    if (!once.exchange(true)) {
        std::fputs("display connection lost\n", stderr);
        if (auto fn = g_display_lost.load()) status = fn();
    }
    std::fflush(nullptr);
    _exit(status);
}

// A request that failed (a window destroyed while another connection of the
// native layer still addressed it, for one) is reported and passed over.
// Xlib's default handler ends the process instead, losing the settings.
int on_error(Display* d, XErrorEvent* e) {
    static std::atomic<int> reported{0};
    if (reported.fetch_add(1) < 20) {
        char text[160] = {};
        XGetErrorText(d, e->error_code, text, sizeof text - 1);
        std::fprintf(stderr, "X error passed over: %s (request %d.%d, resource 0x%lx)\n", text,
                     int(e->request_code), int(e->minor_code), e->resourceid);
    }
    return 0;
}

}  // namespace

void SetDisplayLostHandler(int (*fn)()) { g_display_lost.store(fn); }

namespace detail {

void WatchX11Connection() {
    XSetIOErrorHandler(&on_io_error);
    XSetErrorHandler(&on_error);
}

bool X11ClientOrigin(void* sdl_window, int* x, int* y) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!sdl_window || !SDL_GetWindowWMInfo(static_cast<SDL_Window*>(sdl_window), &info) ||
        info.subsystem != SDL_SYSWM_X11)
        return false;
    ::Window child = 0;
    return XTranslateCoordinates(info.info.x11.display, info.info.x11.window,
                                 DefaultRootWindow(info.info.x11.display), 0, 0, x, y, &child) != 0;
}

}  // namespace detail

}  // namespace plat::ui
