// Grid containers and the scrolling container.
#pragma once

#include <memory>
#include <vector>

#include "toolkit/controls.h"

namespace UIK {

// A grid container: the layouts place its cells (labels, inputs) at fixed
// positions, rows usually 2 points apart. Draws its background colour, if any.
class GControlsTable : public GFrame {
public:
    explicit GControlsTable(GControl* parent = nullptr) : GFrame(parent) {}
};

// A grid that makes its cells: rows x columns labels (text cells), laid out
// with a row height, column widths and a gap between cells. A column width
// of 0 shares the width left over equally. Any control can be put into a
// cell with Place; it then fills the cell. The table owns the cells it made,
// not the controls placed into them.
class GControlsTableExt : public GControlsTable {
public:
    GControlsTableExt(GControl* parent, int rows, int columns);
    ~GControlsTableExt() override;
    int Rows() const { return rows_; }
    int Columns() const { return cols_; }
    // The text cell, or null outside the grid.
    GLabel* Cell(int row, int column) const;
    void Place(int row, int column, GControl* c);
    void SetRowHeight(int h);
    int RowHeight() const { return row_h_; }
    void SetGap(int g);
    void SetColumnWidth(int column, int width);
    // Background of every cell of a row.
    void SetRowColor(int row, GColor c);
    // Top of a row and the height all rows need.
    int RowTop(int row) const { return row * (row_h_ + gap_); }
    int NeededHeight() const { return rows_ > 0 ? RowTop(rows_) - gap_ : 0; }
    // Resizes the table's height to NeededHeight.
    void FitHeight() { Resize(Width(), NeededHeight()); }
    void Layout(const GRect& old) override;
    void Arrange();

private:
    int rows_, cols_;
    int row_h_ = 40, gap_ = 2;
    std::vector<int> widths_;
    std::vector<std::unique_ptr<GLabel>> cells_;
};

// A scrolling container: its children are placed in content coordinates and
// moved as the content scrolls; a vertical scroll bar appears at the right
// edge when the children reach below the bottom. The wheel scrolls it.
class GScrollBox : public GControl {
public:
    explicit GScrollBox(GControl* parent = nullptr);
    ~GScrollBox() override;
    // Offset of the content's top against the box: 0 at the start, negative
    // when scrolled down. Values outside the range are limited to it, so a
    // large negative value scrolls to the end.
    int ScrollTop() const { return -offset_; }
    void SetScrollTop(int top);
    void ScrollBy(int dy) { SetScrollTop(ScrollTop() - dy); }
    void ScrollToEnd() { SetScrollTop(-2000000000); }
    // Height of the content (the lowest child's bottom, unscrolled).
    int ContentHeight() const;
    // Width left for the content beside the scroll bar.
    int ClientWidth() const { return Width() - (bar_.IsVisible() ? kBarWidth : 0); }
    GScrollBar& Bar() { return bar_; }
    // Brings the scroll bar up to date with the content (done before painting
    // and scrolling; call it after moving children for an exact bar at once).
    void UpdateScroll() { SyncBar(true); }

    void Paint(GCanvas& c) override;
    void HandleMouseWheel(const GMouseEvent& e) override;
    void Layout(const GRect& old) override;

    Event OnScroll;  // the scroll offset changed
    static constexpr int kBarWidth = 20;
    static constexpr int kWheelStep = 40;

private:
    void MoveContent(int new_offset);
    // Places the bar and sets its range; with may_scroll a content that
    // shrank is scrolled back into range (not while painting).
    void SyncBar(bool may_scroll);
    GScrollBar bar_;
    int offset_ = 0;
    bool syncing_ = false;
};

}  // namespace UIK
