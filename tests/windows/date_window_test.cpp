// The device clock window and its packing: the validation (calendar, the
// century), the BCD bytes on the line, following the device clock until an
// edit, cancel, and the computer's time plus one second.
#include <chrono>

#include "settings_fixture.h"
#include "sim/device.h"
#include "windows/date_window.h"

using namespace settings_test;

namespace {

clock_fields_t F(int64_t y, int64_t mo, int64_t d, int64_t h = 12, int64_t mi = 0, int64_t s = 0) {
    return {y, mo, d, h, mi, s};
}

void Type(GDate& w, const clock_fields_t& f) {
    w.in_year_.Enter(f.year);
    w.in_month_.Enter(f.month);
    w.in_day_.Enter(f.day);
    w.in_hour_.Enter(f.hour);
    w.in_minute_.Enter(f.minute);
    w.in_second_.Enter(f.second);
}

class DateWindow : public SettingsWindowTest {};

}  // namespace

TEST(ClockFields, CenturyCalendarAndRanges) {
    EXPECT_TRUE(ValidClockFields(F(18, 6, 15)));
    EXPECT_TRUE(ValidClockFields(F(2018, 6, 15)));
    EXPECT_TRUE(ValidClockFields(F(0, 1, 1, 0, 0, 0)));
    EXPECT_TRUE(ValidClockFields(F(2099, 12, 31, 23, 59, 59)));
    // The device holds the year within the century: 100 and 2100 would run as 2000.
    EXPECT_FALSE(ValidClockFields(F(100, 1, 1)));
    EXPECT_FALSE(ValidClockFields(F(2100, 1, 1)));
    EXPECT_FALSE(ValidClockFields(F(1999, 1, 1)));
    EXPECT_FALSE(ValidClockFields(F(-1, 1, 1)));
    EXPECT_FALSE(ValidClockFields(F(2018, 4, 31)));
    EXPECT_FALSE(ValidClockFields(F(2023, 2, 29)));
    EXPECT_TRUE(ValidClockFields(F(2024, 2, 29)));
    EXPECT_TRUE(ValidClockFields(F(24, 2, 29)));
    EXPECT_FALSE(ValidClockFields(F(2018, 12, 32, 24, 65, 5))) << "the layout's values";
    EXPECT_FALSE(ValidClockFields(F(2018, 6, 15, 24, 0, 0)));
    EXPECT_FALSE(ValidClockFields(F(2018, 6, 15, 23, 60, 0)));
    EXPECT_FALSE(ValidClockFields(F(2018, 0, 15)));
    EXPECT_FALSE(ValidClockFields(F(2018, 6, 15, 0, 0, 60)));

    // Year 18 and 2018 give the same year byte; BCD puts tens in the high nibble.
    EXPECT_EQ(ClockBytes(F(18, 6, 15, 9, 5, 7)), ClockBytes(F(2018, 6, 15, 9, 5, 7)));
    EXPECT_EQ(ClockBcdValue(ClockBytes(F(2018, 6, 15, 9, 5, 7))), 0x070509150618ull);
    EXPECT_EQ(ClockBcdValue(ClockBytes(F(2099, 12, 31, 23, 59, 59))), 0x595923311299ull);
}

TEST(ClockFields, OneSecondLaterCarriesThroughTheCalendar) {
    auto later = [](int y, int mo, int d, int h, int mi, int s) {
        plat::LocalTime_t t;
        t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
        const clock_fields_t f = OneSecondLater(t);
        return std::vector<int64_t>{f.year, f.month, f.day, f.hour, f.minute, f.second};
    };
    EXPECT_EQ(later(2025, 3, 10, 23, 59, 59), (std::vector<int64_t>{2025, 3, 11, 0, 0, 0}));
    EXPECT_EQ(later(2023, 12, 31, 23, 59, 59), (std::vector<int64_t>{2024, 1, 1, 0, 0, 0}));
    EXPECT_EQ(later(2024, 2, 28, 23, 59, 59), (std::vector<int64_t>{2024, 2, 29, 0, 0, 0}));
    EXPECT_EQ(later(2023, 2, 28, 23, 59, 59), (std::vector<int64_t>{2023, 3, 1, 0, 0, 0}));
    EXPECT_EQ(later(2025, 6, 1, 10, 20, 30), (std::vector<int64_t>{2025, 6, 1, 10, 20, 31}));
}

