// Input labels, the string selector and its drop-down form, lists, tables
// and the scroll box, driven from code and through input.
#include <gtest/gtest.h>

#include <string>

#include "uik2_helpers.h"

using namespace UIK;
using uik2_test::Host;
using uik2_test::PushClick;
using uik2_test::PushKeys;
using uik2_test::WhenShown;
using uik_test::Centre;
using uik_test::Click;
using uik_test::Key;

TEST(InputLabel, FilterRunsBeforeAcceptedFromCodeAndFromTheForm) {
    Host h;
    GInputInt64Label in(&h.form);
    in.SetBounds(10, 10, 150, 40);
    in.SetPrompt(u"Заданный код ЦАП");
    in.SetEmptyText(u" 0");
    EXPECT_EQ(in.Text(), u" 0");
    std::string log;
    in.OnValueEntered.Set([&](GControl*, int64_t& v) {
        log += "entered " + std::to_string(v) + ";";
        if (v > 4095) v = 4095;  // the handler may replace the value
    });
    in.OnValueAccepted.Set([&](GControl*, int64_t v) { log += "accepted " + std::to_string(v) + ";"; });

    in.SetValue(5000);
    EXPECT_EQ(log, "entered 5000;accepted 4095;");
    EXPECT_EQ(in.Value(), 4095);
    EXPECT_EQ(in.Text(), u" 4095");
    log.clear();
    in.SetValue(4095);
    EXPECT_EQ(log, "") << "no change from code, no events";

    // A click opens the entry form titled with the prompt, starting from the value.
    WhenShown<GInpInt64Form>([](GInpInt64Form& f) {
        EXPECT_EQ(f.Title(), u"Заданный код ЦАП");
        EXPECT_EQ(f.DisplayText(), u"4095_ ");
        PushKeys(f, {'c', '1', '2', kKeyEnter});
    });
    Click(h.form, Centre(in).x, Centre(in).y);
    EXPECT_EQ(log, "entered 12;accepted 12;");
    EXPECT_EQ(in.Value(), 12);

    // Leaving the form with Escape enters nothing.
    log.clear();
    WhenShown<GInpInt64Form>([](GInpInt64Form& f) { PushKeys(f, {'7', kKeyEscape}); });
    Click(h.form, Centre(in).x, Centre(in).y);
    EXPECT_EQ(log, "");

    // A label that is not editable opens nothing.
    in.SetEditable(false);
    Click(h.form, Centre(in).x, Centre(in).y);
    EXPECT_EQ(GForm::ShownForms().size(), 1u);
}

TEST(InputLabel, DoubleFormatEmptyTextAndOutputLabel) {
    GInputDoubleLabel d;
    d.SetDisplayFormat(u"Концентрация\n%.3lf %%");
    d.SetEmptyText(u"Концентрация\n0.000 %");
    EXPECT_FALSE(d.HasValue());
    EXPECT_EQ(d.Text(), u"Концентрация\n0.000 %");
    d.SetValue(10);
    EXPECT_EQ(d.Text(), u"Концентрация\n10.000 %");
    d.ClearValue();
    EXPECT_EQ(d.Text(), u"Концентрация\n0.000 %");

    GOutputInt64Label found;
    found.SetDisplayFormat(u"Найдено: %I64d");
    found.SetEmptyText(u"Обнаружено: 0");
    EXPECT_EQ(found.Text(), u"Обнаружено: 0");
    found.SetValue(1);
    EXPECT_EQ(found.Text(), u"Найдено: 1");
    EXPECT_EQ(found.Value(), 1);
}

TEST(StringSelector, SelectionEventsFromCodeKeysAndTheDroppedList) {
    Host h;
    GStringSelector ss(&h.form);
    ss.SetBounds(20, 20, 200, 32);
    ss.SetCaption(u" Скорость ");
    ss.SetItems({u"1200", u"2400", u"4800", u"9600"});
    h.form.AddTabControl(&ss);
    int changes = 0;
    ss.OnSelectionChanged.Set([&](GControl*) { ++changes; });

    ss.SetSelectedIndex(3);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(ss.SelectedText(), u"9600");
    ss.SetSelectedIndex(3);
    EXPECT_EQ(changes, 1) << "same index, no event";
    ss.SetSelectedIndex(-1);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(ss.SelectedText(), u"");

    Key(h.form, kKeyDown);
    EXPECT_EQ(ss.SelectedIndex(), 0);
    Key(h.form, kKeyDown);
    EXPECT_EQ(ss.SelectedIndex(), 1);
    Key(h.form, kKeyUp);
    Key(h.form, kKeyUp);
    EXPECT_EQ(ss.SelectedIndex(), 0);
    EXPECT_EQ(changes, 5);

    // A click drops the list below the selector; a click on an item selects it.
    Click(h.form, Centre(ss).x, Centre(ss).y);
    GContextMenuForm2* menu = ss.DroppedMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->List().Count(), 4);
    EXPECT_EQ(menu->List().SelectedIndex(), 0);
    EXPECT_GE(menu->Top(), ss.ScreenRect().Bottom() - 1);
    GRect item = menu->List().ItemRect(2);
    GRect lr = menu->List().FormRect();
    Click(*menu, lr.left + item.left + 5, lr.top + item.top + item.height / 2);
    EXPECT_EQ(ss.SelectedIndex(), 2);
    EXPECT_EQ(changes, 6);
    EXPECT_EQ(ss.DroppedMenu(), nullptr);

    // Escape closes the list without a choice.
    Key(h.form, kKeyEnter);
    menu = ss.DroppedMenu();
    ASSERT_NE(menu, nullptr);
    Key(*menu, kKeyDown);
    Key(*menu, kKeyEscape);
    EXPECT_EQ(ss.DroppedMenu(), nullptr);
    EXPECT_EQ(ss.SelectedIndex(), 2);
    EXPECT_EQ(changes, 6);
}

