// The device search over the simulated line: every address 1..254 asked with
// real frames, detectors and a foreign device listed, the block address
// restored afterwards, stop and choose.
#include "windows/connection_window.h"

#include <cstdlib>

#include "fixture.h"

using namespace win_test;

namespace {

// Each silent address costs one time-out, so a whole search takes about 250
// of them: short enough to keep it within a minute, long enough that a
// detector held back by a loaded machine still answers in time (a late answer
// would drop it from the list).
constexpr uint16_t kTimeoutMs = 200;
constexpr uint8_t kBlockBefore = 17;
// A whole search under a sanitizer on a busy machine.
constexpr int kSearchLimitMs = 240000;

// The address the panel's counter shows; 0 before the first.
unsigned ShownAddress(const GScanner& s) { return unsigned(std::strtoul(U8(s.counter_.Text()).c_str(), nullptr, 10)); }

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
        EXPECT_EQ(U8(s.bt_scanstop_.Caption()), "Начать\nпоиск");
        EXPECT_EQ(U8(s.label_found_.Text()), "Обнаружено: 0");

        s.StartStop();
        EXPECT_TRUE(s.IsRunning());
        EXPECT_EQ(U8(s.bt_scanstop_.Caption()), "Остановить поиск");
        EXPECT_EQ(U8(s.label_found_.Text()), "Найдено: 0");
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
        EXPECT_EQ(U8(s.bt_scanstop_.Caption()), "Повторить\nпоиск");
        EXPECT_EQ(s.progress_.Position(), 0);
        EXPECT_EQ(U8(s.counter_.Text()), "254");
        ASSERT_EQ(s.list_.Count(), 3);
        ASSERT_EQ(G_.found_devices.count(), 3u);
        const uint32_t n1 = sim_->factory_serial(1), n3 = sim_->factory_serial(3);
        EXPECT_EQ(U8(s.list_.Item(0)), "ID:1 - ЛУМА-10 [с/н: " + std::to_string(n1) + "]");
        EXPECT_EQ(U8(s.list_.Item(1)), "ID:3 - ЛУМА-10 [с/н: " + std::to_string(n3) + "]");
        const std::string foreign = U8(s.list_.Item(2));
        EXPECT_EQ(foreign.rfind("ID: 5 - неизвестное устройство\n(Отклик: ", 0), 0u) << foreign;
        EXPECT_EQ(foreign.back(), ')');
        EXPECT_EQ(G_.found_devices[0].address, 1u);
        EXPECT_EQ(G_.found_devices[0].serial_number, n1);
        EXPECT_EQ(G_.found_devices[1].address, 3u);
        EXPECT_EQ(G_.found_devices[2].address, 5u);
        EXPECT_EQ(G_.found_devices[2].serial_number, 0u);
        EXPECT_EQ(U8(s.label_found_.Text()), "Найдено: 3");

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
        // The counter only grows during a search, so this stays true once it
        // holds: the search has found the detector and gone on past it.
        auto found_one_past_it = [&] { return s.list_.Count() == 1 && ShownAddress(s) >= 3; };
        s.Start();
        ASSERT_TRUE(WaitFor(found_one_past_it, kSearchLimitMs));
        s.StartStop();
        EXPECT_FALSE(s.IsRunning());
        EXPECT_EQ(U8(s.bt_scanstop_.Caption()), "Повторить\nпоиск");
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
        ASSERT_TRUE(WaitFor(found_one_past_it, kSearchLimitMs));
        s.Stop();
        s.Start();
        EXPECT_TRUE(s.IsBusy());
        ASSERT_TRUE(WaitFor([&] { return !s.IsBusy(); }, kSearchLimitMs));
        EXPECT_FALSE(s.IsRunning());
        EXPECT_EQ(U8(s.counter_.Text()), "254");
        EXPECT_EQ(s.list_.Count(), 1);
        EXPECT_EQ(U8(s.label_found_.Text()), "Найдено: 1");
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
        EXPECT_EQ(U8(s.bt_scanstop_.Caption()), "Повторить\nпоиск");
        EXPECT_EQ(s.list_.Count(), 0);
        ASSERT_TRUE(WaitFor([&] { return !texts_.errors.empty(); }));
        EXPECT_EQ(texts_.errors[0].rfind("Поиск. Открытие порта\nCOM-порт: ", 0), 0u) << texts_.errors[0];
        EXPECT_TRUE(texts_.status.empty());
    });
}
