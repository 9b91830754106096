// Controls, the property model, resources and what ends up on the screen.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "helpers.h"

using namespace UIK;
using uik_test::Click;
using uik_test::Key;

TEST(Resources, SkinsAndFontsByIndexMadeByFirstUserFreedByLast) {
    ASSERT_EQ(GResources::UserCount(), 0);
    EXPECT_EQ(GResources::Skin(0), nullptr);
    {
        GResourcesUser first;
        ASSERT_TRUE(first.Ok());
        GResourcesUser second;
        EXPECT_EQ(GResources::UserCount(), 2);
        for (int i = 0; i <= 42; ++i) EXPECT_NE(GResources::Skin(i), nullptr) << "skin " << i;
        for (int i = 43; i <= 47; ++i) EXPECT_EQ(GResources::Skin(i), nullptr) << "skin " << i;
        EXPECT_EQ(GResources::Skin(-1), nullptr);
        for (int i = 0; i < 7; ++i) EXPECT_NE(GResources::Font(i), nullptr) << "font " << i;
        EXPECT_EQ(GResources::Font(7), nullptr);
        EXPECT_EQ(GResources::Font(0)->font().Family(), "Liberation Mono");
        EXPECT_EQ(GResources::Font(2)->font().Family(), "Tahoma");
        // Negative heights are character heights, so font 0 (16) is taller
        // than font 5 (12); font 4 has a 72-pixel cell.
        EXPECT_GT(GResources::Font(0)->LineHeight(), GResources::Font(5)->LineHeight());
        EXPECT_NEAR(GResources::Font(4)->LineHeight(), 72, 2);
    }
    EXPECT_EQ(GResources::UserCount(), 0);
    EXPECT_EQ(GResources::Font(0), nullptr);
}

TEST(ControlModel, EnabledThroughParentsDelegatesAndProperties) {
    GFrame outer, inner(&outer);
    GLabel label(&inner);
    EXPECT_TRUE(label.IsEnabledThroughParents());
    outer.SetEnabled(false);
    EXPECT_TRUE(label.IsEnabled());
    EXPECT_FALSE(label.IsEnabledThroughParents());
    outer.SetEnabled(true);

    // A chained handler runs before the one that was bound.
    std::string order;
    label.OnTextChanged.Set([&](GControl*) { order += "window;"; });
    label.OnTextChanged.ChainFront([&](GControl*) { order += "chained;"; });
    label.SetText(u"a");
    EXPECT_EQ(order, "chained;window;");
    label.SetText(u"a");
    EXPECT_EQ(order, "chained;window;") << "no change, no event";

    // An owner's setter replaces plain storage.
    int seen = 0;
    GProperty_T<int> p;
    p.Set(3);
    EXPECT_EQ(p.Get(), 3);
    p.AttachSetter([&](const int& v) { seen = v; p.Store(v * 2); });
    p.Set(5);
    EXPECT_EQ(seen, 5);
    EXPECT_EQ(p.Get(), 10);

    EXPECT_EQ(outer.FindChild(u"x"), nullptr);
    label.SetName(u"lbl_value_");
    EXPECT_EQ(outer.FindChild(u"lbl_value_"), &label);
}

TEST(ControlModel, AnchorsFollowTheParentsSize) {
    GFrame parent;
    parent.SetBounds(0, 0, 200, 100);
    GFrame stretch(&parent), right(&parent), fixed(&parent);
    stretch.SetBounds(10, 10, 180, 20);
    stretch.SetAnchors(kAnchorLeft | kAnchorRight | kAnchorTop);
    right.SetBounds(150, 50, 40, 40);
    right.SetAnchors(kAnchorRight | kAnchorBottom);
    fixed.SetBounds(10, 50, 40, 40);
    int resized = 0;
    stretch.OnResize.Set([&](GControl*) { ++resized; });
    parent.Resize(300, 150);
    EXPECT_EQ(stretch.Rect(), (GRect{10, 10, 280, 20}));
    EXPECT_EQ(right.Rect(), (GRect{250, 100, 40, 40}));
    EXPECT_EQ(fixed.Rect(), (GRect{10, 50, 40, 40}));
    EXPECT_EQ(resized, 1);
}

