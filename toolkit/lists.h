// Lists: the string list, the list of text buttons, the drop-down form of
// the string selector, and the string selector.
#pragma once

#include <memory>
#include <vector>

#include "toolkit/controls.h"
#include "toolkit/form.h"

namespace UIK {

// Item texts and the selected index, shared by the lists and the selector.
// Every change of the selection, from code or from input, raises
// OnSelectionChanged; -1 (or any index outside the items) selects nothing.
class GItemsModel {
public:
    int Count() const { return int(items_.size()); }
    const ustring_t& Item(int i) const;
    const std::vector<ustring_t>& Items() const { return items_; }
    void AddItem(const ustring_t& t);
    void SetItem(int i, const ustring_t& t);
    void SetItems(const std::vector<ustring_t>& items);
    void Clear() { SetItems({}); }
    int SelectedIndex() const { return sel_.Get(); }
    void SetSelectedIndex(int i) { sel_.Set(i); }
    ustring_t SelectedText() const { return Item(SelectedIndex()); }
    GProperty_T<int>& SelectedIndexProperty() { return sel_; }

    GControl::Event OnSelectionChanged;

protected:
    explicit GItemsModel(GControl* self);
    virtual ~GItemsModel() = default;
    // The texts changed (item i, or all when -1).
    virtual void ItemsChanged(int i) = 0;

private:
    GControl* self_;
    std::vector<ustring_t> items_;
    GProperty_T<int> sel_{-1};
};

// Common part of the lists: item texts, the selected index, scrolling with a
// vertical bar at the right when the items do not fit, the wheel, and keys
// (Up and Down move the selection, Home and End, Enter chooses it).
class GListBase : public GControl, public GItemsModel {
public:
    using ItemEvent = GDelegate_T<GControl*, int>;

    explicit GListBase(GControl* parent = nullptr);
    ~GListBase() override;

    // Scrolls so that an item is wholly visible.
    void ScrollToItem(int i);
    int ScrollOffset() const { return top_; }
    // Item under a point of the control, or -1.
    int ItemAt(int x, int y) const;
    GRect ItemRect(int i) const;  // in control coordinates (scrolled)

    bool AcceptsFocus() const override { return true; }
    void HandleMouseDown(const GMouseEvent& e) override;
    void HandleMouseUp(const GMouseEvent& e) override;
    void HandleMouseMove(const GMouseEvent& e) override;
    void HandleMouseLeave() override;
    void HandleMouseWheel(const GMouseEvent& e) override;
    void HandleKeyDown(const GKeyEvent& e) override;
    void Paint(GCanvas& c) override;
    void Layout(const GRect& old) override;

    // An item was clicked (or Enter pressed on the selection): raised after
    // the input message, like a button's click, with the item's index.
    ItemEvent OnItemClick;

protected:
    virtual int ItemHeight(int i) const;
    // Draws item i into r; state: kStateNormal, kStateHot or kStatePressed
    // (pressed also for the selected item).
    virtual void PaintItem(GCanvas& c, int i, const GRect& r, int state) = 0;
    virtual void PaintBackground(GCanvas& c);
    int ItemWidth() const { return Width() - (bar_.IsVisible() ? kBarWidth : 0); }
    void ItemsChanged(int i) override;
    void Recalc();
    void PostItemClick(int i);

    static constexpr int kBarWidth = 20;
    int gap_ = 0;

private:
    std::vector<int> tops_;  // top of each item in content coordinates, plus the end
    GScrollBar bar_;
    int top_ = 0;
    int hot_ = -1, pressed_ = -1;
    bool syncing_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// A list of one-line strings drawn flat, the selected one highlighted.
class GStrList : public GListBase {
public:
    explicit GStrList(GControl* parent = nullptr) : GListBase(parent) {}

protected:
    void PaintItem(GCanvas& c, int i, const GRect& r, int state) override;
};

// A list of text buttons, one per item (captions may hold line breaks); the
// button of the selected item stays pressed. A click on a button selects it
// and raises OnItemClick.
class GTxtBtList : public GListBase {
public:
    explicit GTxtBtList(GControl* parent = nullptr);
    int SkinIndex() const { return skin_; }
    void SetSkin(int s) { skin_ = s; Invalidate(); }

protected:
    int ItemHeight(int i) const override;
    void PaintItem(GCanvas& c, int i, const GRect& r, int state) override;
    void PaintBackground(GCanvas& c) override;

private:
    int skin_ = bmpButtonSkin_ListboxItem;
};

// The drop-down form of a string selector (any list of choices): a border-
// less form with a list of items under (or above) a control. Choosing an
// item closes it and raises OnChoose; Escape, a click outside (the form
// loses the focus) or Close closes it without a choice.
class GContextMenuForm2 : public GForm {
public:
    GContextMenuForm2();
    ~GContextMenuForm2() override;
    void SetItems(const std::vector<ustring_t>& items);
    void SetHeader(const ustring_t& header);  // optional first line (not an item)
    GStrList& List() { return list_; }
    // Shows the form below anchor (above it when there is no room below),
    // at least as wide as anchor, with the item selected highlighted.
    void Popup(GControl* anchor, int selected);
    void HandleFormKey(const GKeyEvent& e) override;
    // Borderless and off the task bar, whatever the options say.
    uint32_t NativeStyle() const override;

    GDelegate_T<GControl*, int> OnChoose;
    static constexpr int kMaxVisibleItems = 12;

private:
    GLabel header_;
    GStrList list_;
};

// A drop-down list of texts: shows the selected item; a click (or Enter,
// Space) drops the list down as a GContextMenuForm2; Up and Down select the
// neighbours. Every change of the selection, from code or from input, raises
// OnSelectionChanged. The caption heads the dropped list.
class GStringSelector : public GButtonBase, public GItemsModel {
public:
    explicit GStringSelector(GControl* parent = nullptr);
    ~GStringSelector() override;

    const ustring_t& Caption() const { return caption_; }
    void SetCaption(const ustring_t& c) { caption_ = c; }
    // The text shown while the selected index lies past the items (a device
    // value no item stands for), so such a value is named instead of shown
    // as nothing; -1 (nothing selected) still shows nothing.
    void SetOffListText(const ustring_t& t) { off_list_ = t; Invalidate(); }
    // The text drawn in the box.
    ustring_t ShownText() const { return SelectedIndex() >= Count() ? off_list_ : SelectedText(); }
    // Drops the list down now; the dropped form while it is shown.
    void DropDown();
    GContextMenuForm2* DroppedMenu() const;

    void HandleMouseUp(const GMouseEvent& e) override;
    void HandleKeyDown(const GKeyEvent& e) override;
    void Paint(GCanvas& c) override;
    bool CaptionLayout(DrawnCaption* out) const override;

protected:
    void ItemsChanged(int i) override;

private:
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    ustring_t caption_;
    ustring_t off_list_;
    std::unique_ptr<GContextMenuForm2> menu_;
};

}  // namespace UIK
