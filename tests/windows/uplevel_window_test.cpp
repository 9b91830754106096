// The device link settings window against the simulated detector: the
// questions, the change procedure for the speed and the address (a device
// that switches after its reply, one that switches before it, one that stops
// answering), the WiFi commands, and the range checks of the WiFi channel and
// the HART address.
#include <atomic>
#include <fstream>
#include <memory>
#include <sstream>

#include "settings_fixture.h"
#include "sim/device.h"
#include "windows/uplevel_window.h"

using namespace settings_test;

namespace {

// Answers the next question with the button of flag and keeps its text.
struct Answerer {
    std::shared_ptr<int> asked = std::make_shared<int>(0);
    std::shared_ptr<std::string> text = std::make_shared<std::string>();
    std::shared_ptr<bool> active = std::make_shared<bool>(true);

    void answer(unsigned flag) {
        auto asked_ = asked;
        auto text_ = text;
        auto active_ = active;
        *active = true;
        // The answerer keeps the loop alive; the loop holds itself only
        // weakly, so nothing is left behind once the answerer is gone.
        auto self = std::make_shared<std::function<void()>>();
        loop_ = self;
        std::weak_ptr<std::function<void()>> weak = self;
        *self = [asked_, text_, active_, flag, weak] {
            if (!*active_) return;
            auto forms = UIK::GForm::ShownForms();
            if (!forms.empty())
                if (auto* box = dynamic_cast<UIK::GMsgBox*>(forms.back())) {
                    ++*asked_;
                    *text_ = text::utf8(box->Text());
                    *active_ = false;
                    box->Button(flag)->PerformClick();
                    return;
                }
            if (auto again = weak.lock()) UIK::App::Defer(*again);
        };
        UIK::App::Defer(*self);
    }
    ~Answerer() { *active = false; }
    std::shared_ptr<std::function<void()>> loop_;
};

class UplevelWindow : public SettingsWindowTest {
protected:
    bool wait_ready(GUplevelConnection& w) {
        return RefreshUntil(w, [&] {
            return w.ssSpeed_.SelectedIndex() == 3 && w.modbus_id_.HasValue() && w.wifi_channel_.HasValue() &&
                   w.hart_id_.HasValue() && w.ssSpeed_.IsEnabled();
        });
    }
    bool wait_text(GUplevelConnection& w, const std::string& t, int ms = kWaitMs) {
        return poll_for([&] { return text::utf8(w.status_.Text()) == t; }, ms);
    }
};

const std::string kSpeedQuestion = "Изменение скорости соединения приведёт к потере связи с устройством.\nПродолжить?";

}  // namespace

TEST_F(UplevelWindow, NoLeavesEverythingAndYesChangesTheSpeedOfBothSides) {
    start_open(HeldBy(2));
    InWindow<GUplevelConnection>([&](auto& form, GUplevelConnection& w) {
        EXPECT_EQ(text::utf8(form.Title()), "Настройка RS485, WiFi и HART");
        ASSERT_TRUE(wait_ready(w));
        EXPECT_EQ(w.modbus_id_.Value(), 1);
        EXPECT_EQ(w.wifi_channel_.Value(), 6);
        EXPECT_EQ(text::utf8(w.wifi_state_.Text()), "Wifi отключен");

        Answerer a;
        a.answer(UIK::kMsgNo);
        w.ssSpeed_.SetSelectedIndex(5);
        EXPECT_EQ(*a.asked, 1);
        EXPECT_EQ(*a.text, kSpeedQuestion);
        w.Refresh();
        EXPECT_EQ(w.ssSpeed_.SelectedIndex(), 3) << "the device's speed shows again at once";
        poll_for([] { return false; }, 300);
        EXPECT_EQ(reg(sim::reg::kModbusBaud), 3);
        EXPECT_EQ(G_.connection_settings().port_settings.speed, 9600u);
        EXPECT_TRUE(texts_.status.empty()) << all_status();

        a.answer(UIK::kMsgYes);
        w.ssSpeed_.SetSelectedIndex(4);
        ASSERT_TRUE(wait_text(w, "Параметр \"Скорость Modbus RTU\" установлен\nНастройки сохранены"))
            << all_status();
        EXPECT_TRUE(saw_status("Установка параметра \"Скорость Modbus RTU\"..."));
        EXPECT_TRUE(saw_status("Параметр \"Скорость Modbus RTU\" установлен\nНеобходимо изменить настройки драйвера..."));
        EXPECT_TRUE(saw_status("Настройки драйвера изменены в соответствии с параметром \"Скорость Modbus "
                               "RTU\"\nСохраняем настройки..."));
        EXPECT_EQ(sim_->speed(), 19200u);
        EXPECT_EQ(G_.connection_settings().port_settings.speed, 19200u);
        EXPECT_TRUE(G_.is_port_open());
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.ssSpeed_.SelectedIndex() == 4; }));
        EXPECT_TRUE(texts_.errors.empty());

        // The settings in force are what the configuration file gets at exit.
        const std::string file = std::string(std::getenv("LUMA10_CONFIG_DIR")) + "/uplevel.json";
        G_.save_config(file);
        std::stringstream saved;
        saved << std::ifstream(file).rdbuf();
        EXPECT_NE(saved.str().find("19200"), std::string::npos) << saved.str();
    });
}