TEST(Label, PreferredSizeGrowsWithTextAndWraps) {
    GResourcesUser res;
    GLabel l;
    l.SetBounds(0, 0, 120, 20);
    GPoint one = l.PreferredSize();
    ustring_t longer(u"Короткий текст и ещё немного слов");
    GPoint wide = l.PreferredSize(&longer);
    EXPECT_GT(wide.x, 120);
    l.SetWordWrap(true);
    GPoint wrapped = l.PreferredSize(&longer);
    EXPECT_LE(wrapped.x, 120);
    EXPECT_GE(wrapped.y, 2 * (one.y - 4));
    ustring_t two_lines(u"a\nb");
    l.SetWordWrap(false);
    EXPECT_GT(l.PreferredSize(&two_lines).y, one.y);
}

TEST(ScrollBar, PositionFromCodeStaysInRangeAndRaisesOneEventPerChange) {
    GScrollBar sb;
    sb.SetBounds(0, 0, 20, 200);
    sb.SetRange(0, 100);
    std::vector<int64_t> events;
    sb.OnPositionChanged.Set([&](GControl*) { events.push_back(sb.Position()); });
    sb.SetPosition(150);
    sb.SetPosition(100);
    sb.SetPosition(-5);
    sb.SetPosition(40);
    sb.SetMaximum(30);  // the position follows the range, with an event
    EXPECT_EQ(events, (std::vector<int64_t>{100, 0, 40, 30}));
    EXPECT_EQ(sb.Minimum(), 0);
    sb.SetMinimum(50);
    EXPECT_EQ(sb.Position(), 50);
    EXPECT_EQ(sb.Maximum(), 50);
}

TEST(ScrollBar, InputMovesByStepsAndRaisesEvents) {
    GTabKeyForm f;
    f.SetBounds(0, 0, 100, 260);
    GScrollBar sb(&f);
    sb.SetBounds(10, 10, 20, 220);
    sb.SetRange(0, 100);
    sb.SetSmallStep(2);
    sb.SetLargeStep(25);
    f.AddTabControl(&sb);
    f.Show();
    int events = 0;
    sb.OnPositionChanged.Set([&](GControl*) { ++events; });
    GRect down = sb.ArrowRect(false).Offset(10, 10), up = sb.ArrowRect(true).Offset(10, 10);

    Click(f, down.left + 5, down.top + 5);
    EXPECT_EQ(sb.Position(), 2);
    GRect thumb = sb.ThumbRect().Offset(10, 10);
    Click(f, thumb.left + 5, thumb.Bottom() + 10);  // track below the thumb
    EXPECT_EQ(sb.Position(), 27);
    plat::ui::PushMouse(f.NativeWindowId(), plat::ui::EventType::MouseWheel, 15, 100, 0, -1);
    App::ProcessPending();
    EXPECT_EQ(sb.Position(), 29);
    Key(f, kKeyUp);
    EXPECT_EQ(sb.Position(), 27);
    Key(f, kKeyEnd);
    EXPECT_EQ(sb.Position(), 100);
    Click(f, down.left + 5, down.top + 5);  // at the maximum: no change
    EXPECT_EQ(sb.Position(), 100);
    Click(f, up.left + 5, up.top + 5);
    EXPECT_EQ(sb.Position(), 98);
    EXPECT_EQ(events, 6);

    // Dragging the thumb to the top end.
    thumb = sb.ThumbRect().Offset(10, 10);
    int wid = f.NativeWindowId();
    plat::ui::PushMouse(wid, plat::ui::EventType::MouseDown, thumb.left + 5, thumb.top + 2, 1);
    plat::ui::PushMouse(wid, plat::ui::EventType::MouseMove, thumb.left + 5, 0, 1);
    plat::ui::PushMouse(wid, plat::ui::EventType::MouseUp, thumb.left + 5, 0, 1);
    App::ProcessPending();
    EXPECT_EQ(sb.Position(), 0);
}

