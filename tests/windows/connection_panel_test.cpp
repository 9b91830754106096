// The connection panel against the simulated detector on a COM number: port
// scan, filling and reading the fields, applying, connecting, the link state.
#include "windows/connection_window.h"

#include <vector>

#include "link/errors.h"
#include "fixture.h"
#include "platform/pty.h"
#include "platform/native_ui.h"

using namespace win_test;

namespace {

bool same(const ConnectionSettings& a, const ConnectionSettings& b) {
    const com_port_settings_t &p = a.port_settings, &q = b.port_settings;
    return p.speed == q.speed && p.before_send_delay == q.before_send_delay && p.port == q.port &&
           p.parity == q.parity && p.stop_bits == q.stop_bits && p.permanent_echo == q.permanent_echo &&
           a.timeout == b.timeout && a.block_id == b.block_id;
}

class ConnectionPanel : public WindowTest {
protected:
    // Runs body on the window thread with a connection window over the
    // simulated line, once the window has taken its first port scan.
    void with_panel(const std::function<void(GConnectionForm&, GConnection&)>& body) {
        StartLine({});
        InLoop([&] {
            GConnectionForm form;
            GConnection& c = form.Connection();
            ASSERT_TRUE(WaitFor([&] { return c.ScansTaken() > 0; }));
            body(form, c);
        });
    }
};

}  // namespace

TEST(ConnectionStateText, FourStatesWithTheirColours) {
    auto closed = LinkStateText(false, drv_error(kDrvTimeout), 5);
    EXPECT_EQ(U8(closed.text), "Связь с блоком отсутствует.\nНе открыт порт");
    EXPECT_EQ(closed.color, UIK::RGB(90, 142, 197));

    auto failing = LinkStateText(true, drv_error(kDrvTimeout), 5);
    const error_value_t e = drv_error(kDrvTimeout);
    EXPECT_EQ(U8(failing.text), "Связь с блоком отсутствует.\n" + U8(e.name()) + ". " + U8(e.message()));
    EXPECT_EQ(failing.color, UIK::RGB(255, 0, 0));

    auto up = LinkStateText(true, success(), 1);
    EXPECT_EQ(U8(up.text), "Связь с блоком установлена");
    EXPECT_EQ(up.color, UIK::RGB(0, 255, 0));

    auto waiting = LinkStateText(true, success(), 0);
    EXPECT_EQ(U8(waiting.text), "Связь с блоком  отсутствует.\nЕще не было запросов");
    EXPECT_EQ(waiting.color, UIK::RGB(90, 142, 197));
}

TEST_F(ConnectionPanel, ScanListsTheComNumberWithItsDeviceAndFillReadRoundTrips) {
    StartLine({});
    InLoop([&] {
        GConnectionForm form;
        GConnection& c = form.Connection();
        EXPECT_EQ(U8(c.ssPort_.Item(0)), "Не задан");
        ASSERT_TRUE(WaitFor([&] { return c.ScansTaken() > 0; }));

        // "НЕ ЗАДАН" first, then the simulator's COM number with its pty.
        EXPECT_EQ(U8(c.ssPort_.Item(0)), "НЕ ЗАДАН");
        EXPECT_EQ(c.PortList()[0], 0);
        int at = -1;
        for (size_t i = 1; i < c.PortList().count(); ++i)
            if (c.PortList()[i] == kCom) at = int(i);
        ASSERT_GT(at, 0);
        EXPECT_EQ(U8(c.ssPort_.Item(at)), "COM7 (" + sim_->path() + ")");
        EXPECT_EQ(c.ssPort_.SelectedIndex(), at) << "the port in force is selected";

        ConnectionSettings s;
        s.port_settings = {19200, 25, uint8_t(kCom), 1, 2, 1, {0, 0}};
        s.timeout = 450;
        s.block_id = 17;
        c.FillControls(s);
        EXPECT_TRUE(same(c.ReadControls(), s));
        EXPECT_EQ(G_.connection_settings().block_id, 1) << "filling alone applies nothing";

        // Values the panel cannot show as they are.
        s.port_settings.speed = 14400;  // not in the table
        s.port_settings.parity = 3;  // any parity shows as on
        c.FillControls(s);
        EXPECT_EQ(U8(c.ssSpeed_.SelectedText()), "9600");
        EXPECT_TRUE(c.cbParity_.IsChecked());
        const ConnectionSettings r = c.ReadControls();
        EXPECT_EQ(r.port_settings.speed, 9600u);
        EXPECT_EQ(r.port_settings.parity, 1);
    });
}

