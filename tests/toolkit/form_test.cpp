// Forms: modal showing, focus order, Escape, deferred clicks, placement.
#include <gtest/gtest.h>

#include "helpers.h"

using namespace UIK;
using uik_test::Centre;
using uik_test::Click;
using uik_test::Key;

namespace {

GForm* shown(GForm& f, int x = 0, int y = 0) {
    f.SetBounds(x, y, 200, 150);
    f.Show();
    return &f;
}

}  // namespace

TEST(Form, ModalShowDisablesExactlyTheOtherVisibleForms) {
    GForm a, b, hidden, modal, inner;
    shown(a);
    shown(b, 220);
    b.EnableWindow(false);  // already disabled: must stay so
    modal.SetBounds(50, 50, 120, 80);
    inner.SetBounds(60, 60, 100, 60);
    inner.SetModal(true);
    modal.SetModal(true);

    struct Seen { bool a, b, modal, hidden; int nesting; };
    Seen in_modal{}, in_inner{}, after_inner{};
    App::Defer([&] {
        in_modal = {a.IsWindowEnabled(), b.IsWindowEnabled(), modal.IsWindowEnabled(), hidden.IsWindowEnabled(),
                    App::LoopNesting()};
        App::Defer([&] {
            in_inner = {a.IsWindowEnabled(), b.IsWindowEnabled(), modal.IsWindowEnabled(), true, App::LoopNesting()};
            inner.Close();
        });
        inner.Show();
        after_inner = {a.IsWindowEnabled(), b.IsWindowEnabled(), modal.IsWindowEnabled(), true, App::LoopNesting()};
        modal.Close();
    });
    modal.Show();  // returns once the modal form is closed

    EXPECT_FALSE(in_modal.a);
    EXPECT_FALSE(in_modal.b);
    EXPECT_TRUE(in_modal.modal);
    EXPECT_TRUE(in_modal.hidden);
    EXPECT_EQ(in_modal.nesting, 1);

    EXPECT_FALSE(in_inner.a);
    EXPECT_FALSE(in_inner.modal) << "the inner modal form disables the outer one";
    EXPECT_EQ(in_inner.nesting, 2);

    EXPECT_FALSE(after_inner.a) << "still disabled by the outer modal form";
    EXPECT_TRUE(after_inner.modal);

    EXPECT_TRUE(a.IsWindowEnabled());
    EXPECT_FALSE(b.IsWindowEnabled()) << "was disabled before: not re-enabled";
    EXPECT_FALSE(modal.HasNativeWindow());
    EXPECT_EQ(App::LoopNesting(), 0);
}

TEST(Form, OwnerListsShownChildFormsAndCloseRemovesThem) {
    GForm owner, child;
    child.SetOwner(&owner);
    shown(owner);
    EXPECT_TRUE(owner.ChildForms().empty());
    shown(child);
    ASSERT_EQ(owner.ChildForms().size(), 1u);
    int closed = 0;
    child.OnClose.Set([&](GForm*) { ++closed; });
    child.Close();
    EXPECT_TRUE(owner.ChildForms().empty());
    EXPECT_FALSE(child.IsVisible());
    EXPECT_EQ(closed, 1);
}

namespace {

// Notes when its mouse-up handling has finished.
class ProbeButton : public GTextButton {
public:
    using GTextButton::GTextButton;
    bool up_finished = false;
    void HandleMouseUp(const GMouseEvent& e) override {
        up_finished = false;
        GTextButton::HandleMouseUp(e);
        up_finished = true;
    }
};

}  // namespace

TEST(Form, ClickHandlerRunsAfterTheMouseMessage) {
    GForm f;
    ProbeButton bt(&f);
    bt.SetBounds(10, 10, 80, 30);
    shown(f);
    int clicks = 0;
    bool finished_at_click = false;
    bt.OnClick.Set([&](GControl*) {
        ++clicks;
        finished_at_click = bt.up_finished;
    });
    GPoint p = Centre(bt);
    Click(f, p.x, p.y);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(finished_at_click);

    // Released outside the button: no click. Disabled: no click either.
    plat::ui::PushMouse(f.NativeWindowId(), plat::ui::EventType::MouseDown, p.x, p.y, 1);
    plat::ui::PushMouse(f.NativeWindowId(), plat::ui::EventType::MouseUp, 150, 120, 1);
    App::ProcessPending();
    bt.SetEnabled(false);
    Click(f, p.x, p.y);
    EXPECT_EQ(clicks, 1);
}

