// The device search over the simulated line: every address 1..254 asked with
// real frames, detectors and a foreign device listed, the block address
// restored afterwards, stop and choose.
#include "windows/connection_window.h"

#include "fixture.h"

using namespace win_test;

namespace {

std::string u8(const ustring_t& s) { return text::utf8(s); }

// Short timeouts keep the 250 silent addresses quick.
constexpr uint16_t kTimeoutMs = 25;
constexpr uint8_t kBlockBefore = 17;
constexpr int kSearchLimitMs = 120000;

class SearchPanel : public WindowTest {};

}  // namespace

TEST_F(SearchPanel, FindsTwoDetectorsAndAForeignDeviceAndRestoresTheBlockAddress) {
    sim::Options_t o;
    o.addresses = {1, 3};
    o.foreign = {5};
    StartLine(o, kTimeoutMs, kBlockBefore);
    InLoop([&] {
        // The whole window: its connection panel refreshes from the settings
        // in force every second while the search changes them on the worker.
        GConnectionForm form;
        GScanner& s = form.Scanner();
        EXPECT_EQ(u8(s.bt_scanstop_.Caption()), "Начать\nпоиск");
        EXPECT_EQ(u8(s.label_found_.Text()), "Обнаружено: 0");

        s.StartStop();
        EXPECT_TRUE(s.IsRunning());
        EXPECT_EQ(u8(s.bt_scanstop_.Caption()), "Остановить поиск");
        EXPECT_EQ(u8(s.label_found_.Text()), "Найдено: 0");
        // Choosing while the search runs does nothing.
        ASSERT_TRUE(WaitFor([&] { return s.list_.Count() >= 1; }, kSearchLimitMs));
        s.Choose(0);
        ASSERT_TRUE(WaitFor(
            [&] {
                form.Tick();
                return !s.IsBusy();
            },
            kSearchLimitMs));

        EXPECT_FALSE(s.IsRunning());
        EXPECT_EQ(u8(s.bt_scanstop_.Caption()), "Повторить\nпоиск");
        EXPECT_EQ(s.progress_.Position(), 0);
        EXPECT_EQ(u8(s.counter_.Text()), "254");
        ASSERT_EQ(s.list_.Count(), 3);
        ASSERT_EQ(G_.found_devices.count(), 3u);
        const uint32_t n1 = sim_->factory_serial(1), n3 = sim_->factory_serial(3);
        EXPECT_EQ(u8(s.list_.Item(0)), "ID:1 - ЛУМА-10 [с/н: " + std::to_string(n1) + "]");
        EXPECT_EQ(u8(s.list_.Item(1)), "ID:3 - ЛУМА-10 [с/н: " + std::to_string(n3) + "]");
        const std::string foreign = u8(s.list_.Item(2));
        EXPECT_EQ(foreign.rfind("ID: 5 - неизвестное устройство\n(Отклик: ", 0), 0u) << foreign;
        EXPECT_EQ(foreign.back(), ')');
        EXPECT_EQ(G_.found_devices[0].address, 1u);
        EXPECT_EQ(G_.found_devices[0].serial_number, n1);
        EXPECT_EQ(G_.found_devices[1].address, 3u);
        EXPECT_EQ(G_.found_devices[2].address, 5u);
        EXPECT_EQ(G_.found_devices[2].serial_number, 0u);
        EXPECT_EQ(u8(s.label_found_.Text()), "Найдено: 3");

        // The settings in force before the search are back, the port open.
        EXPECT_EQ(G_.connection_settings().block_id, kBlockBefore);
        EXPECT_EQ(link_->default_slave(), kBlockBefore);
        EXPECT_TRUE(G_.is_port_open());

        // Every address was reported on the status line.
        ASSERT_TRUE(WaitFor([&] { return texts_.status.size() >= 254; }));
        EXPECT_EQ(texts_.status[0], "Поиск. ID: 1 - ЛУМА [с/н: " + std::to_string(n1) + "]");
        EXPECT_EQ(texts_.status[1].rfind("Поиск. ID: 2 - устройство отсутствует\n(", 0), 0u) << texts_.status[1];
        EXPECT_EQ(texts_.status[4].rfind("Поиск. ID: 5 - неизвестное устройство\n(Отклик: ", 0), 0u);

        // Choosing the foreign device connects to its address.
        s.Choose(2);
        EXPECT_EQ(G_.connection_settings().block_id, 5);
        EXPECT_TRUE(G_.is_port_open());
        EXPECT_EQ(s.list_.SelectedIndex(), s.list_.Count()) << "no entry stays highlighted";
    });
}

