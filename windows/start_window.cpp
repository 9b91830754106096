#include "windows/start_window.h"

#include <algorithm>
#include <iterator>
#include <span>

#include "foundation/time_services.h"
#include "model/app_state.h"
#include "model/codes.h"
#include "model/mb_link.h"
#include "procedures/write_procedures.h"
#include "windows/layout.h"

using namespace UIK;
using layout::Button;
using layout::Image;
using layout::Label;
using layout::Place;
using layout::Row;

namespace {

// The display glass of the detector picture, behind the readings.
constexpr GColor kDisplayColor = RGB(14, 30, 46);

// Number of set bits of a 32-bit mask when it has been read, else 0.
unsigned BitsOf(const param_snapshot_t& s) { return s.is_read() ? codes::SetBitCount(s.u32()) : 0; }

// The two button columns of the picture (see SubWindowRow::Column).
constexpr int kLeftWidth = 244;
constexpr int kRightLeft = 852, kRightWidth = 172;

// The rows of the sub-window table whose buttons are in column c, top to
// bottom.
std::vector<size_t> ColumnRows(SubWindowRow::Column c) {
    const std::span<const SubWindowRow> rows = SubWindowTable();
    std::vector<size_t> order;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].place.column == c) order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return rows[a].place.top < rows[b].place.top; });
    return order;
}

// The lower edge of the left column at its design places.
int LeftColumnBottom() {
    int bottom = 0;
    for (const SubWindowRow& r : SubWindowTable())
        if (r.place.column == SubWindowRow::kLeft) bottom = std::max(bottom, r.place.top + r.place.height);
    return bottom;
}

std::vector<std::unique_ptr<GTextButton>> MakeWindowButtons() {
    std::vector<std::unique_ptr<GTextButton>> buttons;
    for (size_t i = 0; i < SubWindowTable().size(); ++i) buttons.push_back(std::make_unique<GTextButton>());
    return buttons;
}

}  // namespace

// ---- layout ---------------------------------------------------------------------

