// Looks at the windows of an X display from outside the program under test.
#pragma once

#include <string>
#include <vector>

namespace testx {

struct XWin {
    unsigned long id = 0;
    std::string title;  // _NET_WM_NAME, else WM_NAME
    bool mapped = false;
};

// The mapped top-level windows of the display (the root's children), or an
// empty list when the display cannot be opened.
std::vector<XWin> TopLevelWindows(const std::string& display);

// A program's window as the X server has it: the client window and the
// frame a window manager put round it (the root's child holding it; the
// window itself when it has no frame), in root coordinates.
struct XPlaced {
    unsigned long id = 0;
    std::string title;
    int x = 0, y = 0, width = 0, height = 0;                    // the client
    int frame_x = 0, frame_y = 0, frame_width = 0, frame_height = 0;
    bool framed() const { return frame_width != width || frame_height != height; }
};

// Every viewable window of the display, at any depth, whose title is the
// given one.
std::vector<XPlaced> WindowsTitled(const std::string& display, const std::string& title);

// Title of the window holding the keyboard focus (the nearest titled window
// at or above the focus), or an empty text.
std::string FocusedTitle(const std::string& display);

// A press and release of the left button at a point of the root window, made
// by the X server itself (XTEST), so that a window manager sees it as a user's
// click. False when the display or the extension is missing.
bool ClickAt(const std::string& display, int x, int y);

}  // namespace testx
