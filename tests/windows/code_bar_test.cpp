// The code field and bar of the 4-20 mA and tests windows: both key senses,
// a refused entry, and that only the user's moves leave the control.
#include <vector>

#include "fixture.h"
#include "windows/code_bar.h"

using namespace win_test;
using UIK::GKeyEvent;

namespace {

class CodeBar : public WindowTest {};

TEST_F(CodeBar, KeysMoveTheBarInTheirSenseAndOnlyTheUsersMovesGoOut) {
    StartLine({}, kRoomyTimeoutMs, 1, /*poll=*/false);
    InLoop([&] {
        for (const GCodeBar::Keys keys : {GCodeBar::Keys::kUpRaises, GCodeBar::Keys::kAsTheBar}) {
            const bool up_raises = keys == GCodeBar::Keys::kUpRaises;
            SCOPED_TRACE(up_raises ? "up raises" : "as the bar");
            GCodeBar c(keys, {u"reported", u"wanted", u"out of range", UIK::kAlignLeft}, 0, 100);
            c.bar.SetLargeStep(10);
            std::vector<int64_t> sent;
            c.Connect(G_, [&](int64_t v) { sent.push_back(v); });

            c.Load(50);  // the program's move: nothing goes out
            EXPECT_EQ(c.field.Value(), 50);
            EXPECT_TRUE(sent.empty());

            const int s = up_raises ? 1 : -1;
            const struct {
                UIK::GKey key;
                int64_t want;
            } steps[] = {{UIK::kKeyUp, 50 + s},       {UIK::kKeyDown, 50},         {UIK::kKeyRight, 51},
                         {UIK::kKeyLeft, 50},         {UIK::kKeyPageUp, 50 + 10 * s}, {UIK::kKeyPageDown, 50},
                         {UIK::kKeyHome, up_raises ? 100 : 0}, {UIK::kKeyEnd, up_raises ? 0 : 100}};
            for (const auto& st : steps) {
                c.Key(GKeyEvent{st.key, 0});
                EXPECT_EQ(c.bar.Position(), st.want) << int(st.key);
                EXPECT_EQ(c.field.Value(), st.want) << int(st.key);
                EXPECT_EQ(sent.back(), st.want) << int(st.key);
            }

            // An entry outside the range keeps the field's value and says why.
            const size_t before = sent.size();
            int64_t entered = 101;
            c.field.OnValueEntered(&c.field, entered);
            EXPECT_EQ(entered, c.field.Value());
            EXPECT_TRUE(WaitFor([&] { return !texts_.status.empty() && texts_.status.back() == "out of range"; }));
            texts_.status.clear();
            {
                const GCodeBar::Guard quiet = c.Quiet();
                c.bar.SetPosition(7);
            }
            EXPECT_EQ(c.field.Value(), 7);
            EXPECT_EQ(sent.size(), before);
        }
    });
}

}  // namespace
