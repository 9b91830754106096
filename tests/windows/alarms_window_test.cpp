// The alarms window over the simulated detector: masks set in the device's
// registers reach the window through the poll cycle.
#include "model/codes.h"
#include "model/journal_records.h"
#include "fixture.h"
#include "windows/alarms_window.h"

using namespace win_test;

namespace {

constexpr uint16_t kAlarmMaskReg = 50272;
constexpr uint16_t kWarningMaskReg = 50274;
constexpr int kPollLimitMs = 15000;

class AlarmsWindow : public WindowTest {
protected:
    // Sets a 32-bit mask in the detector (low word first).
    void SetMask(uint16_t reg, uint32_t mask) {
        ASSERT_TRUE(sim_->set_register(1, reg, uint16_t(mask & 0xFFFF)));
        ASSERT_TRUE(sim_->set_register(1, uint16_t(reg + 1), uint16_t(mask >> 16)));
    }
    // Refreshes until the alarm title reads want.
    bool WaitForTitle(GAlarms& w, const std::string& want) {
        return RefreshUntil(w, [&] { return U8(w.alarms_title_.Text()) == want; }, kPollLimitMs);
    }
};

}  // namespace

TEST_F(AlarmsWindow, CountsAllBitsListsTheTextsAndFlowsTheLayout) {
    StartLine(sim::Options_t{});
    SetMask(kAlarmMaskReg, 0b101);
    SetMask(kWarningMaskReg, 0);
    InWindow<GAlarms>([&](auto& form, GAlarms& w) {
        EXPECT_EQ(U8(w.alarms_.Text()), "------------");
        EXPECT_EQ(form.Width(), 640);
        EXPECT_EQ(form.Height(), 600);
        ASSERT_TRUE(OpenPort());

        ASSERT_TRUE(WaitForTitle(w, "Аварии (2)"));
        EXPECT_EQ(U8(w.alarms_.Text()), "e0 - Ошибка инициализации сенсора MIPEX\ne2 - Сенсор MIPEX неисправен\n");
        EXPECT_EQ(U8(w.warnings_title_.Text()), "Предупреждения (0)");
        EXPECT_EQ(U8(w.warnings_.Text()), "");
        // Each list sits 2 points under its title bar, the warnings' bar 20
        // points under the alarm list, and the two lines need more height than one.
        EXPECT_EQ(w.alarms_.Top(), w.alarms_title_.Bottom() + 2);
        EXPECT_EQ(w.alarms_.Width(), w.alarms_title_.Width());
        EXPECT_EQ(w.warnings_title_.Top(), w.alarms_.Bottom() + 20);
        EXPECT_EQ(w.warnings_.Top(), w.warnings_title_.Bottom() + 2);
        const int two_lines = w.alarms_.Height();
        const ustring_t one = u"e0\n";
        EXPECT_GT(two_lines, w.alarms_.PreferredSize(&one, w.alarms_.Width()).y);

        // Bit 20 has no text: it counts, and the list is empty; the
        // warnings move up with the shorter list. A warning mask with a bit
        // past the texts counts it too.
        SetMask(kAlarmMaskReg, 1u << 20);
        SetMask(kWarningMaskReg, (1u << 2) | (1u << 31));
        ASSERT_TRUE(WaitForTitle(w, "Аварии (1)"));
        ASSERT_TRUE(RefreshUntil(
            w, [&] { return U8(w.warnings_title_.Text()) == "Предупреждения (2)"; }, kPollLimitMs));
        EXPECT_EQ(U8(w.alarms_.Text()), "");
        EXPECT_LT(w.alarms_.Height(), two_lines);
        EXPECT_EQ(w.warnings_title_.Top(), w.alarms_.Bottom() + 20);
        EXPECT_EQ(U8(w.warnings_.Text()), "w2 - Выполняется инициализация\n");

        // The longest alarm text wraps: its list grows past one line.
        SetMask(kAlarmMaskReg, 1u << 1);
        ASSERT_TRUE(RefreshUntil(w, [&] { return U8(w.alarms_.Text()).rfind("e1 - ", 0) == 0; }, kPollLimitMs));
        const ustring_t e1 = codes::ErrorBitText(1);
        EXPECT_GE(w.alarms_.Height(), w.alarms_.PreferredSize(&e1, w.alarms_.Width()).y);
        EXPECT_LE(w.alarms_.Right(), w.Width());

        // The device stops answering: both counts drop to 0 at once, the
        // lists follow once the link marks the masks not read.
        sim_->set_fault(sim::Fault_t::kSilent);
        ASSERT_TRUE(RefreshUntil(
            w, [&] { return U8(w.alarms_title_.Text()) == "Аварии (0)" && U8(w.alarms_.Text()).empty(); }, kPollLimitMs));
        EXPECT_EQ(U8(w.warnings_title_.Text()), "Предупреждения (0)");
        EXPECT_EQ(U8(w.warnings_.Text()), "");
    });
}

TEST_F(AlarmsWindow, WithoutAConnectionTheCountsAreZeroButAReadMaskStillShows) {
    StartLine(sim::Options_t{});
    InWindow<GAlarms>([&](auto&, GAlarms& w) {
        // The port is closed, the masks still marked read from before.
        G_.params.alarms_mask.publish(0b1000, 1);
        G_.params.warnings_mask.publish(0b1, 1);
        w.Refresh();
        EXPECT_EQ(U8(w.alarms_title_.Text()), "Аварии (0)");
        EXPECT_EQ(U8(w.warnings_title_.Text()), "Предупреждения (0)");
        EXPECT_EQ(U8(w.alarms_.Text()), "e3 - Сенсор MIPEX не отвечает\n");
        EXPECT_EQ(U8(w.warnings_.Text()), "w0 - Пониженная точность измерения\n");
        G_.params.invalidate_all();
        w.Refresh();
        EXPECT_EQ(U8(w.alarms_.Text()), "");
    });
}
