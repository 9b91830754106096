#include "windows/sub_windows.h"

using namespace UIK;

GPlaceholderWindow::GPlaceholderWindow(const char16_t* title, int width, int height) {
    frame_.SetBounds(0, 0, width, height);
    title_.SetParent(&frame_);
    title_.SetName(u"title_");
    title_.SetText(title);
    title_.SetAlignment(kAlignCenter | kAlignMiddle);
    title_.SetWordWrap(true);
    title_.SetBounds(0, 0, width, 48);
    title_.SetAnchors(kAnchorLeft | kAnchorTop | kAnchorRight);
}