GBaseStart::GBaseStart(GControl* parent)
    : GFrame(parent),
      window_buttons_(MakeWindowButtons()),
      bt_alarms_(WindowButton("alarms")),
      bt_calibration_(WindowButton("calibration")),
      bt_thresholds_(WindowButton("thresholds")),
      bt_dac_calibration_(WindowButton("dac")),
      bt_uplevel_connection_(WindowButton("device-link")),
      bt_datetime_(WindowButton("clock")),
      bt_tests_(WindowButton("tests")),
      bt_journals_(WindowButton("journals")),
      bt_select_gas_(WindowButton("gas")),
      bt_connection_settings_(WindowButton("connection")),
      bt_poll55_(WindowButton("poll55")) {
    SetName(u"GStart");
    SetBounds(0, 0, kWidth, kHeight);
    Label(title_, *this, u"title_", u"КОНФИГУРАТОР ЛУМА-10", 256, 0, 584, 24);
    title_.SetAnchors(kAnchorTop);
    Image(img_main_, *this, u"img_main_", "IMG_MAIN", 0, 26, 1024, 742);
    img_main_.SetAnchors(kAnchorAll);
    img_main_.SetCentred(true);
    GControl& img = img_main_;

    // Left column: the sub-window buttons of the table at their places; the
    // alarms button fills a frame of its own, which takes its place.
    const std::span<const SubWindowRow> rows = SubWindowTable();
    for (size_t i : ColumnRows(SubWindowRow::kLeft)) {
        const SubWindowRow& r = rows[i];
        GTextButton& b = WindowButton(i);
        if (&b == &bt_alarms_) {
            Place(GFrameDT2, img, u"GFrameDT2", 0, r.place.top, kLeftWidth, r.place.height);
            Button(b, GFrameDT2, r.button_name, r.caption, 0, 0, kLeftWidth, r.place.height);
        } else {
            Button(b, img, r.button_name, r.caption, 0, r.place.top, kLeftWidth, r.place.height);
        }
    }

    // Right column.
    Button(bt_connect_, img, u"bt_connect_", u"Подключиться", kRightLeft, 8, kRightWidth, 46);
    bt_connect_.SetAnchors(kAnchorRight | kAnchorTop);
    for (size_t i : ColumnRows(SubWindowRow::kRight)) {
        const SubWindowRow& r = rows[i];
        GTextButton& b = WindowButton(i);
        Button(b, img, r.button_name, r.caption, kRightLeft, r.place.top, kRightWidth, r.place.height);
        b.SetAnchors(kAnchorRight | kAnchorTop);
    }
    Row(frame_modbus_id_, img, u"frame_modbus_id_", 856, 127, 168, 32, GLabel6, u"GLabel6", u"ID", 105,
        reg_1002_modbus_id_, u"reg_1002_modbus_id_", u"1002 R", 62);
    Row(frame_modbus_speed_, img, u"frame_modbus_speed_", 856, 164, 168, 32, GLabel7, u"GLabel7", u"Скорость", 105,
        reg_1003_speed_, u"reg_1003_speed_", u"1003 R", 62);
    Button(bt_wifi_, img, u"bt_wifi_", u"Включить WiFi", kRightLeft, 199, kRightWidth, 46);
    for (GControl* c : std::initializer_list<GControl*>{&frame_modbus_id_, &frame_modbus_speed_, &bt_wifi_})
        c->SetAnchors(kAnchorRight | kAnchorTop);
    Button(bt_reset_alarm_block_, img, u"bt_reset_alarm_block_", u"Сброс блокировки аварии", 884, 644, 116, 62);
    bt_reset_alarm_block_.SetAnchors(kAnchorRight | kAnchorBottom);
    Label(status_bar_, img, u"status_bar_", u"-----------\n-----------", 0, 712, 1024, 30);
    status_bar_.SetAnchors(kAnchorLeft | kAnchorRight | kAnchorBottom);
    status_bar_.SetBackColor(kColorDark);
    status_bar_.SetFont(kFontSmall);

    // The detector column.
    Place(frame_over_img_, img, u"frame_over_img_", 0, 0, kOverImageWidth, 742);
    GControl& col = frame_over_img_;
    Row(frame_factory_id_, col, u"frame_factory_id_", 3, 0, 308, 32, GLabel3, u"GLabel3", u"Заводской номер", 173,
        factory_id_, u"factory_id_", u"", 134);
    Row(frame_version_, col, u"frame_version_", 4, 38, 308, 32, GLabel4, u"GLabel4", u"Версия ПО", 173,
        reg_1000_1001_version_, u"reg_1000_1001_version_", u"1000 R", 134);
    Row(frame_mipex_type_, col, u"frame_mipex_type_", 4, 75, 308, 32, GLabel2, u"GLabel2", u"Поверочный газ", 173,
        reg_6004_mipex_type_, u"reg_6004_mipex_type_", u"6004 R", 134);
    Image(img_led_fail_status_, col, u"img_led_fail_status_", "IMG_LED_FAIL_STATUS", 75, 131, 36, 38);
    Image(img_led_power_on_, col, u"img_led_power_on_", "IMG_LED_POWER_ON", 72, 165, 40, 29);
    Image(img_led_thresh1_, col, u"img_led_thresh1_", "IMG_LED_THRESH", 228, 130, 36, 38);
    Image(img_led_thresh2_, col, u"img_led_thresh2_", "IMG_LED_THRESH", 228, 159, 36, 38);
    Place(frame_sudo_placeholder_, col, u"frame_sudo_placeholder_", 0, 648, 316, 62);

    // The detector's display.
    Place(fr_icon_, col, u"fr_icon_", 47, 200, 244, 120);
    Label(ico_reg_6004_mipex_type_, fr_icon_, u"ico_reg_6004_mipex_type_", u"% НКПР 6004 R", 4, 7, 86, 17,
          kAlignLeft | kAlignMiddle);
    ico_reg_6004_mipex_type_.SetFont(kFontSmall);
    // The owner of adjustment mode (up to «UNKN») between the WiFi and key icons.
    Image(img_wifi_, fr_icon_, u"img_wifi_", "IMG_WIFI", 99, 6, 24, 16);
    Label(ico_ss_status_, fr_icon_, u"ico_ss_status_", u"HART", 124, 6, 37, 15);
    ico_ss_status_.SetFont(kFontSmall);
    Image(img_ss, fr_icon_, u"img_ss", "IMG_SS", 162, 6, 36, 16);
    Place(GFrameDT3, fr_icon_, u"GFrameDT3", 20, 24, 180, 74);
    Label(ico_reg_6002_, GFrameDT3, u"ico_reg_6002_", u"0.0", 0, 0, 178, 74);
    ico_reg_6002_.SetFont(kFontDisplay);
    ico_reg_6002_.SetBackColor(kDisplayColor);
    Place(ico_threshold_frame_, fr_icon_, u"ico_threshold_frame_", 199, 5, 44, 94);
    Label(asterix_, ico_threshold_frame_, u"asterix_", u"*", 1, 1, 42, 18);
    Label(reg_2000_threshold1_title_, ico_threshold_frame_, u"reg_2000_threshold1_title_", u"Пр1", 1, 19, 41, 15);
    Label(reg_2000_threshold1_, ico_threshold_frame_, u"reg_2000_threshold1_", u"2000 R", 1, 34, 41, 20);
    Label(reg_2001_threshold2_title_, ico_threshold_frame_, u"reg_2001_threshold2_title_", u"Пр2", 1, 57, 41, 15);
    Label(reg_2001_threshold2_, ico_threshold_frame_, u"reg_2001_threshold2_", u"2001 R", 1, 72, 41, 20);
    for (GLabel* l : {&asterix_, &reg_2000_threshold1_title_, &reg_2000_threshold1_, &reg_2001_threshold2_title_,
                      &reg_2001_threshold2_}) {
        l->SetFont(kFontSmall);
        l->SetBackColor(kDisplayColor);
    }
    Place(ico_frame_alarms_, fr_icon_, u"ico_frame_alarms_", 10, 102, 228, 18);
    Label(GLabel13, ico_frame_alarms_, u"GLabel13", u"Аварий:", 0, 0, 70, 18, kAlignRight | kAlignMiddle);
    Label(ico_reg_alarms_mask_, ico_frame_alarms_, u"ico_reg_alarms_mask_", u"3014 R", 70, 0, 44, 18);
    Label(GLabel15, ico_frame_alarms_, u"GLabel15", u"Предупр:", 114, 0, 70, 18, kAlignRight | kAlignMiddle);
    Label(ico_reg_warnings_mask_, ico_frame_alarms_, u"ico_reg_warnings_mask_", u"3016 R", 184, 0, 44, 18);
    for (GLabel* l : {&GLabel13, &ico_reg_alarms_mask_, &GLabel15, &ico_reg_warnings_mask_}) l->SetFont(kFontSmall);

    img_main_.OnResize.Set([this](GControl*) { CentreOverImage(); });
    CentreOverImage();
}