TEST(Lists, TextButtonListClickSelectsAndReportsAfterTheMessage) {
    Host h;
    GTxtBtList list(&h.form);
    list.SetBounds(0, 105, 316, 295);
    for (int a = 1; a <= 12; ++a)
        list.AddItem(ustring_t(std::u16string_view(u"ID: " + std::u16string(1, char16_t(u'0' + a % 10)) +
                                                   u" - неизвестное устройство\n(Отклик: нет)")));
    int clicked = -1, selections = 0;
    bool selected_before_click = false;
    list.OnSelectionChanged.Set([&](GControl*) { ++selections; });
    list.OnItemClick.Set([&](GControl*, int i) {
        clicked = i;
        selected_before_click = list.SelectedIndex() == i;
    });
    GRect r = list.ItemRect(1);
    plat::ui::PushMouse(h.form.NativeWindowId(), plat::ui::EventType::MouseDown, 20, 105 + r.top + 5, 1);
    plat::ui::PushMouse(h.form.NativeWindowId(), plat::ui::EventType::MouseUp, 20, 105 + r.top + 5, 1);
    App::ProcessPending();
    EXPECT_EQ(clicked, 1);
    EXPECT_TRUE(selected_before_click);
    EXPECT_EQ(selections, 1);
    // The selection may be put past the last entry: nothing is highlighted.
    list.SetSelectedIndex(list.Count());
    EXPECT_EQ(selections, 2);

    // Items taller than the list scroll with the wheel, within the range.
    EXPECT_GT(list.ItemRect(11).Bottom(), list.Height());
    plat::ui::PushMouse(h.form.NativeWindowId(), plat::ui::EventType::MouseWheel, 20, 200, 0, -100);
    App::ProcessPending();
    EXPECT_EQ(list.ItemRect(11).Bottom(), list.Height());
}

TEST(ScrollBox, MovesChildrenLimitsTheOffsetAndScrollsByWheelAndBar) {
    Host h;
    GScrollBox box(&h.form);
    box.SetBounds(10, 10, 300, 200);
    GControlsTableExt table(&box, 15, 2);
    table.SetBounds(40, 0, 220, 0);
    table.FitHeight();
    EXPECT_EQ(table.Height(), 15 * 42 - 2);
    EXPECT_EQ(table.Cell(14, 1)->Rect(), (GRect{111, 14 * 42, 109, 40}));
    GInputDoubleLabel coeff;
    table.Place(3, 1, &coeff);
    EXPECT_EQ(coeff.Parent(), table.Cell(3, 1));
    EXPECT_EQ(coeff.Rect(), (GRect{0, 0, 109, 40}));

    box.UpdateScroll();
    EXPECT_TRUE(box.Bar().IsVisible());
    EXPECT_EQ(box.Bar().Maximum(), table.Height() - 200);
    int scrolls = 0;
    box.OnScroll.Set([&](GControl*) { ++scrolls; });
    box.SetScrollTop(-2000000000);  // limited to the last position
    EXPECT_EQ(box.ScrollTop(), -(table.Height() - 200));
    EXPECT_EQ(table.Top(), -(table.Height() - 200));
    EXPECT_EQ(box.Bar().Position(), table.Height() - 200);
    box.SetScrollTop(100);
    EXPECT_EQ(box.ScrollTop(), 0);
    EXPECT_EQ(scrolls, 2);

    // The wheel over a cell reaches the box; the bar's arrow scrolls too.
    GRect cell = table.Cell(1, 0)->FormRect();
    plat::ui::PushMouse(h.form.NativeWindowId(), plat::ui::EventType::MouseWheel, cell.left + 5, cell.top + 5, 0, -1);
    App::ProcessPending();
    EXPECT_EQ(box.ScrollTop(), -GScrollBox::kWheelStep);
    GRect down = box.Bar().ArrowRect(false).Offset(box.Bar().FormRect().left, box.Bar().FormRect().top);
    Click(h.form, down.left + 3, down.top + 3);
    EXPECT_EQ(box.ScrollTop(), -2 * GScrollBox::kWheelStep);
    EXPECT_EQ(table.Top(), -2 * GScrollBox::kWheelStep);
}
