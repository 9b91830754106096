#include "toolkit/tables.h"

#include <algorithm>

namespace UIK {

// ---- GControlsTableExt ------------------------------------------------------------

GControlsTableExt::GControlsTableExt(GControl* parent, int rows, int columns)
    : GControlsTable(parent), rows_(std::max(rows, 0)), cols_(std::max(columns, 0)), widths_(size_t(cols_), 0) {
    cells_.reserve(size_t(rows_ * cols_));
    for (int i = 0; i < rows_ * cols_; ++i) {
        auto l = std::make_unique<GLabel>(this);
        l->SetAlignment(kAlignCenter | kAlignMiddle);
        l->SetBackColor(((i / std::max(cols_, 1)) % 2) ? kColorMid : kColorLight);
        cells_.push_back(std::move(l));
    }
    Arrange();
}

GControlsTableExt::~GControlsTableExt() = default;

GLabel* GControlsTableExt::Cell(int r, int c) const {
    if (r < 0 || c < 0 || r >= rows_ || c >= cols_) return nullptr;
    return cells_[size_t(r * cols_ + c)].get();
}

void GControlsTableExt::Place(int r, int c, GControl* ctl) {
    GLabel* cell = Cell(r, c);
    if (!cell || !ctl) return;
    ctl->SetParent(cell);
    ctl->SetBounds(0, 0, cell->Width(), cell->Height());
    ctl->SetAnchors(kAnchorAll);
}

void GControlsTableExt::SetRowHeight(int h) {
    row_h_ = std::max(h, 1);
    Arrange();
}

void GControlsTableExt::SetGap(int g) {
    gap_ = std::max(g, 0);
    Arrange();
}

void GControlsTableExt::SetColumnWidth(int c, int w) {
    if (c < 0 || c >= cols_) return;
    widths_[size_t(c)] = std::max(w, 0);
    Arrange();
}

void GControlsTableExt::SetRowColor(int r, GColor col) {
    for (int c = 0; c < cols_; ++c)
        if (GLabel* l = Cell(r, c)) l->SetBackColor(col);
}

void GControlsTableExt::Layout(const GRect&) { Arrange(); }

void GControlsTableExt::Arrange() {
    if (cols_ == 0) return;
    int fixed = 0, shared = 0;
    for (int w : widths_) {
        if (w > 0) fixed += w;
        else ++shared;
    }
    int left = std::max(0, Width() - fixed - gap_ * (cols_ - 1));
    int share = shared ? left / shared : 0;
    for (int r = 0; r < rows_; ++r) {
        int x = 0, shared_seen = 0;
        for (int c = 0; c < cols_; ++c) {
            int w = widths_[size_t(c)];
            if (w == 0) {
                ++shared_seen;
                // The last shared column takes the rounding rest.
                w = shared_seen == shared ? left - share * (shared - 1) : share;
            }
            Cell(r, c)->SetBounds(x, RowTop(r), w, row_h_);
            x += w + gap_;
        }
    }
}

// ---- GScrollBox -------------------------------------------------------------------

GScrollBox::GScrollBox(GControl* parent) : GControl(parent), bar_(this) {
    bar_.Hide();
    bar_.SetSmallStep(kWheelStep);
    bar_.OnPositionChanged.Set([this](GControl*) {
        if (!syncing_) MoveContent(int(bar_.Position()));
    });
}

GScrollBox::~GScrollBox() = default;

int GScrollBox::ContentHeight() const {
    int bottom = 0;
    for (GControl* c : Children())
        if (c != &bar_ && c->IsVisible()) bottom = std::max(bottom, c->Bottom() + offset_);
    return bottom;
}

void GScrollBox::MoveContent(int new_offset) {
    int d = new_offset - offset_;
    if (d == 0) return;
    offset_ = new_offset;
    // Copy: moving a child must not disturb the iteration.
    std::vector<GControl*> kids = Children();
    for (GControl* c : kids)
        if (c != &bar_) c->Move(c->Left(), c->Top() - d);
    syncing_ = true;
    bar_.SetPosition(offset_);
    syncing_ = false;
    OnScroll(this);
}

void GScrollBox::SyncBar(bool may_scroll) {
    // The bar stays the last child, so it is drawn over the content and hit first.
    if (Children().empty() || Children().back() != &bar_) {
        bar_.SetParent(nullptr);
        bar_.SetParent(this);
    }
    int range = std::max(0, ContentHeight() - Height());
    bar_.SetBounds(Width() - kBarWidth, 0, kBarWidth, Height());
    syncing_ = true;
    bar_.SetLargeStep(std::max(Height() - kWheelStep, kWheelStep));
    bar_.SetRange(0, range);
    syncing_ = false;
    bar_.SetVisible(range > 0);
    if (may_scroll && offset_ > range) MoveContent(range);
}

void GScrollBox::SetScrollTop(int top) {
    UpdateScroll();
    int range = int(bar_.Maximum());
    int64_t want = -int64_t(top);
    MoveContent(int(std::clamp<int64_t>(want, 0, range)));
}

void GScrollBox::Paint(GCanvas& c) {
    SyncBar(false);
    GControl::Paint(c);
}

void GScrollBox::HandleMouseWheel(const GMouseEvent& e) {
    if (OnMouseWheel) {
        OnMouseWheel(this, e);
        return;
    }
    if (e.wheel != 0) ScrollBy(-e.wheel * kWheelStep);
}

void GScrollBox::Layout(const GRect& old) {
    GControl::Layout(old);
    UpdateScroll();
}

}  // namespace UIK
