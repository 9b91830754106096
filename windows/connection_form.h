// The connection settings and device search form. Its own unit supplies the
// real form; until that unit is part of the tree, an empty form with the same
// interface stands in, so the rest of the program builds and runs without it.
#pragma once

#if __has_include("windows/connection_window.h")
#include "windows/connection_window.h"
#else
#include "toolkit/uik.h"

class GConnectionForm : public UIK::GBaseForm {
public:
    GConnectionForm() {
        SetTitle(u"Настройки связи");
        SetBounds(0, 0, 760, 480);
        title_.SetParent(this);
        title_.SetText(u"Настройки связи и поиск устройств");
        title_.SetAlignment(UIK::kAlignCenter | UIK::kAlignMiddle);
        title_.SetBounds(0, 0, 760, 40);
    }
    void Tick() {}

private:
    UIK::GLabel title_;
};
#endif