TEST_F(UplevelWindow, ADeviceThatSwitchesBeforeItsReplyEndsSaved) {
    sim::Options_t o = HeldBy(2);
    o.switch_early = true;
    start_open(o);
    InWindow<GUplevelConnection>([&](auto&, GUplevelConnection& w) {
        ASSERT_TRUE(wait_ready(w));
        Answerer a;
        a.answer(UIK::kMsgYes);
        w.ssSpeed_.SetSelectedIndex(6);  // 57600
        ASSERT_TRUE(wait_text(w, "Настройки сохранены")) << all_status();
        EXPECT_TRUE(saw_status_starting("Не известно, был ли параметр установлен \"Скорость Modbus RTU\"\n("))
            << all_status();
        EXPECT_TRUE(saw_status("Пробуем изменить настройки драйвера и проверить связь..."));
        EXPECT_TRUE(saw_status("Связь есть, значит параметр \"Скорость Modbus RTU\" был установлен\nСохраняем "
                               "настройки..."));
        EXPECT_EQ(G_.connection_settings().port_settings.speed, 57600u);
        EXPECT_TRUE(texts_.errors.empty());

        // The address the same way: the device answers from the new one.
        a.answer(UIK::kMsgYes);
        w.modbus_id_.Enter(17);
        ASSERT_TRUE(poll_for([&] { return G_.connection_settings().block_id == 17; }));
        ASSERT_TRUE(wait_text(w, "Настройки сохранены")) << all_status();
        EXPECT_EQ(*a.text, "Изменение Modbus адреса приведёт к потере связи с устройством.\nПродолжить?");
        uint16_t v = 0;
        EXPECT_TRUE(sim_->get_register(17, sim::reg::kModbusId, v));
        EXPECT_EQ(v, 17);
    });
}

TEST_F(UplevelWindow, AddressesOutsideTheRangeAreIgnoredAndADeviceThatStopsAnsweringClosesThePort) {
    sim::Options_t o = HeldBy(2);
    // Set below: the device goes silent at the write of its address.
    std::atomic<bool> die_at_address_write{false};
    // The hook runs on the simulator's thread: it reaches the simulator
    // through its own pointer, never through sim_, which the body resets.
    std::atomic<sim::Simulator_t*> simulator{nullptr};
    o.on_request = [&](const std::vector<uint8_t>& f) {
        sim::Simulator_t* s = simulator.load();
        if (s && die_at_address_write && f.size() > 4 && f[1] == 0x10 && unsigned(f[2] << 8 | f[3]) == sim::reg::kModbusId)
            s->set_fault(sim::Fault_t::kSilent);
    };
    start_open(o);
    simulator = sim_.get();
    InWindow<GUplevelConnection>([&](auto&, GUplevelConnection& w) {
        ASSERT_TRUE(wait_ready(w));
        Answerer a;
        a.answer(UIK::kMsgNo);
        w.modbus_id_.Enter(0);
        w.modbus_id_.Enter(248);
        EXPECT_EQ(*a.asked, 0) << "no question for an address outside 1..247";
        // The keypad refuses them itself, naming the caption's range.
        EXPECT_EQ(w.modbus_id_.RangeText(), u"от 1 до 247");
        EXPECT_EQ(w.modbus_id_.Prompt(), u"Адрес в Modbus (1..247)");
        w.modbus_id_.Enter(247);
        EXPECT_EQ(*a.asked, 1);
        EXPECT_EQ(reg(sim::reg::kModbusId), 1);

        // The device stops answering at the write: the write and the
        // read-backs at the new address and at the old one fail.
        die_at_address_write = true;
        a.answer(UIK::kMsgYes);
        w.modbus_id_.Enter(9);
        ASSERT_TRUE(poll_for([&] { return !texts_.errors.empty(); })) << all_status();
        EXPECT_EQ(texts_.errors.back().rfind("Связь разорвана. Отключаем драйвер.\n(Modbus-драйвер. ", 0), 0u)
            << texts_.errors.back();
        ASSERT_TRUE(poll_for([&] { return !G_.is_port_open(); }));
        EXPECT_EQ(G_.connection_settings().block_id, 9) << "switched before the check";
        EXPECT_FALSE(G_.params.ModbusSettings_Id.is_read());
        ASSERT_TRUE(wait_text(w, ""));
        poll_for([] { return false; }, 300);
        EXPECT_EQ(texts_.clears, 0) << "the message panel keeps the message";
        w.Refresh();
        EXPECT_EQ(w.ssSpeed_.SelectedIndex(), -1);
        EXPECT_FALSE(w.ssSpeed_.IsEnabled());
        EXPECT_FALSE(w.wifi_enable_.IsEnabled());
    });
    sim_.reset();  // its request hook refers to this body
}