GTextButton& GBaseStart::WindowButton(std::string_view name) const {
    const std::span<const SubWindowRow> rows = SubWindowTable();
    for (size_t i = 0; i < rows.size(); ++i)
        if (name == rows[i].name) return WindowButton(i);
    std::abort();  // the program names only windows of the table
}

namespace {

// The strip in the detector column and the status line.
constexpr int kStatusHeight = 30;
constexpr int kStripTop = 648, kStripHeight = 62;
constexpr int kGapAboveStatus = 2;

}  // namespace

void GBaseStart::CentreOverImage() {
    const int w = img_main_.Width(), h = img_main_.Height();
    // The column's left edge follows the picture's centre; 296 is the width of
    // the detector drawn in the picture, which is drawn centred as well.
    const int room = std::max(0, h - kStatusHeight - kGapAboveStatus);  // above the status line
    frame_over_img_.SetBounds((w - 296) / 2, 0, kOverImageWidth, std::min(742, h - kStatusHeight));
    // The adjustment-mode strip stays at its place on the picture while there
    // is room for it, and moves up to stay visible when there is not.
    frame_sudo_placeholder_.SetBounds(0, std::max(0, std::min(kStripTop, room - kStripHeight)), kOverImageWidth,
                                      kStripHeight);

    // The left column keeps its design places when they fit above the status
    // line, and is pressed together evenly when they do not. A button in a
    // frame of its own fills it.
    static const int left_bottom = LeftColumnBottom();
    const double k = room >= left_bottom ? 1.0 : double(room) / left_bottom;
    const std::span<const SubWindowRow> rows = SubWindowTable();
    for (size_t i : ColumnRows(SubWindowRow::kLeft)) {
        const SubWindowRow::Place& p = rows[i].place;
        GTextButton& b = WindowButton(i);
        GControl& slot = b.Parent() == &GFrameDT2 ? static_cast<GControl&>(GFrameDT2) : b;
        const int top = int(p.top * k), bottom = int((p.top + p.height) * k);
        slot.SetBounds(0, top, kLeftWidth, std::max(1, bottom - top));
        if (&slot != &b) b.SetBounds(0, 0, kLeftWidth, slot.Height());
    }
}