// An adapter plugged in while the window is open shows in the port list as
// soon as the list is dropped down: every drop scans afresh.
TEST_F(ConnectionPanel, DroppingThePortListDownScansThePortsAfresh) {
    with_panel([&](GConnectionForm& form, GConnection& c) {
        const int scans = c.ScansTaken();
        form.Show();
        ASSERT_TRUE(WaitFor([&] { return c.ScansTaken() > scans; }));  // the one when shown
        plat::Pty_t plugged;
        ASSERT_TRUE(plugged.open());
        const std::string item = "COM12 (" + plugged.slave_path() + ")";
        auto listed = [&](const std::vector<ustring_t>& items) {
            for (const ustring_t& i : items)
                if (U8(i) == item) return true;
            return false;
        };
        ASSERT_FALSE(listed(c.ssPort_.Items()));
        ASSERT_TRUE(plat::register_com_link(12, plugged.slave_path()));
        const int before = c.ScansTaken();

        c.ssPort_.HandleKeyDown(UIK::GKeyEvent{UIK::kKeyEnter, 0});
        EXPECT_EQ(c.ssPort_.DroppedMenu(), nullptr) << "dropped only when the scan is in";
        ASSERT_TRUE(WaitFor([&] { return c.ssPort_.DroppedMenu() != nullptr; }));
        EXPECT_GT(c.ScansTaken(), before);
        EXPECT_TRUE(listed(c.ssPort_.Items()));
        EXPECT_TRUE(listed(c.ssPort_.DroppedMenu()->List().Items()));
        c.ssPort_.DroppedMenu()->Close();
        plat::unregister_com_link(12);
    });
}

// The port in force is always listed, whatever its number and whether the
// scan found it: another field's change keeps it, and a revert brings it back.
TEST_F(ConnectionPanel, APortInUseIsListedKeptAndRevertedWhateverItsNumber) {
    with_panel([&](GConnectionForm& form, GConnection& c) {
        ASSERT_TRUE(plat::register_com_link(200, sim_->path()));
        for (uint8_t port : {uint8_t(200), uint8_t(31)}) {  // the simulator linked as COM200; nothing at COM31
            SCOPED_TRACE(int(port));
            ConnectionSettings s = G_.connection_settings();
            s.port_settings.port = port;
            ASSERT_TRUE(c.ApplySettings(s));
            form.Show();
            const int scans = c.ScansTaken();
            ASSERT_TRUE(WaitFor([&] { return c.ScansTaken() > scans; }));
            const std::string item = port == 200 ? "COM200 (" + sim_->path() + ")" : "COM31 (нет устройства)";
            EXPECT_EQ(U8(c.ssPort_.SelectedText()), item);

            c.Timeout_.Enter(700);
            EXPECT_EQ(G_.connection_settings().timeout, 700);
            EXPECT_EQ(G_.connection_settings().port_settings.port, port);
            c.ssPort_.SetSelectedIndex(0);
            EXPECT_EQ(G_.connection_settings().port_settings.port, 0);
            EXPECT_EQ(U8(c.ssPort_.Item(0)), "НЕ ЗАДАН");
            c.Revert();
            EXPECT_EQ(G_.connection_settings().port_settings.port, port);
            EXPECT_EQ(U8(c.ssPort_.SelectedText()), item);
            form.Hide();
        }
        plat::unregister_com_link(200);
    });
}

TEST_F(ConnectionPanel, AFieldChangeAppliesAllFieldsAndKeepsTheDelay) {
    with_panel([&](GConnectionForm& form, GConnection& c) {
        EXPECT_FALSE(c.btnCancel_.IsEnabled());

        c.iiDelayBeforeSend_.Enter(25);
        EXPECT_TRUE(c.btnCancel_.IsEnabled());
        EXPECT_EQ(G_.connection_settings().port_settings.before_send_delay, 25);
        // Another field later: the delay entered before must stay.
        c.cbEchoCancelation_.SetChecked(true);
        EXPECT_EQ(G_.connection_settings().port_settings.permanent_echo, 1);
        EXPECT_EQ(G_.connection_settings().port_settings.before_send_delay, 25);
        EXPECT_EQ(link_->port_settings().before_send_delay, 25) << "the link holds it too";

        // An address outside 1..247 is never cut to fit (257 would be 1).
        c.BlockID_.Enter(257);
        EXPECT_EQ(G_.connection_settings().block_id, 1);
        EXPECT_EQ(c.BlockID_.Value(), 1) << "refilled from the record in force";
    });
}

