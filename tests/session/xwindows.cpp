#include "xwindows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

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

}  // namespace

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