// ---- colour pairs ------------------------------------------------------------------

void ColourPair_t::Capture(GLabel* label) {
    label_ = label;
    fore_ = label->ForeColor();
    back_ = label->BackColor();
    swapped_ = false;
}

void ColourPair_t::Show(bool swapped) {
    if (!label_ || swapped == swapped_) return;
    swapped_ = swapped;
    label_->SetForeColor(swapped ? back_ : fore_);
    label_->SetBackColor(swapped ? fore_ : back_);
}

// ---- GStart -------------------------------------------------------------------------

bool GStart::ShowsPoll55(const std::string& program_name) {
    return program_name.size() > 3 && program_name.find("qzv") != std::string::npos;
}

GStart::GStart(G_t& g, const std::string& program_name, GControl* parent)
    : GBaseStart(parent), g_(g), sudo_(g, &frame_sudo_placeholder_) {
    sudo_.Frame().Move((frame_sudo_placeholder_.Width() - GSudo::kWidth) / 2, 0);
    threshold1_colours_.Capture(&reg_2000_threshold1_);
    threshold2_colours_.Capture(&reg_2001_threshold2_);
    threshold1_title_colours_.Capture(&reg_2000_threshold1_title_);
    threshold2_title_colours_.Capture(&reg_2001_threshold2_title_);
    concentration_colours_.Capture(&ico_reg_6002_);

    GBitmap* icon = GResources::Image("icoFormSmall");
    const std::span<const SubWindowRow> rows = SubWindowTable();
    sub_windows_.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const SubWindowRow& row = rows[i];
        SubWindow_t& w = sub_windows_.emplace_back(SubWindow_t{&row, &WindowButton(i), row.make(g), {}});
        GForm* form = w.form.get();
        w.initial = form->Rect();
        if (icon) form->SetIcon(icon);
        GControl& button = *w.button;
        button.OnClick.Set([this, form, &button](GControl*) { OpenSubWindow(form, &button, Tick64()); });
        for (SubWindowRow::Control press : row.presses) {
            if (!press) continue;
            GControl& c = press(*this);
            c.OnMouseDown.Set([this, form, &c](GControl*, const GMouseEvent& e) {
                if (e.button == 1) OpenSubWindow(form, &c, Tick64());
            });
        }
    }

    bt_connect_.OnClick.Set([this](GControl*) { Connect(); });
    bt_wifi_.OnClick.Set([this](GControl*) { ToggleWifi(); });
    bt_reset_alarm_block_.OnClick.Set([this](GControl*) { ResetAlarmBlock(); });
    bt_poll55_.SetVisible(ShowsPoll55(program_name));

    // What changes on the device by itself: the concentration, status flags
    // and current gas, the alarm and warning masks, the adjustment-mode owner
    // and WiFi. The rest is set by the program and read back when written.
    if (mb_link_t* l = g.link.load()) {
        const ParamMap_t& p = g.params;
        auto keep = [&](const mb_param_t& first, const mb_param_t& last) {
            live_blocks_.push_back(std::make_unique<mb_link_t::live_block_guard_t>(
                *l, first.reg(), uint16_t(last.reg() + last.count() - first.reg())));
        };
        keep(p.concentration, p.mipex_work_gas);
        keep(p.alarms_mask, p.wifi_enabled);
    }

    Refresh();
    timer_.OnTick.Set([this](GTimer*) { Tick(Tick64()); });
    timer_.Start();
}

GStart::~GStart() {
    timer_.Stop();
    CloseSubWindows();
    // The forms go in the reverse order of their making.
    while (!sub_windows_.empty()) sub_windows_.pop_back();
}

std::vector<std::string_view> GStart::SubWindowNames() {
    std::vector<std::string_view> names;
    for (const SubWindowRow& row : SubWindowTable()) names.emplace_back(row.name);
    return names;
}

std::vector<GForm*> GStart::SubWindows() const {
    std::vector<GForm*> forms;
    for (const SubWindow_t& w : sub_windows_) forms.push_back(w.form.get());
    return forms;
}