TEST_F(ConnectionPanel, ConnectShowsTheLinkStateAndAChangeReopensThePort) {
    with_panel([&](GConnectionForm& form, GConnection& c) {
        c.Refresh();
        EXPECT_EQ(U8(c.btConnectDisconnect_.Caption()), "Подключить");
        EXPECT_EQ(U8(c.BlockConnected_.Text()), "Связь с блоком отсутствует.\nНе открыт порт");

        c.ConnectDisconnect();
        EXPECT_TRUE(G_.is_port_open());
        EXPECT_TRUE(c.ReconnectFlag());
        EXPECT_EQ(U8(c.btConnectDisconnect_.Caption()), "Отключить");
        ASSERT_TRUE(WaitFor([&] { return link_->completed_cycles() > 0; }));
        c.RefreshState();
        EXPECT_EQ(U8(c.BlockConnected_.Text()), "Связь с блоком установлена");
        EXPECT_EQ(c.BlockConnected_.BackColor(), UIK::RGB(0, 255, 0));

        // A change while open reopens the port with the new settings.
        c.Timeout_.Enter(250);
        EXPECT_TRUE(G_.is_port_open());
        EXPECT_EQ(link_->response_timeout(), 250);

        // The detector goes silent: the next link check fails.
        sim_->set_fault(sim::Fault_t::kSilent);
        ASSERT_TRUE(WaitFor([&] { return link_->link_status().is_error(); }));
        c.RefreshState();
        EXPECT_EQ(U8(c.BlockConnected_.Text()).rfind("Связь с блоком отсутствует.\nModbus-драйвер. ", 0), 0u)
            << U8(c.BlockConnected_.Text());
        EXPECT_EQ(c.BlockConnected_.BackColor(), UIK::RGB(255, 0, 0));
        sim_->clear_faults();

        c.ConnectDisconnect();
        EXPECT_FALSE(G_.is_port_open());
        EXPECT_FALSE(c.ReconnectFlag());
        EXPECT_EQ(U8(c.btConnectDisconnect_.Caption()), "Подключить");
        ASSERT_TRUE(WaitFor([&] { return texts_.clears >= 2; }));
        EXPECT_TRUE(texts_.errors.empty());
    });
}

TEST_F(ConnectionPanel, FailuresGoToTheMessagePanelAndTheFieldsShowWhatIsInForce) {
    with_panel([&](GConnectionForm& form, GConnection& c) {

        ConnectionSettings bad = G_.connection_settings();
        bad.port_settings.parity = 7;
        bad.block_id = 9;
        EXPECT_FALSE(c.ApplySettings(bad));
        ASSERT_TRUE(WaitFor([&] { return !texts_.errors.empty(); }));
        EXPECT_EQ(texts_.errors.back(), "Настройка порта\nCOM-порт: Неверные данные");
        EXPECT_EQ(G_.connection_settings().port_settings.parity, 0);
        EXPECT_EQ(c.BlockID_.Value(), G_.connection_settings().block_id);
        EXPECT_FALSE(c.cbParity_.IsChecked());

        // A port number with nothing behind it cannot be opened.
        c.ssPort_.SetSelectedIndex(0);
        EXPECT_EQ(G_.connection_settings().port_settings.port, 0);
        c.ConnectDisconnect();
        EXPECT_FALSE(G_.is_port_open());
        EXPECT_FALSE(c.ReconnectFlag());
        ASSERT_TRUE(WaitFor([&] { return texts_.errors.size() >= 2; }));
        // The message panel names the reason on a line of its own.
        EXPECT_EQ(texts_.errors.back(), "Открытие порта\nCOM-порт: Ошибка открытия порта\nCOM-порт не задан");
    });
}

TEST_F(ConnectionPanel, EscapeRevertsToTheSettingsOfTheLastShowingUnlessShiftOrCtrlIsHeld) {
    with_panel([&](GConnectionForm& form, GConnection& c) {
        form.Show();
        ASSERT_TRUE(WaitFor([&] { return c.ScansTaken() >= 2; })) << "one scan when made, one when shown";
        const ConnectionSettings before = G_.connection_settings();
        EXPECT_TRUE(same(c.RevertSnapshot(), before));

        c.ssSpeed_.SetSelectedIndex(5);
        EXPECT_EQ(G_.connection_settings().port_settings.speed, 38400u);
        form.HandleFormKey({UIK::kKeyEscape, UIK::kModShift});
        form.HandleFormKey({UIK::kKeyEscape, UIK::kModCtrl});
        EXPECT_EQ(G_.connection_settings().port_settings.speed, 38400u);
        form.HandleFormKey({UIK::kKeyEscape, 0});
        EXPECT_TRUE(same(G_.connection_settings(), before));
        EXPECT_EQ(U8(c.ssSpeed_.SelectedText()), "9600");
        form.Hide();
    });
}

