#include "windows/uplevel_window.h"

#include "windows/layout.h"

#include <cstdio>

#include "model/app_state.h"
#include "model/codes.h"
#include "model/mb_link.h"
#include "procedures/settings_procedures.h"
#include "procedures/write_procedures.h"

using namespace UIK;
using layout::Place;

namespace {

constexpr int kCaptionW = 278, kInputL = 280, kInputW = 200, kRowH = 40, kRowPitch = 42;

void Heading(GLabel& l, GControl& parent, const char16_t* name, const char16_t* text, int top) {
    layout::Label(l, parent, name, text, 0, top, GBaseWifi::kWidth, 28);
}

// One row of a table: caption on the left, input on the right, one shade.
void Row(GControl& table, int top, GLabel& caption, const char16_t* caption_name, const char16_t* caption_text,
         GControl& input, const char16_t* input_name, GColor back) {
    layout::Label(caption, table, caption_name, caption_text, 0, top, kCaptionW, kRowH);
    caption.SetBackColor(back);
    Place(input, table, input_name, kInputL, top, kInputW, kRowH);
    input.SetBackColor(back);
}

using layout::Button;

}  // namespace

GBaseWifi::GBaseWifi() {
    SetName(u"GUplevelConnection");
    SetBounds(0, 0, kWidth, kHeight);
    layout::Label(title_, *this, u"title_", u"Настройка RS485, WiFi и HART", 0, 0, kWidth, 36);

    Heading(GLabel5, *this, u"GLabel5", u"Настройка Modbus RTU", 40);
    Place(table_modbus_, *this, u"table_modbus_", 0, 70, kWidth, kRowPitch + kRowH);
    Row(table_modbus_, 0, GLabel3, u"GLabel3", u"Скорость", ssSpeed_, u"ssSpeed_", kColorLight);
    ssSpeed_.SetCaption(u" Скорость ");
    std::vector<ustring_t> speeds;
    for (uint32_t s : codes::kSpeedTable) speeds.push_back(text::from_uint(s));
    ssSpeed_.SetItems(speeds);
    ssSpeed_.SetFont(kFontSmall);
    Row(table_modbus_, kRowPitch, GLabel8, u"GLabel8", u"Адрес в Modbus (1..247)", modbus_id_, u"modbus_id_",
        kColorMid);
    modbus_id_.SetPrompt(u"Адрес в Modbus (1..247)");

    Heading(GLabel6, *this, u"GLabel6", u"Настройка WiFi", 160);
    Place(status_, *this, u"status_", 0, 190, kWidth, 44);
    status_.SetAlignment(kAlignCenter | kAlignMiddle);
    status_.SetWordWrap(true);
    status_.SetFont(kFontSmall);
    layout::Label(wifi_state_, *this, u"wifi_state_", u"WiFi отключен", 0, 236, kCaptionW, kRowH);
    wifi_state_.SetBackColor(kColorLight);
    Place(GFrameDT1, *this, u"GFrameDT1", kInputL, 236, kInputW, kRowH);
    Button(wifi_enable_, GFrameDT1, u"wifi_enable_", u"Включить", 0, 0, 99, kRowH);
    Button(wifi_disable_, GFrameDT1, u"wifi_disable_", u"Отключить", 101, 0, 99, kRowH);
    Place(table_wifi_, *this, u"table_wifi_", 0, 278, kWidth, kRowH);
    Row(table_wifi_, 0, GLabel1, u"GLabel1", u"Номер канала (1..12)", wifi_channel_, u"wifi_channel_", kColorMid);
    wifi_channel_.SetPrompt(u"Номер канала WiFi");

    Heading(GLabel4, *this, u"GLabel4", u"Настройка HART", 326);
    Place(table_hart_, *this, u"table_hart_", 0, 356, kWidth, kRowH);
    Row(table_hart_, 0, GLabel10, u"GLabel10", u"Адрес HART (0..15)", hart_id_, u"hart_id_", kColorLight);
    hart_id_.SetPrompt(u"Адрес HART (0..15)");

    bt_ss_enable_.Place(*this, (kWidth - 124) / 2, 404, 48);
}

GUplevelConnection::GUplevelConnection(G_t& g) : g_(g) {
    ssSpeed_.OnSelectionChanged.Set([this](GControl*) { SpeedChange(ssSpeed_.SelectedIndex()); });
    for (GInputInt64Label* in : {&modbus_id_, &wifi_channel_, &hart_id_}) {
        in->OnValueEntered.Bind(this, &GUplevelConnection::OnRangeFilter);
        in->OnValueAccepted.Bind(this, &GUplevelConnection::OnValueAccepted);
    }
    wifi_enable_.OnClick.Set(
        [this](GControl*) { SendPlainCommand(g_, codes::kCommandWifiOn, ustring_t(u"Включение WiFi")); });
    wifi_disable_.OnClick.Set(
        [this](GControl*) { SendPlainCommand(g_, codes::kCommandWifiOff, ustring_t(u"Отключение WiFi")); });
    bt_ss_enable_.Connect(g, [this] { Refresh(); });
    // The entry form refuses a value outside the caption's range and names it;
    // the filters below guard the values that arrive otherwise.
    modbus_id_.SetRange(kAddressMin, kAddressMax);
    wifi_channel_.SetRange(kChannelMin, kChannelMax);
    hart_id_.SetRange(kHartMin, kHartMax);
    Refresh();
}