GForm* GStart::FindSubWindow(std::string_view name) const {
    for (const SubWindow_t& w : sub_windows_)
        if (name == w.row->name) return w.form.get();
    return nullptr;
}

GForm& GStart::FormOfType(const void* form_type) const {
    for (const SubWindow_t& w : sub_windows_)
        if (w.row->form_type == form_type) return *w.form;
    std::abort();
}

std::vector<GControl*> GStart::TabOrder() {
    std::vector<GControl*> order{&bt_connect_};
    auto column = [&](SubWindowRow::Column c) {
        for (size_t i : ColumnRows(c))
            if (sub_windows_[i].row->in_tab_order) order.push_back(sub_windows_[i].button);
    };
    column(SubWindowRow::kRight);
    order.push_back(&sudo_.Toggle());
    column(SubWindowRow::kLeft);
    return order;
}

GStart::SubWindow_t* GStart::Find(const GForm* form) {
    for (SubWindow_t& w : sub_windows_)
        if (w.form.get() == form) return &w;
    return nullptr;
}

bool GStart::OpenSubWindow(std::string_view name, uint64_t now) {
    for (SubWindow_t& w : sub_windows_) {
        if (name != w.row->name) continue;
        OpenSubWindow(w.form.get(), w.button, now);
        return true;
    }
    return false;
}

void GStart::OpenSubWindow(GForm* form, GControl* button, uint64_t now) {
    SubWindow_t* w = Find(form);
    if (!w) return;
    GControl* beside = button && button->Form() ? static_cast<GControl*>(button->Form()) : button;
    if (form->IsVisible()) {
        if (w->last_open < 0 || now - uint64_t(w->last_open) >= kReflashAfterMs) {
            form->FlashTitle();
            form->BringToFront();
        } else {
            // A second press within a second: the user lost the window, so
            // bring it back at its first size beside the main window.
            form->Resize(w->initial.width, w->initial.height);
            form->PlaceOver(beside);
        }
    } else {
        if (w->last_open < 0) form->PlaceOver(beside);
        form->SetOwner(Form());
        form->Show();
    }
    w->last_open = int64_t(now);
}

void GStart::CloseSubWindows() {
    for (SubWindow_t& w : sub_windows_)
        if (w.form->IsVisible()) w.form->Close();
}

void GStart::Tick(uint64_t now) {
    Refresh();
    sudo_.Refresh();
    for (SubWindow_t& w : sub_windows_)
        if (w.form->IsVisible()) w.row->tick(*w.form);
    if (status_bar_.IsVisible() && now - status_tick_ > kStatusShowMs) status_bar_.Hide();
}

void GStart::ShowStatusText(const ustring_t& text, uint64_t tick) {
    status_bar_.SetText(text);
    status_tick_ = tick;
    status_bar_.Show();
}

void GStart::Refresh() {
    // Blink: 9 ticks on, 2 off.
    if (++blink_ > 10) blink_ = 0;
    const bool blink = BlinkOn();
    // The device counts as present once its type has been read on an open port.
    const bool open = g_.is_port_open();
    const bool present = open && g_.params.device_type.is_read();
    const param_snapshot_t flags = g_.params.status_flags.snapshot();
    const uint32_t fl = flags.is_read() ? flags.u32() : 0;

    ShowConnectCaption(open);
    ShowConcentration(present, fl);
    ShowIdentification(present);
    ShowThresholds(present, fl, blink);
    ShowThresholdLamps(present, fl);
    ShowAlarmCounts(present);
    ShowGasText(present);
    asterix_.SetVisible(present && blink);
    ShowAdjustmentOwner(present, blink);
    ShowWifiAndLamps(present);
    EnableDeviceButtons(present);
    ShowWifiButton(present);
}

void GStart::ShowConnectCaption(bool open) {
    const ConnectionSettings cs = g_.connection_settings();
    if (open) bt_connect_.SetCaption(u"Отключиться");
    else if (cs.port_settings.port != 0)
        bt_connect_.SetCaption(
            text::format(64, "Подключиться\n(COM%u ID:%u)", unsigned(cs.port_settings.port), unsigned(cs.block_id)));
    else bt_connect_.SetCaption(u"Подключиться\n(порт не задан)");
}