TEST(Form, TabOrderSkipsHiddenAndDisabledControls) {
    GTabKeyForm f;
    GFrame box(&f);
    box.SetBounds(0, 0, 200, 150);
    GTextButton b0(&box), b1(&box), b3(&box);
    GFrame off(&box);
    GTextButton b2(&off);
    b0.SetBounds(10, 10, 50, 20);
    b1.SetBounds(10, 40, 50, 20);
    off.SetBounds(100, 0, 100, 100);
    b2.SetBounds(10, 10, 50, 20);
    b3.SetBounds(10, 70, 50, 20);
    for (GControl* c : {static_cast<GControl*>(&b0), static_cast<GControl*>(&b1), static_cast<GControl*>(&b2),
                        static_cast<GControl*>(&b3)})
        f.AddTabControl(c);
    shown(f);
    b1.Hide();
    off.SetEnabled(false);  // b2 disabled through its parent

    EXPECT_EQ(f.CurrentControl(), &b0);
    Key(f, kKeyTab);
    EXPECT_EQ(f.CurrentControl(), &b3);
    Key(f, kKeyTab);
    EXPECT_EQ(f.CurrentControl(), &b0) << "wraps around";
    Key(f, kKeyTab, kModShift);
    EXPECT_EQ(f.CurrentControl(), &b3);
    Key(f, kKeyTab, kModCtrl);
    EXPECT_EQ(f.CurrentControl(), &b3) << "Ctrl+Tab goes to the control, not the order";

    b0.SetEnabled(false);
    Key(f, kKeyTab);
    EXPECT_EQ(f.CurrentControl(), &b3) << "no other usable control: the focus stays";

    // Other keys go to the current control: Space presses the button.
    int clicks = 0;
    b3.OnClick.Set([&](GControl*) { ++clicks; });
    Key(f, kKeySpace);
    EXPECT_EQ(clicks, 1);
}

TEST(Form, EscapeHidesBaseFormsOnly) {
    GBaseForm sub;
    GTabKeyForm plain;
    shown(sub);
    shown(plain, 220);
    int keys = 0;
    plain.OnFormKey.Set([&](GForm*, const GKeyEvent& e) { keys += e.key == kKeyEscape; });
    Key(sub, kKeyEscape);
    Key(plain, kKeyEscape);
    EXPECT_FALSE(sub.IsVisible());
    EXPECT_FALSE(sub.HasNativeWindow());
    EXPECT_TRUE(plain.IsVisible());
    EXPECT_EQ(keys, 1);
}

TEST(Form, PlaceOverACentresAndKeepsInsideTheArea) {
    GForm host, sub;
    host.SetBounds(0, 0, 400, 300);
    GFrame near_edge(&host);
    near_edge.SetBounds(0, 0, 20, 20);
    GFrame middle(&host);
    middle.SetBounds(150, 100, 100, 100);
    shown(host);
    host.SetBounds(0, 0, 400, 300);
    GRect area = GForm::PlacementArea(0, 0);
    sub.SetBounds(0, 0, 120, 60);

    sub.PlaceOver(&middle);
    GRect m = middle.ScreenRect();
    EXPECT_EQ(sub.Left(), m.left + (m.width - 120) / 2);
    EXPECT_EQ(sub.Top(), m.top + (m.height - 60) / 2);

    sub.PlaceOver(&near_edge);  // would start left of and above the area
    EXPECT_EQ(sub.Left(), area.left);
    EXPECT_EQ(sub.Top(), area.top);

    sub.SetBounds(0, 0, 120, 60);
    sub.PlaceOver(nullptr);
    EXPECT_EQ(sub.Left(), area.left + (area.width - 120) / 2);
}

TEST(Form, ShowAndHideEventsReachVisibleChildren) {
    GForm f;
    GFrame frame(&f), hidden_frame(&f);
    hidden_frame.Hide();
    int frame_shows = 0, frame_hides = 0, hidden_shows = 0;
    frame.OnShow.Set([&](GControl*) { ++frame_shows; });
    frame.OnHide.Set([&](GControl*) { ++frame_hides; });
    hidden_frame.OnShow.Set([&](GControl*) { ++hidden_shows; });
    shown(f);
    EXPECT_EQ(frame_shows, 1);
    EXPECT_EQ(hidden_shows, 0);
    f.Hide();
    EXPECT_EQ(frame_hides, 1);
    // A programmatic change raises the same event as any other.
    hidden_frame.Show();
    EXPECT_EQ(hidden_shows, 1);
}

namespace {

// Collects typed text, as a text field does.
class TextProbe : public GControl {
public:
    using GControl::GControl;
    std::u16string typed;
    bool AcceptsFocus() const override { return true; }
    void HandleText(const std::u16string& t) override { typed += t; }
};

}  // namespace

TEST(Form, TypedCyrillicTextReachesTheFocusedControl) {
    GForm f;
    TextProbe field(&f);
    field.SetBounds(10, 10, 100, 20);
    shown(f);
    f.SetFocus(&field);
    plat::ui::PushText(f.NativeWindowId(), u"Журнал ");
    plat::ui::PushText(f.NativeWindowId(), u"№1");
    App::ProcessPending();
    EXPECT_EQ(field.typed, u"Журнал №1");
    field.Hide();
    plat::ui::PushText(f.NativeWindowId(), u"x");
    App::ProcessPending();
    EXPECT_EQ(field.typed, u"Журнал №1") << "a hidden control takes no input";
}