TEST_F(DateWindow, FollowsTheDeviceClockUntilEditedAndWritesTheFieldsAsBcd) {
    start_open(HeldBy(2));
    InWindow<GDate>([&](auto& form, GDate& w) {
        EXPECT_EQ(text::utf8(form.Title()), "Дата / Время");
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.in_year_.Value() >= 2025 && w.table_.IsEnabled(); }));
        EXPECT_EQ(text::utf8(w.in_year_.Text()).size(), 4u);
        EXPECT_FALSE(w.bt_apply_.IsEnabled());
        EXPECT_FALSE(w.bt_cancel_.IsEnabled());
        EXPECT_EQ(text::utf8(w.bt_apply_local_time_.Caption()).rfind("Применить текущее время ", 0), 0u);

        // Typing stops the following; the device's clock keeps running.
        Type(w, F(18, 6, 15, 9, 5, 7));
        EXPECT_TRUE(w.Editing());
        w.Refresh();
        EXPECT_TRUE(w.bt_apply_.IsEnabled());
        EXPECT_EQ(w.in_year_.Value(), 18) << "the refresh leaves the typed fields";
        EXPECT_EQ(text::utf8(w.in_year_.Text()), "0018");
        EXPECT_EQ(text::utf8(w.in_minute_.Text()), "05");

        w.Apply();
        EXPECT_FALSE(w.Editing());
        w.Refresh();
        EXPECT_EQ(w.in_month_.Value() * 100 + w.in_day_.Value(), 615) << "the written clock is held until read back";
        EXPECT_EQ(w.in_year_.Value() % 100, 18);
        ASSERT_TRUE(wait_status("Параметр \"Дата и время\" установлен\nНастройки сохранены")) << all_status();
        EXPECT_EQ(reg(sim::reg::kClock), 0x0618) << "year 18 is byte 0x18, month 6";
        EXPECT_EQ(reg(sim::reg::kClock + 1), 0x0915);
        // The device clock runs from what was written; the window follows it again.
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.in_year_.Value() == 2018 && w.in_day_.Value() == 15; }));

        // The full year writes the same year byte.
        Type(w, F(2019, 7, 1, 8, 0, 0));
        w.Apply();
        ASSERT_TRUE(poll_for([&] { return reg(sim::reg::kClock) == 0x0719; }));
        EXPECT_TRUE(texts_.errors.empty());
    });
}

TEST_F(DateWindow, InvalidDatesAreRefusedAndCancelBringsTheDeviceClockBack) {
    start_open(HeldBy(2));
    InWindow<GDate>([&](auto&, GDate& w) {
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.in_year_.Value() >= 2025; }));
        const uint16_t before = reg(sim::reg::kClock);
        for (const clock_fields_t& bad : {F(2100, 1, 1), F(100, 1, 1), F(2018, 4, 31), F(2023, 2, 29)}) {
            const size_t errors = texts_.errors.size();
            Type(w, bad);
            w.Apply();
            ASSERT_TRUE(wait_for([&] { return texts_.errors.size() > errors; }));
            EXPECT_EQ(texts_.errors.back(), "Некорректная дата/время");
            EXPECT_TRUE(w.Editing()) << "the typed fields stay for correcting";
        }
        poll_for([] { return false; }, 200);
        EXPECT_FALSE(saw_status_starting("Установка параметра")) << all_status();
        EXPECT_EQ(reg(sim::reg::kClock), before);

        // 29 February of a leap year is a date.
        Type(w, F(2024, 2, 29, 23, 0, 0));
        w.Apply();
        ASSERT_TRUE(poll_for([&] { return reg(sim::reg::kClock) == 0x0224; }));

        // An edit abandoned with cancel: the device clock shows again.
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.in_year_.Value() == 2024 && w.in_day_.Value() == 29; }));
        const int clears = texts_.clears;
        Type(w, F(2030, 1, 2));
        w.Cancel();
        EXPECT_FALSE(w.Editing());
        EXPECT_EQ(w.in_year_.Value(), 2024) << "the device's clock, or the one written to it";
        EXPECT_EQ(w.in_month_.Value(), 2);
        ASSERT_TRUE(wait_for([&] { return texts_.clears > clears; }));
    });
}

TEST_F(DateWindow, TheComputersTimeIsWrittenOneSecondAheadAndTheLayoutValuesAreRefused) {
    start(HeldBy(2));
    InWindow<GDate>([&](auto&, GDate& w) {
        // Before the device clock has been read the fields hold the layout's
        // impossible values.
        EXPECT_EQ(text::utf8(w.in_day_.Text()), "32");
        EXPECT_EQ(text::utf8(w.in_year_.Text()), "2018");
        w.Apply();
        ASSERT_TRUE(wait_error("Некорректная дата/время"));
        ASSERT_TRUE(OpenPort());

        ASSERT_TRUE(RefreshUntil(w, [&] { return w.bt_apply_local_time_.IsEnabled(); }));
        ASSERT_TRUE(sim_->set_register(1, sim::reg::kClock, 0x0101));  // far from now: 2001
        w.ApplyLocalTime();
        ASSERT_TRUE(wait_status("Параметр \"Дата и время\" установлен\nНастройки сохранены")) << all_status();
        uint16_t words[3];
        for (int i = 0; i < 3; ++i) words[i] = reg(uint16_t(sim::reg::kClock + i));
        int64_t device = 0;
        ASSERT_TRUE(sim::clock_from_words(words, device));
        const plat::LocalTime_t now = plat::local_time();
        using namespace std::chrono;
        const int64_t local =
            duration_cast<seconds>(sys_days(year(now.year) / month(unsigned(now.month)) / day(unsigned(now.day))) -
                                   sys_days(year(2000) / January / 1))
                .count() +
            now.hour * 3600 + now.minute * 60 + now.second;
        EXPECT_LE(std::abs(device - local), 5) << "the device runs on the computer's local time";
    });
}

TEST_F(DateWindow, WithoutTheModeTheFieldsAreLockedAndTheButtonAsksForIt) {
    start_open();  // nobody holds the mode
    InWindow<GDate>([&](auto&, GDate& w) {
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.bt_ss_enable_.IsVisible(); }));
        EXPECT_FALSE(w.table_.IsEnabled());
        EXPECT_FALSE(w.bt_apply_local_time_.IsEnabled());
        w.bt_ss_enable_.OnClick(&w.bt_ss_enable_);
        ASSERT_TRUE(wait_status("Режим наладки включен")) << all_status();
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.table_.IsEnabled() && !w.bt_ss_enable_.IsVisible(); }));
    });
}