void GStart::ShowConcentration(bool present, uint32_t flags) {
    const param_snapshot_t conc = g_.params.concentration.snapshot();
    ico_reg_6002_.SetText(present && conc.is_read() ? text::format(64, "%0.1f", double(conc.f32()))
                                                    : ustring_t(u"-.-"));
    concentration_colours_.Show(present && (flags & codes::kStatusHighlight));
}

void GStart::ShowIdentification(bool present) {
    ParamMap_t& p = g_.params;
    for (GControl* f : std::initializer_list<GControl*>{&frame_modbus_id_, &frame_modbus_speed_, &frame_version_,
                                                        &frame_factory_id_, &frame_mipex_type_})
        f->SetVisible(present);

    const param_snapshot_t id = p.ModbusSettings_Id.snapshot();
    reg_1002_modbus_id_.SetText(present && id.is_read() ? text::format(32, "%d", int(id.u16())) : ustring_t(u"-"));
    const param_snapshot_t baud = p.ModbusSettings_Baud.snapshot();
    reg_1003_speed_.SetText(present && baud.is_read() ? codes::SpeedCodeText(baud.u16()) : ustring_t(u"-"));

    const uint32_t ver = p.firmware_ver_major.snapshot().u32();
    reg_1000_1001_version_.SetText(text::format(32, "%u.%u", ver / 10, ver % 10));
    factory_id_.SetText(text::format(32, "%u", p.factory_serial_id.snapshot().u32()));
}

void GStart::ShowThresholds(bool present, uint32_t flags, bool blink) {
    const param_snapshot_t warn = g_.params.Threshold_Warn.snapshot();
    const param_snapshot_t alarm = g_.params.Threshold_Alarm.snapshot();
    reg_2000_threshold1_.SetText(present && warn.is_read() ? text::from_uint(warn.u16()) : ustring_t());
    reg_2001_threshold2_.SetText(present && alarm.is_read() ? text::from_uint(alarm.u16()) : ustring_t());

    // An exceeded threshold blinks: its value and title swap colours.
    const bool hi1 = present && (flags & codes::kStatusThreshold1) && blink;
    const bool hi2 = present && (flags & codes::kStatusThreshold2) && blink;
    threshold1_colours_.Show(hi1);
    threshold1_title_colours_.Show(hi1);
    threshold2_colours_.Show(hi2);
    threshold2_title_colours_.Show(hi2);
}

void GStart::ShowThresholdLamps(bool present, uint32_t flags) {
    // Values are taken only while read: a value left from an earlier
    // connection must not steer the lamps.
    const param_snapshot_t dout = g_.params.dout_test_enabled.snapshot();
    if (dout.is_read() && dout.value != 0) {
        // The discrete-output test: the lamps show the test pattern.
        const param_snapshot_t dst = g_.params.dout_test_state.snapshot();
        const uint64_t st = dst.is_read() ? dst.value : 0;
        img_led_thresh1_.SetVisible(present && (st & 1));
        img_led_thresh2_.SetVisible(present && (st & 2));
    } else {
        const param_snapshot_t owner = g_.params.adjustment_mode_owner.snapshot();
        const bool free = !owner.is_read() || owner.value == codes::kOwnerNone;
        img_led_thresh1_.SetVisible(present && (flags & codes::kStatusThreshold1) && free);
        img_led_thresh2_.SetVisible(present && (flags & codes::kStatusThreshold2) && free);
    }
}

void GStart::ShowAlarmCounts(bool present) {
    const param_snapshot_t am = g_.params.alarms_mask.snapshot();
    const param_snapshot_t wm = g_.params.warnings_mask.snapshot();
    const unsigned alarms = BitsOf(am), warnings = BitsOf(wm);
    // The caption is longer than a short text, so it is made only when the
    // counts it shows change: an idle refresh allocates nothing.
    const bool counted = present && am.is_read() && wm.is_read();
    const int64_t key = counted ? int64_t(alarms) << 32 | warnings : -1;
    if (key != alarm_caption_key_) {
        alarm_caption_key_ = key;
        if (counted)
            bt_alarms_.SetCaption(text::format(96, "Текущие аварии (%u)\nи предупреждения (%u)", alarms, warnings));
        else bt_alarms_.SetCaption(u"Текущие аварии\nи предупреждения");
    }
    ico_reg_alarms_mask_.SetText(present && am.is_read() ? text::format(16, "%u", alarms) : ustring_t(u" "));
    ico_reg_warnings_mask_.SetText(present && wm.is_read() ? text::format(16, "%u", warnings) : ustring_t(u" "));
}

