#include "windows/code_bar.h"

#include <utility>

#include "model/app_state.h"
#include "windows/layout.h"

using namespace UIK;

GCodeBar::GCodeBar(Keys keys, const Texts& texts, int64_t minimum, int64_t maximum) : keys_(keys), texts_(texts) {
    title_reported.SetText(texts.reported);
    title_wanted.SetText(texts.wanted);
    field.SetDisplayFormat(u" %I64d");
    field.SetEmptyText(u" 0");
    field.SetPrompt(u"Заданный код ЦАП");
    field.SetRange(minimum, maximum);
    bar.SetRange(minimum, maximum);
}

void GCodeBar::Place(GControl& parent, int left, int top) {
    layout::Place(table, parent, u"table_", left, top, 482, 124);
    layout::Place(title_reported, table, u"title_real_code_", 0, 0, 380, 40);
    layout::Place(reported, table, u"real_code_", 382, 0, 100, 40);
    layout::Place(title_wanted, table, u"title_code_", 0, 42, 380, 40);
    layout::Place(field, table, u"inp_code_", 382, 42, 100, 40);
    layout::Place(bar, table, u"sb_code_", 0, 84, 482, 40);
    for (GLabel* l : {&title_reported, &title_wanted}) l->SetAlignment(texts_.caption_align);
    title_reported.SetBackColor(kColorLight);
    reported.SetBackColor(kColorLight);
    title_wanted.SetBackColor(kColorMid);
}

void GCodeBar::Connect(G_t& g, std::function<void(int64_t)> on_user_move) {
    g_ = &g;
    on_user_move_ = std::move(on_user_move);
    field.OnValueEntered.Bind(this, &GCodeBar::OnEntered);
    field.OnValueAccepted.Bind(this, &GCodeBar::OnAccepted);
    field.OnKeyDown.Set([this](GControl*, const GKeyEvent& e) { Key(e); });
    bar.OnPositionChanged.Bind(this, &GCodeBar::OnBarMoved);
    for (GControl* c : std::initializer_list<GControl*>{&table, &title_wanted, &field, &title_reported, &reported})
        c->OnMouseWheel.Bind(this, &GCodeBar::OnWheel);
}

void GCodeBar::Load(int64_t value) {
    const Guard quiet = Quiet();
    bar.SetPosition(value);
    field.SetValue(value);
}

void GCodeBar::Key(const GKeyEvent& e) {
    const int sense = keys_ == Keys::kUpRaises ? 1 : -1;
    const int64_t small = bar.SmallStep(), large = bar.LargeStep();
    const int64_t raise_end = keys_ == Keys::kUpRaises ? bar.Maximum() : bar.Minimum();
    const int64_t lower_end = keys_ == Keys::kUpRaises ? bar.Minimum() : bar.Maximum();
    switch (e.key) {
    case kKeyEnter: case kKeySpace:
        if (keys_ == Keys::kAsTheBar) field.OpenEntry();
        break;
    case kKeyPageUp: bar.StepBy(sense * large); break;
    case kKeyPageDown: bar.StepBy(-sense * large); break;
    case kKeyHome: bar.SetPosition(raise_end); break;
    case kKeyEnd: bar.SetPosition(lower_end); break;
    case kKeyUp: bar.StepBy(sense * small); break;
    case kKeyDown: bar.StepBy(-sense * small); break;
    case kKeyLeft: bar.StepBy(-small); break;
    case kKeyRight: bar.StepBy(small); break;
    default: break;
    }
}

void GCodeBar::OnEntered(GControl*, int64_t& value) {
    if (IsQuiet()) return;
    if (value < bar.Minimum() || value > bar.Maximum()) {
        value = field.Value();
        if (g_) g_->status_text(texts_.out_of_range);
    }
}

void GCodeBar::OnAccepted(GControl*, int64_t value) {
    if (IsQuiet()) return;
    if (value >= bar.Minimum() && value <= bar.Maximum()) bar.SetPosition(value);
}

void GCodeBar::OnBarMoved(GControl*) {
    const int64_t pos = bar.Position();
    const bool by_program = IsQuiet();
    {
        const Guard quiet = Quiet();
        field.SetValue(pos);
    }
    if (!by_program && on_user_move_) on_user_move_(pos);
}

void GCodeBar::OnWheel(GControl*, const GMouseEvent& e) { bar.HandleMouseWheel(e); }