TEST_F(UplevelWindow, WifiCommandsAndTheRangesOfChannelAndHartAddress) {
    start_open(HeldBy(2));
    InWindow<GUplevelConnection>([&](auto&, GUplevelConnection& w) {
        ASSERT_TRUE(wait_ready(w));
        EXPECT_TRUE(w.wifi_enable_.IsEnabled());
        EXPECT_FALSE(w.wifi_disable_.IsEnabled());
        w.wifi_enable_.OnClick(&w.wifi_enable_);
        ASSERT_TRUE(wait_status("Команда \"Включение WiFi\" отправлена")) << all_status();
        EXPECT_EQ(reg(sim::reg::kWifiEnabled), 1);
        ASSERT_TRUE(RefreshUntil(w, [&] { return text::utf8(w.wifi_state_.Text()) == "Wifi включен"; }));
        EXPECT_TRUE(w.wifi_disable_.IsEnabled());
        EXPECT_FALSE(w.wifi_enable_.IsEnabled());
        w.wifi_disable_.OnClick(&w.wifi_disable_);
        ASSERT_TRUE(wait_status("Команда \"Отключение WiFi\" отправлена")) << all_status();
        EXPECT_EQ(reg(sim::reg::kWifiEnabled), 0);

        // The entry forms refuse what the captions exclude; values entered
        // otherwise are put back and nothing is written.
        EXPECT_EQ(w.wifi_channel_.Minimum(), 1);
        EXPECT_EQ(w.wifi_channel_.Maximum(), 12);
        EXPECT_EQ(w.hart_id_.Minimum(), 0);
        EXPECT_EQ(w.hart_id_.Maximum(), 15);
        for (int64_t bad : {-1, 0, 13}) {
            w.wifi_channel_.Enter(bad);
            EXPECT_EQ(w.wifi_channel_.Value(), 6) << bad;
        }
        for (int64_t bad : {-1, 16}) {
            w.hart_id_.Enter(bad);
            EXPECT_EQ(w.hart_id_.Value(), 0) << bad;
        }
        poll_for([] { return false; }, 300);
        EXPECT_FALSE(saw_status_starting("Установка параметра")) << all_status();

        w.wifi_channel_.Enter(12);
        ASSERT_TRUE(wait_status("Параметр \"Номер канала WiFi\" установлен\nНастройки сохранены")) << all_status();
        EXPECT_EQ(reg(sim::reg::kWifiChannel), 12);
        w.hart_id_.Enter(15);
        ASSERT_TRUE(wait_status("Параметр \"Адрес HART\" установлен\nНастройки сохранены")) << all_status();
        EXPECT_EQ(reg(sim::reg::kHartId), 15);
    });
}

TEST_F(UplevelWindow, InputsNeedTheModeAndTheButtonShowsOnlyWhileNobodyHoldsIt) {
    start_open(HeldBy(3));  // HART holds it
    InWindow<GUplevelConnection>([&](auto&, GUplevelConnection& w) {
        // (Controls of an earlier test's window at the same addresses may
        // still be held for a moment: the hold-off table is the process's.)
        const std::initializer_list<UIK::GControl*> inputs{&w.ssSpeed_, &w.modbus_id_, &w.wifi_channel_, &w.hart_id_};
        EXPECT_TRUE(RefreshUntil(w, [&] {
            bool any = false;
            for (UIK::GControl* c : inputs) any = any || c->IsEnabled();
            return w.ssSpeed_.SelectedIndex() == 3 && G_.params.adjustment_mode_owner.read_equals(3) && !any;
        }));
        EXPECT_FALSE(w.bt_ss_enable_.IsVisible());
        ASSERT_TRUE(sim_->set_owner(1, 0));
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.bt_ss_enable_.IsVisible(); }));
        EXPECT_FALSE(w.hart_id_.IsEnabled());
    });
}

// A speed code no item stands for is named invalid, not shown as nothing.
TEST_F(UplevelWindow, ASpeedCodePastTheTableIsNamedInvalid) {
    start_open(HeldBy(2));
    ASSERT_TRUE(sim_->set_register(1, sim::reg::kModbusBaud, 9));
    InWindow<GUplevelConnection>([&](auto&, GUplevelConnection& w) {
        EXPECT_TRUE(RefreshUntil(w, [&] { return w.ssSpeed_.SelectedIndex() == 9; }));
        EXPECT_EQ(text::utf8(w.ssSpeed_.ShownText()), "недопустимый код скорости 9");
    });
}
