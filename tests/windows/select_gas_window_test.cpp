// The gas selection window against the simulated detector: gases without a
// coefficient marked and refused, the choice written, the coefficient entries
// filtered, written and held against refreshes for two seconds.
#include <cmath>
#include <cstring>

#include "settings_fixture.h"
#include "sim/device.h"
#include "windows/select_gas_window.h"

using namespace settings_test;

namespace {

class SelectGasWindow : public SettingsWindowTest {
protected:
    // Sets coefficient i (1..14) of the simulated detector.
    void set_coefficient(int i, float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        const uint16_t r = uint16_t(sim::reg::kGasCoeffs + 2 * (i - 1));
        ASSERT_TRUE(sim_->set_register(1, r, uint16_t(bits & 0xFFFF)));
        ASSERT_TRUE(sim_->set_register(1, uint16_t(r + 1), uint16_t(bits >> 16)));
    }
    float coefficient(int i) {
        const uint16_t r = uint16_t(sim::reg::kGasCoeffs + 2 * (i - 1));
        const uint32_t bits = uint32_t(reg(r)) | uint32_t(reg(uint16_t(r + 1))) << 16;
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    }
    // Refreshes until the coefficients have been read.
    bool wait_read(GSelectGas& w) {
        return RefreshUntil(w, [&] { return G_.params.coeffs_gas14.is_read() && G_.params.mipex_work_gas.is_read(); });
    }
};

}  // namespace

TEST_F(SelectGasWindow, AGasWithoutACoefficientIsMarkedAndRefusedAndAnotherIsWritten) {
    start(HeldBy(2));
    InWindow<GSelectGas>([&](auto&, GSelectGas& w) {
        EXPECT_EQ(w.list_.Count(), 15);
        w.Refresh();
        EXPECT_EQ(text::utf8(w.list_.SelectedText()), "Пропан") << "no connection";
        EXPECT_FALSE(w.Coefficient(0).IsEditable());
        EXPECT_EQ(text::utf8(w.Coefficient(0).Text()), " 1.000");

        // Set before the port opens, so that no read of the old value can
        // count as the window's first.
        set_coefficient(1, 0.0f);
        ASSERT_TRUE(OpenPort());
        ASSERT_TRUE(wait_read(w));
        EXPECT_EQ(text::utf8(w.list_.Item(0)), "Пропан");
        EXPECT_EQ(text::utf8(w.list_.Item(1)), "Метан (нет калибровки)");
        EXPECT_EQ(text::utf8(w.list_.Item(2)), "Этан");
        EXPECT_EQ(text::utf8(w.list_.Item(14)), "Оксид этилена (нет калибровки)") << "the device has none for it";
        EXPECT_EQ(text::utf8(w.Coefficient(2).Text()), " 0.650");
        EXPECT_TRUE(w.list_.IsEnabled());

        // Метан is refused, nothing is written, the list shows the device's gas.
        w.list_.SetSelectedIndex(1);
        ASSERT_TRUE(wait_error("Нельзя выбрать газ \"Метан\" - отсутствует корректировочный коэффициент"));
        EXPECT_EQ(w.list_.SelectedIndex(), 0);
        EXPECT_FALSE(saw_status_starting("Установка")) << all_status();

        // Этан is written; the list keeps the choice while the write is under way.
        w.list_.SetSelectedIndex(2);
        w.Refresh();
        EXPECT_EQ(w.list_.SelectedIndex(), 2);
        ASSERT_TRUE(wait_status("Параметр \"Текущий газ\" установлен\nНастройки сохранены")) << all_status();
        EXPECT_EQ(reg(sim::reg::kWorkGas), 2);

        // Пропан needs no coefficient.
        w.list_.SetSelectedIndex(0);
        ASSERT_TRUE(poll_for([&] { return reg(sim::reg::kWorkGas) == 0; }));
    });
}

TEST_F(SelectGasWindow, CoefficientEntriesAreFilteredWrittenAndHeldForTwoSeconds) {
    start_open(HeldBy(2));
    InWindow<GSelectGas>([&](auto&, GSelectGas& w) {
        ASSERT_TRUE(wait_read(w));
        UIK::GInputDoubleLabel& etan = w.Coefficient(2);
        EXPECT_DOUBLE_EQ(etan.Value(), double(0.65f));

        // Negative and not-a-number entries put the present value back.
        etan.Enter(-0.5);
        EXPECT_DOUBLE_EQ(etan.Value(), double(0.65f));
        etan.Enter(std::nan(""));
        EXPECT_DOUBLE_EQ(etan.Value(), double(0.65f));
        etan.Enter(1e39);  // no float holds it
        EXPECT_DOUBLE_EQ(etan.Value(), double(0.65f));
        poll_for([] { return false; }, 300);
        EXPECT_FALSE(saw_status_starting("Установка параметра")) << "a refused entry writes nothing: " << all_status();

        // 0 is a value: written, and the gas then has no coefficient.
        etan.Enter(0.0);
        ASSERT_TRUE(wait_status("Параметр \"Коэффициент коррекции этана\" установлен\nНастройки сохранены"))
            << all_status();
        EXPECT_EQ(coefficient(2), 0.0f);
        EXPECT_EQ(coefficient(1), 0.5f) << "the other coefficients stay";
        ASSERT_TRUE(RefreshUntil(w, [&] { return text::utf8(w.list_.Item(2)) == "Этан (нет калибровки)"; }));
        const size_t errors = texts_.errors.size();
        w.list_.SetSelectedIndex(2);
        ASSERT_TRUE(wait_for([&] { return texts_.errors.size() > errors; }));
        EXPECT_EQ(texts_.errors.back(), "Нельзя выбрать газ \"Этан\" - отсутствует корректировочный коэффициент");

        // The device leaves the mode: an entry is not taken by the device, yet
        // its input shows the typed value for two seconds, then the device's.
        ASSERT_TRUE(sim_->set_owner(1, 0));
        UIK::GInputDoubleLabel& butane = w.Coefficient(3);
        butane.Enter(1.25);
        ASSERT_TRUE(poll_for([&] {
            for (const std::string& e : texts_.errors)
                if (e.rfind("Параметр \"Коэффициент коррекции н-бутана\" не был установлен\n(", 0) == 0) return true;
            return false;
        }));
        w.Refresh();
        EXPECT_DOUBLE_EQ(butane.Value(), 1.25);
        ASSERT_TRUE(RefreshUntil(w, [&] { return butane.Value() != 1.25; }));
        EXPECT_DOUBLE_EQ(butane.Value(), double(0.8f));
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.bt_ss_enable_.IsVisible(); }));
        EXPECT_FALSE(w.list_.IsEnabled());
        EXPECT_FALSE(w.Table().IsEnabled());
    });
}

// A working-gas index past the table is named invalid, not shown as nothing.
TEST_F(SelectGasWindow, AGasIndexPastTheTableIsNamedInvalid) {
    // Set before the port opens, so that no read of the old gas can count
    // as the window's first.
    start(HeldBy(2));
    ASSERT_TRUE(sim_->set_register(1, sim::reg::kWorkGas, 200));
    ASSERT_TRUE(OpenPort());
    InWindow<GSelectGas>([&](auto&, GSelectGas& w) {
        ASSERT_TRUE(wait_read(w));
        EXPECT_EQ(w.list_.SelectedIndex(), 200);
        EXPECT_EQ(text::utf8(w.list_.ShownText()), "недопустимый номер газа 200");
    });
}
