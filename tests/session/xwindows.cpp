#include "xwindows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace testx {

namespace {

std::string property_text(Display* d, Window w, const char* name, Atom type) {
    Atom prop = XInternAtom(d, name, False);
    Atom got_type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    std::string r;
    if (XGetWindowProperty(d, w, prop, 0, 1024, False, type, &got_type, &format, &n, &after, &data) == Success &&
        data) {
        if (format == 8) r.assign(reinterpret_cast<char*>(data), n);
        XFree(data);
    }
    return r;
}

std::string title_of(Display* d, Window w) {
    std::string t = property_text(d, w, "_NET_WM_NAME", XInternAtom(d, "UTF8_STRING", False));
    return t.empty() ? property_text(d, w, "WM_NAME", XA_STRING) : t;
}

void collect(Display* d, Window root, Window w, Window top, const std::string& title, std::vector<XPlaced>& out) {
    Window r = 0, parent = 0;
    Window* kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, w, &r, &parent, &kids, &n)) return;
    for (unsigned i = 0; i < n; ++i) {
        const Window k = kids[i];
        XWindowAttributes a{};
        if (!XGetWindowAttributes(d, k, &a) || a.map_state != IsViewable) continue;
        const Window frame = top ? top : k;
        if (title_of(d, k) == title) {
            XPlaced p;
            p.id = k;
            p.title = title;
            Window child = 0;
            XTranslateCoordinates(d, k, root, 0, 0, &p.x, &p.y, &child);
            p.width = a.width;
            p.height = a.height;
            XWindowAttributes fa{};
            XGetWindowAttributes(d, frame, &fa);
            p.frame_x = fa.x;
            p.frame_y = fa.y;
            p.frame_width = fa.width;
            p.frame_height = fa.height;
            out.push_back(p);
        }
        collect(d, root, k, frame, title, out);
    }
    if (kids) XFree(kids);
}

}  // namespace

std::vector<XPlaced> WindowsTitled(const std::string& display, const std::string& title) {
    std::vector<XPlaced> out;
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return out;
    // A window may go while the tree is walked: its errors are ignored.
    auto* old = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const Window root = DefaultRootWindow(d);
    collect(d, root, root, 0, title, out);
    XSync(d, False);
    XSetErrorHandler(old);
    XCloseDisplay(d);
    return out;
}

std::string FocusedTitle(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return {};
    auto* old = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    Window w = 0;
    int revert = 0;
    XGetInputFocus(d, &w, &revert);
    std::string title;
    const Window root = DefaultRootWindow(d);
    while (w && w != PointerRoot && w != root && title.empty()) {
        title = title_of(d, w);
        Window r = 0, parent = 0;
        Window* kids = nullptr;
        unsigned n = 0;
        if (!XQueryTree(d, w, &r, &parent, &kids, &n)) break;
        if (kids) XFree(kids);
        w = parent;
    }
    XSync(d, False);
    XSetErrorHandler(old);
    XCloseDisplay(d);
    return title;
}

bool ClickAt(const std::string& display, int x, int y) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return false;
    int ev = 0, err = 0, major = 0, minor = 0;
    const bool ok = XTestQueryExtension(d, &ev, &err, &major, &minor);
    if (ok) {
        XTestFakeMotionEvent(d, DefaultScreen(d), x, y, CurrentTime);
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
        XSync(d, False);
    }
    XCloseDisplay(d);
    return ok;
}

std::vector<XWin> TopLevelWindows(const std::string& display) {
    std::vector<XWin> out;
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return out;
    Window root = DefaultRootWindow(d), parent = 0;
    Window* kids = nullptr;
    unsigned n = 0;
    if (XQueryTree(d, root, &root, &parent, &kids, &n)) {
        for (unsigned i = 0; i < n; ++i) {
            XWindowAttributes a{};
            if (!XGetWindowAttributes(d, kids[i], &a)) continue;
            XWin w;
            w.id = kids[i];
            w.mapped = a.map_state == IsViewable;
            w.title = property_text(d, kids[i], "_NET_WM_NAME", XInternAtom(d, "UTF8_STRING", False));
            if (w.title.empty()) w.title = property_text(d, kids[i], "WM_NAME", XA_STRING);
            out.push_back(w);
        }
        if (kids) XFree(kids);
    }
    XCloseDisplay(d);
    return out;
}

}  // namespace testx