namespace {

// Types keys and Enter into the entry form of label once it is open; when
// the form shows a refusal, keeps its text and closes the form with Escape.
void enter_refused(UIK::GInputInt64Label& l, std::vector<int> keys, ustring_t* refusal, int turns = 4000);

void close_on_refusal(UIK::GInputInt64Label& l, ustring_t* refusal, int turns) {
    // A call still queued when the field has gone (the panel closed) does nothing.
    UIK::App::Defer([&l, life = l.LifeToken(), refusal, turns] {
        if (life.expired()) return;
        UIK::GInputNumberForm* f = l.OpenForm();
        if (!f) return;  // accepted: nothing to close
        if (!f->MessageText().empty()) {
            *refusal = f->MessageText();
            plat::ui::PushKey(f->NativeWindowId(), UIK::kKeyEscape, 0);
        } else if (turns > 0) {
            close_on_refusal(l, refusal, turns - 1);
        }
    });
}

void enter_refused(UIK::GInputInt64Label& l, std::vector<int> keys, ustring_t* refusal, int turns) {
    UIK::App::Defer([&l, life = l.LifeToken(), keys, refusal, turns] {
        if (life.expired()) return;
        UIK::GInputNumberForm* f = l.OpenForm();
        if (f && f->HasNativeWindow()) {
            for (int k : keys) plat::ui::PushKey(f->NativeWindowId(), k, 0);
            plat::ui::PushKey(f->NativeWindowId(), UIK::kKeyEnter, 0);
            close_on_refusal(l, refusal, 4000);
        } else if (turns > 0) {
            enter_refused(l, keys, refusal, turns - 1);
        }
    });
}

std::vector<int> keys_of(const char* typed) {
    std::vector<int> k;
    for (const char* p = typed; *p; ++p) k.push_back(*p == '<' ? UIK::kKeyBackspace : int(*p));
    return k;
}

}  // namespace

TEST_F(ConnectionPanel, NumberFieldsRefuseValuesTheLineCannotUse) {
    with_panel([&](GConnectionForm& form, GConnection& c) {
        form.Show();
        const ConnectionSettings before = G_.connection_settings();
        struct Case {
            UIK::GInputInt64Label* field;
            const char* keys;  // '<' is Backspace, '-' the sign, 'e' the exponent
            const char* range;
        };
        const Case cases[] = {
            {&c.BlockID_, "<<<<300", "от 1 до 247"},
            {&c.BlockID_, "<<<<0", "от 1 до 247"},
            {&c.BlockID_, "<<<<250", "от 1 до 247"},
            {&c.BlockID_, "<<<<", "от 1 до 247"},
            {&c.Timeout_, "<<<<<<5-", "от 1 до 65535"},
            {&c.Timeout_, "<<<<<<-1.5e9", "от 1 до 65535"},
            {&c.Timeout_, "<<<<<<", "от 1 до 65535"},
            {&c.iiDelayBeforeSend_, "<<<<<<70000", "от 0 до 65535"},
            {&c.iiDelayBeforeSend_, "<<<<<<", "от 0 до 65535"},
        };
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(U8(k.field->Prompt())) + " keys " + k.keys);
            const int64_t shown = k.field->Value();
            ustring_t refusal;
            enter_refused(*k.field, keys_of(k.keys), &refusal);
            EXPECT_FALSE(k.field->OpenEntry()) << "accepted";
            EXPECT_NE(U8(refusal).find(k.range), std::string::npos) << U8(refusal);
            EXPECT_EQ(k.field->Value(), shown);
            EXPECT_TRUE(same(G_.connection_settings(), before));
        }
        // The field states its range; a value inside it is taken.
        EXPECT_EQ(U8(c.BlockID_.RangeText()), "от 1 до 247");
        ustring_t none;
        enter_refused(c.BlockID_, keys_of("<<<<17"), &none);
        EXPECT_TRUE(c.BlockID_.OpenEntry());
        EXPECT_EQ(G_.connection_settings().block_id, 17);
        form.Close();
    });
}