void GStart::ShowGasText(bool present) {
    const param_snapshot_t mt = g_.params.mipex_type.snapshot(), st = g_.params.sensor_type.snapshot(),
                           gas = g_.params.mipex_work_gas.snapshot();
    ustring_t gas_text(u" - ");
    if (present && mt.is_read() && st.is_read() && gas.is_read())
        gas_text = codes::UnitText(mt.u8(), st.u8(), gas.u32());
    ico_reg_6004_mipex_type_.SetText(gas_text);
    reg_6004_mipex_type_.SetText(gas_text);
}

void GStart::ShowAdjustmentOwner(bool present, bool blink) {
    const param_snapshot_t owner = g_.params.adjustment_mode_owner.snapshot();
    if (present && owner.is_read()) {
        switch (owner.u16()) {
            case codes::kOwnerConsole: ico_ss_status_.SetText(u"CON"); break;
            case codes::kOwnerModbus: ico_ss_status_.SetText(u"MB"); break;
            case codes::kOwnerHart: ico_ss_status_.SetText(u"HART"); break;
            default: ico_ss_status_.SetText(u"UNKN"); break;
        }
    } else {
        ico_ss_status_.SetText(ustring_t());
    }
    const bool held = present && owner.is_read() && owner.value != codes::kOwnerNone && blink;
    img_ss.SetVisible(held);
    ico_ss_status_.SetVisible(held);
}

void GStart::ShowWifiAndLamps(bool present) {
    const param_snapshot_t wifi = g_.params.wifi_enabled.snapshot();
    img_wifi_.SetVisible(present && wifi.is_read() && wifi.value != 0);
    const param_snapshot_t fail = g_.params.fail_lamp.snapshot();
    img_led_fail_status_.SetVisible(present && fail.is_read() && fail.value != 0);
    img_led_power_on_.SetVisible(present);
}

void GStart::EnableDeviceButtons(bool present) {
    // bt_connect_ and the buttons of the rows enabled always stay enabled.
    bt_reset_alarm_block_.SetEnabled(present);
    for (SubWindow_t& w : sub_windows_)
        if (w.row->enable == SubWindowRow::kWhenPresent) w.button->SetEnabled(present);
}

void GStart::ShowWifiButton(bool present) {
    // Left alone while a WiFi command holds it.
    if (!g_.can_update_control(&bt_wifi_)) return;
    const param_snapshot_t wifi = g_.params.wifi_enabled.snapshot();
    const bool wifi_on = wifi.is_read() && wifi.value != 0;
    bt_wifi_.SetEnabled(present);
    bt_wifi_.SetCaption(present && wifi_on ? u"Отключить WiFi" : u"Включить WiFi");
}

void GStart::Connect() {
    mb_link_t* l = g_.link.load();
    if (!l) return;
    if (l->is_open()) {
        // Adjustment mode this program took goes back before the port closes.
        ReleaseAdjustmentModeBeforeClose(g_);
        ustring_t text;
        if (l->close(&text)) g_.error_message(kErrorShowMs, text);
        g_.invalidate_all_parameters();
    } else if (g_.connection_settings().port_settings.port != 0) {
        g_.invalidate_all_parameters();
        // A failure shows in the connection window's link state, not here.
        l->open();
    } else {
        if (IWindowSide* w = g_.main_window.load()) w->show_error_message(u"Не задан порт", kErrorShowMs);
        OpenSubWindow(&ConnectionForm(), &bt_connect_, Tick64());
    }
}

void GStart::ToggleWifi() {
    g_.hold(&bt_wifi_, kWifiHoldMs);
    const param_snapshot_t wifi = g_.params.wifi_enabled.snapshot();
    const bool on = wifi.is_read() && wifi.value != 0;
    bt_wifi_.SetCaption(on ? u"WiFi отключается..." : u"WiFi включается...");
    bt_wifi_.SetEnabled(false);
    SendPlainCommand(g_, on ? codes::kCommandWifiOff : codes::kCommandWifiOn, ustring_t(on ? u"Отключение WiFi" : u"Включение WiFi"));
}

void GStart::ResetAlarmBlock() { SendPlainCommand(g_, codes::kCommandResetAlarmLock, ustring_t(u"Сброс блокировки аварии")); }