TEST(CheckBox, ToggledByClickAndByCodeWithTheSameEvent) {
    GForm f;
    f.SetBounds(0, 0, 200, 60);
    GCheckBoxCaptioned cb(&f);
    cb.SetBounds(10, 10, 150, 24);
    cb.SetCaption(u"Эхо");
    f.Show();
    int changes = 0;
    cb.OnChange.Set([&](GControl*) { ++changes; });
    Click(f, 20, 20);
    EXPECT_TRUE(cb.IsChecked());
    cb.SetChecked(false);
    EXPECT_EQ(changes, 2);
}

namespace {

bool has_pixel(const GBitmap& b, const GRect& r, GColor c) {
    for (int y = r.top; y < r.Bottom(); ++y)
        for (int x = r.left; x < r.Right(); ++x)
            if (b.Pixel(x, y) == c) return true;
    return false;
}

}  // namespace

TEST(Rendering, TextDisabledColourAndFocusFrame) {
    GTabKeyForm f;
    f.SetBounds(0, 0, 300, 200);
    GFrame panel(&f);
    panel.SetBounds(0, 0, 300, 200);
    panel.SetBackColor(kColorDark);
    GLabel label(&panel);
    label.SetBounds(10, 10, 200, 30);
    label.SetText(u"ЖЖЖ ПРОВЕРКА");
    GTextButton bt(&panel);
    bt.SetBounds(40, 100, 120, 40);
    bt.SetCaption(u"Кнопка");
    f.AddTabControl(&bt);

    auto shot = f.RenderToBitmap();
    GRect lr = label.Rect();
    EXPECT_TRUE(has_pixel(*shot, lr, kColorText)) << "label text not drawn";
    EXPECT_FALSE(has_pixel(*shot, lr, kColorDisabledText));
    // The focus frame: 2 points outside the button, 1 point wide, green.
    GRect fr = bt.FormRect().Inflate(2);
    EXPECT_EQ(shot->Pixel(fr.left, fr.top + 10), kColorFocus);
    EXPECT_EQ(shot->Pixel(fr.Right() - 1, fr.Bottom() - 5), kColorFocus);
    EXPECT_NE(shot->Pixel(fr.left + 1, fr.top + 10), kColorFocus);

    panel.SetEnabled(false);  // disabled through the parent
    shot = f.RenderToBitmap();
    EXPECT_TRUE(has_pixel(*shot, lr, kColorDisabledText)) << "disabled text colour";
    EXPECT_FALSE(has_pixel(*shot, lr, kColorText));
    EXPECT_FALSE(has_pixel(*shot, fr, kColorFocus)) << "no focus mark on an unusable control";

    std::string path = testing::TempDir() + "uik_render.png";
    ASSERT_TRUE(f.RenderToPng(path.c_str()));
    FILE* png = std::fopen(path.c_str(), "rb");
    ASSERT_NE(png, nullptr);
    unsigned char sig[4] = {};
    EXPECT_EQ(std::fread(sig, 1, 4, png), 4u);
    std::fclose(png);
    EXPECT_EQ(sig[1], 'P');
    std::remove(path.c_str());
}

TEST(Rendering, OnlyChangedAreasAreRepainted) {
    GForm f;
    f.SetBounds(0, 0, 400, 300);
    GLabel a(&f), b(&f);
    a.SetBounds(10, 10, 100, 20);
    b.SetBounds(10, 200, 100, 20);
    f.Show();
    App::ProcessPending();
    EXPECT_TRUE(f.DirtyRects().empty());
    a.SetText(u"1");
    auto dirty = f.DirtyRects();
    ASSERT_EQ(dirty.size(), 1u);
    EXPECT_EQ(dirty[0], a.FormRect());
    App::ProcessPending();
    EXPECT_TRUE(f.DirtyRects().empty());
    b.Hide();  // the area it leaves is repainted
    ASSERT_FALSE(f.DirtyRects().empty());
    EXPECT_EQ(f.DirtyRects()[0].Intersect(b.FormRect()), b.FormRect());
}