GUplevelConnection::~GUplevelConnection() { *alive_ = false; }

std::vector<GControl*> GUplevelConnection::InputControls() {
    return {&ssSpeed_, &modbus_id_, &wifi_enable_, &wifi_disable_, &wifi_channel_, &hart_id_};
}

// The WiFi channel and the HART address must lie in the ranges their captions
// state: an entry outside puts the field's value back and writes nothing (the
// device would take -1 as 65535). The address has its own silent check.
void GUplevelConnection::OnRangeFilter(GControl* c, int64_t& v) {
    if (updating_ > 0) return;
    int64_t lo, hi;
    if (c == &wifi_channel_) lo = kChannelMin, hi = kChannelMax;
    else if (c == &hart_id_) lo = kHartMin, hi = kHartMax;
    else return;
    if (v < lo || v > hi) {
        v = static_cast<GInputInt64Label*>(c)->Value();
        refused_ = true;
    }
}

void GUplevelConnection::OnValueAccepted(GControl* c, int64_t v) {
    if (updating_ > 0) return;
    if (refused_) {
        refused_ = false;
        return;
    }
    if (c == &modbus_id_) {
        AddressChange(v);
    } else if (c == &wifi_channel_) {
        g_.hold(c, kHoldMs);
        SetParamAndSave(g_, g_.params.wifi_channel, uint16_t(v));
    } else if (c == &hart_id_) {
        g_.hold(c, kHoldMs);
        SetParamAndSave(g_, g_.params.Hart_Id, uint16_t(v));
    }
}

void GUplevelConnection::SpeedChange(int code) {
    if (updating_ > 0 || code < 0) return;
    AskAndChange(&ssSpeed_, u"Изменение скорости соединения приведёт к потере связи с устройством.\nПродолжить?",
                 g_.params.ModbusSettings_Baud, uint16_t(code));
}

void GUplevelConnection::AddressChange(int64_t v) {
    if (updating_ > 0 || v < kAddressMin || v > kAddressMax) return;
    AskAndChange(&modbus_id_, u"Изменение Modbus адреса приведёт к потере связи с устройством.\nПродолжить?",
                 g_.params.ModbusSettings_Id, uint16_t(v));
}

void GUplevelConnection::AskAndChange(GControl* control, const ustring_t& question, mb_param_t& p, uint16_t value) {
    // The question's own message loop keeps refreshing: the hold keeps the
    // user's choice on the screen meanwhile.
    g_.hold(control, kQuestionHoldMs);
    if (!AskYesNo(question, this)) {
        // Released at once: the next refresh shows the device's value again.
        g_.hold(control, 0, plat::tick32() - 1);
        return;
    }
    g_.hold(control, kHoldMs);
    G_t* g = &g_;
    mb_param_t* param = &p;
    std::weak_ptr<bool> alive = alive_;
    link_change_side_t side;
    side.report = [this, alive](const ustring_t& t) {
        Async::Post(
            [this, alive, t] {
                if (auto a = alive.lock(); a && *a) status_.SetText(t);
            },
            false);
    };
    side.on_window_thread = [](const std::function<void()>& fn) { Async::Post([&fn] { fn(); }, true); };
    g->post_to_worker1(make_task([g, param, value, side] {
        (void)procedures::RunLinkSettingChange(*g, *param, value, value, side);
    }));
}

void GUplevelConnection::Refresh() {
    ++updating_;
    ParamMap_t& p = g_.params;
    const bool P = g_.is_connected();
    const bool E = g_.adjustment_mode_on();
    if (g_.can_update_control(&ssSpeed_)) {
        ssSpeed_.SetEnabled(E);
        const param_snapshot_t baud = p.ModbusSettings_Baud.snapshot();
        if (baud.is_read()) ssSpeed_.SetOffListText(codes::SpeedCodeText(baud.u16()));
        ssSpeed_.SetSelectedIndex(P && baud.is_read() ? int(baud.u16()) : -1);
    }
    if (g_.can_update_control(&modbus_id_)) {
        modbus_id_.SetEnabled(E);
        const param_snapshot_t id = p.ModbusSettings_Id.snapshot();
        if (id.is_read()) modbus_id_.SetValue(id.u16());
    }
    if (g_.can_update_control(&wifi_channel_)) {
        wifi_channel_.SetEnabled(E);
        const param_snapshot_t ch = p.wifi_channel.snapshot();
        if (ch.is_read()) wifi_channel_.SetValue(ch.u16());
    }
    if (g_.can_update_control(&hart_id_)) {
        hart_id_.SetEnabled(E);
        const param_snapshot_t hart = p.Hart_Id.snapshot();
        if (hart.is_read()) hart_id_.SetValue(hart.u16());
    } else if (mb_link_t::read_diagnostics()) {
        std::printf("!G_.can_update_control(hart_id_)\n");
    }
    const param_snapshot_t wifi = p.wifi_enabled.snapshot();
    const bool wifi_read = P && wifi.is_read();
    wifi_state_.SetText(wifi_read && wifi.value != 0 ? u"Wifi включен" : u"Wifi отключен");
    wifi_enable_.SetEnabled(wifi_read && wifi.value == 0);
    wifi_disable_.SetEnabled(wifi_read && wifi.value != 0);
    bt_ss_enable_.Refresh(g_);
    --updating_;
}