TEST_F(SearchPanel, StopKeepsWhatWasFoundAndARestartAtOnceRunsOneWholeSearch) {
    sim::Options_t o;
    o.addresses = {1};
    StartLine(o, kTimeoutMs, kBlockBefore);
    InLoop([&] {
        GScanner s;
        auto found_one_at_three = [&] { return s.list_.Count() == 1 && u8(s.counter_.Text()) == "3"; };
        s.Start();
        ASSERT_TRUE(WaitFor(found_one_at_three, kSearchLimitMs));
        s.StartStop();
        EXPECT_FALSE(s.IsRunning());
        EXPECT_EQ(u8(s.bt_scanstop_.Caption()), "Повторить\nпоиск");
        ASSERT_TRUE(WaitFor([&] { return !s.IsBusy(); }));
        EXPECT_LT(texts_.status.size(), 10u) << "the search ended early";
        EXPECT_EQ(s.list_.Count(), 1);
        EXPECT_EQ(G_.connection_settings().block_id, kBlockBefore);

        s.Choose(0);
        EXPECT_EQ(G_.connection_settings().block_id, 1);
        EXPECT_TRUE(G_.is_port_open());
        EXPECT_EQ(G_.connection_settings().timeout, kTimeoutMs);
        s.Choose(5);  // no such entry
        EXPECT_EQ(G_.connection_settings().block_id, 1);

        // Stop and start again before the stopped task has finished its
        // address: the stopped task must not carry on, nor end the new one.
        s.Start();
        ASSERT_TRUE(WaitFor(found_one_at_three, kSearchLimitMs));
        s.Stop();
        s.Start();
        EXPECT_TRUE(s.IsBusy());
        ASSERT_TRUE(WaitFor([&] { return !s.IsBusy(); }, kSearchLimitMs));
        EXPECT_FALSE(s.IsRunning());
        EXPECT_EQ(u8(s.counter_.Text()), "254");
        EXPECT_EQ(s.list_.Count(), 1);
        EXPECT_EQ(u8(s.label_found_.Text()), "Найдено: 1");
        EXPECT_EQ(G_.connection_settings().block_id, 1) << "the address chosen before the searches";
    });
}

TEST_F(SearchPanel, APortThatCannotOpenEndsTheSearchAtOnce) {
    StartLine({}, kTimeoutMs, kBlockBefore);
    ConnectionSettings none = G_.connection_settings();
    none.port_settings.port = 0;
    ASSERT_TRUE(G_.apply_connection_settings(none, nullptr));
    InLoop([&] {
        GScanner s;
        s.Start();
        ASSERT_TRUE(WaitFor([&] { return !s.IsBusy(); }));
        EXPECT_FALSE(s.IsRunning());
        EXPECT_EQ(u8(s.bt_scanstop_.Caption()), "Повторить\nпоиск");
        EXPECT_EQ(s.list_.Count(), 0);
        ASSERT_TRUE(WaitFor([&] { return !texts_.errors.empty(); }));
        EXPECT_EQ(texts_.errors[0].rfind("Поиск. Открытие порта\nCOM-порт: ", 0), 0u) << texts_.errors[0];
        EXPECT_TRUE(texts_.status.empty());
    });
}
