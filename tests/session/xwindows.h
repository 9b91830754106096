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

}  // namespace testx
