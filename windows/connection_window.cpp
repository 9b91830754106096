#include "windows/connection_window.h"

#include <map>

#include "foundation/task.h"
#include "link/com_port.h"
#include "model/app_state.h"
#include "model/codes.h"
#include "model/mb_link.h"
#include "procedures/write_procedures.h"
#include "windows/layout.h"

using namespace UIK;
using layout::Place;

namespace {

constexpr uint32_t kErrorShowMs = 10000;

constexpr GColor kRowLight = RGB(90, 142, 197);
constexpr GColor kRowDark = RGB(74, 126, 181);
constexpr GColor kStateIdle = RGB(90, 142, 197);
constexpr GColor kStateError = RGB(255, 0, 0);
constexpr GColor kStateUp = RGB(0, 255, 0);

constexpr int kTableWidth = 402;
constexpr int kCellWidth = 200;
constexpr int kInputLeft = 202;
constexpr int kButtonsHeight = 38;
constexpr int kTableTop = 46;
constexpr int kStateTop = 312;
constexpr int kStateHeight = 40;

const char16_t kNotSetFirst[] = u"Не задан";
const char16_t kNotSet[] = u"НЕ ЗАДАН";
const char16_t kConnect[] = u"Подключить";
const char16_t kDisconnect[] = u"Отключить";

mb_link_t* link() { return G_.link.load(); }

}  // namespace

ustring_t PortItemText(unsigned number, const std::string& path) {
    // On Linux a COM number alone does not say which device it is: the path
    // follows it, so the user can tell a USB adapter from a built-in port.
    if (path.empty()) return text::format(16, "COM%d", int(number));
    return text::format(16 + path.size(), "COM%d (%s)", int(number), path.c_str());
}

ustring_t MissingPortItemText(unsigned number) {
    return text::format(48, "COM%d (нет устройства)", int(number));
}

link_state_text_t LinkStateText(bool port_open, const error_value_t& status, uint64_t completed_cycles) {
    ustring_t t(u"Связь с блоком ");
    if (!port_open) return {t + u"отсутствует.\nНе открыт порт", kStateIdle};
    if (status) {
        t += u"отсутствует.\n";
        t += window_message_text(status);
        return {t, kStateError};
    }
    if (completed_cycles > 0) return {t + u"установлена", kStateUp};
    return {t + u" отсутствует.\nЕще не было запросов", kStateIdle};
}

// ---- GBaseConnection -------------------------------------------------------------

GBaseConnection::GBaseConnection(GControl* parent) : GFrame(parent) {
    SetName(u"GConnection");
    Resize(kWidth, kHeight);

    Place(Frame_, *this, u"Frame_", (kWidth - kTableWidth) / 2, 20, kTableWidth, kTableTop + kStateTop + kStateHeight);

    Place(btnCancel_, Frame_, u"btnCancel_", 0, 0, 100, kButtonsHeight);
    btnCancel_.SetCaption(u"Вернуть настройки");
    Place(btConnectDisconnect_, Frame_, u"btConnectDisconnect_", kTableWidth - 100, 0, 100, kButtonsHeight);
    btConnectDisconnect_.SetCaption(kConnect);
    // The small font: both captions fit their buttons whole.
    btnCancel_.SetFont(kFontSmall);
    btConnectDisconnect_.SetFont(kFontSmall);

    Place(GControlsTableDT1, Frame_, u"GControlsTableDT1", 0, kTableTop, kTableWidth, kStateTop + kStateHeight);

    struct row_t {
        int top, height;
        bool light;
        GLabel* caption;
        const char16_t* caption_name;
        const char16_t* caption_text;
        GControl* input;
        const char16_t* input_name;
    };
    const row_t rows[] = {
        {0, 30, true, &GLabel2, u"GLabel2", u"Порт", &ssPort_, u"ssPort_"},
        {32, 30, false, &GLabel3, u"GLabel3", u"Скорость", &ssSpeed_, u"ssSpeed_"},
        {64, 30, true, &GLabel4, u"GLabel4", u"Чётность", &cbParity_, u"cbParity_"},
        {96, 30, false, &GLabel5, u"GLabel5", u"Стоп-бит", &ssStopBits_, u"ssStopBits_"},
        {128, 30, true, &GLabel7, u"GLabel7", u"Эхоподавление", &cbEchoCancelation_, u"cbEchoCancelation_"},
        {160, 42, false, &GLabel1, u"GLabel1", u"Задержка передачи, мс", &iiDelayBeforeSend_, u"iiDelayBeforeSend_"},
        {204, 30, false, &GLabel6, u"GLabel6", u"Таймаут, мс", &Timeout_, u"Timeout_"},
        {236, 30, true, &GLabel8, u"GLabel8", u"Modbus адрес", &BlockID_, u"BlockID_"},
    };
    for (const row_t& r : rows) {
        auto back = std::make_unique<GFrame>(&GControlsTableDT1);
        back->SetBounds(0, r.top, kTableWidth, r.height);
        back->SetBackColor(r.light ? kRowLight : kRowDark);
        r.caption->SetParent(back.get());
        r.caption->SetName(r.caption_name);
        r.caption->SetText(r.caption_text);
        r.caption->SetWordWrap(true);
        r.caption->SetBounds(0, 0, kCellWidth, r.height);
        r.input->SetParent(back.get());
        r.input->SetName(r.input_name);
        r.input->SetBounds(kInputLeft, 0, kCellWidth, r.height);
        rows_.push_back(std::move(back));
    }

    ssPort_.SetCaption(u"Порт");
    ssPort_.SetItems({kNotSetFirst});
    ssSpeed_.SetCaption(u" Скорость ");
    ssStopBits_.SetCaption(u" Стоп-бит ");
    ssStopBits_.SetItems({kStopBitsNames[0], kStopBitsNames[1], kStopBitsNames[2]});
    iiDelayBeforeSend_.SetPrompt(u"Задержка передачи, мс");
    Timeout_.SetPrompt(u"Таймаут, мс");
    BlockID_.SetPrompt(u"Адрес блока");
    // What the record's fields can hold and the line can use: the delay and
    // the time-out are 16-bit milliseconds (a zero time-out would fail every
    // exchange at once), the address is a Modbus slave address (0 is the
    // broadcast, above 247 reserved).
    iiDelayBeforeSend_.SetRange(0, 65535);
    Timeout_.SetRange(1, 65535);
    BlockID_.SetRange(kBlockIdMin, kBlockIdMax);

    Place(BlockConnected_, GControlsTableDT1, u"BlockConnected_", 0, kStateTop, kTableWidth, kStateHeight);
    BlockConnected_.SetText(u"Состояние:");
    BlockConnected_.SetWordWrap(true);
    BlockConnected_.SetAlignment(kAlignCenter | kAlignMiddle);
    BlockConnected_.SetBackColor(kStateIdle);
}

// ---- GPortSelector ----------------------------------------------------------------

void GPortSelector::HandleMouseUp(const GMouseEvent& e) {
    if (!OnDropRequest) {
        GStringSelector::HandleMouseUp(e);
        return;
    }
    const bool click = IsPressed() && e.button == 1 && GRect{0, 0, Width(), Height()}.Contains(e.x, e.y);
    GButtonBase::HandleMouseUp(e);
    if (click) OnDropRequest();
}

void GPortSelector::HandleKeyDown(const GKeyEvent& e) {
    if (OnDropRequest && (e.key == kKeyEnter || e.key == kKeySpace) && !(e.mods & kModCtrl)) {
        OnDropRequest();
        return;
    }
    GStringSelector::HandleKeyDown(e);
}

// ---- GConnection ------------------------------------------------------------------

GConnection::GConnection(GControl* parent) : GBaseConnection(parent) {
    port_list_.append(0);
    reconnect_ = G_.is_port_open();
    revert_ = G_.connection_settings();
    btnCancel_.SetEnabled(false);

    std::vector<ustring_t> speeds;
    for (uint32_t s : codes::kSpeedTable) speeds.push_back(text::from_uint(s));
    ssSpeed_.SetItems(speeds);

    auto changed = [this](GControl*) { FieldChanged(); };
    ssPort_.OnSelectionChanged.Set(changed);
    ssSpeed_.OnSelectionChanged.Set(changed);
    ssStopBits_.OnSelectionChanged.Set(changed);
    cbParity_.OnChange.Set(changed);
    cbEchoCancelation_.OnChange.Set(changed);
    auto entered = [this](GControl*, int64_t) { FieldChanged(); };
    iiDelayBeforeSend_.OnValueAccepted.Set(entered);
    Timeout_.OnValueAccepted.Set(entered);
    BlockID_.OnValueAccepted.Set(entered);
    btnCancel_.OnClick.Set([this](GControl*) { Revert(); });
    btConnectDisconnect_.OnClick.Set([this](GControl*) { ConnectDisconnect(); });
    // Adapters come and go: the list dropped down shows the ports as they are now.
    ssPort_.OnDropRequest = [this] {
        drop_after_scan_ = true;
        StartPortScan();
    };
    OnResize.Set([this](GControl*) { Frame_.Move((Width() - Frame_.Width()) / 2, Frame_.Top()); });

    StartPortScan();
    FillControls(G_.connection_settings());
    Refresh();
    timer_.OnTick.Set([this](GTimer*) { Refresh(); });
    timer_.Start();
}

GConnection::~GConnection() {
    timer_.Stop();
    *alive_ = false;
}

void GConnection::FieldChanged() {
    if (update_counter_ > 0) return;
    btnCancel_.SetEnabled(true);
    Apply();
}

void GConnection::FillControls(const ConnectionSettings& s) {
    ++update_counter_;
    FillLocked(s);
    --update_counter_;
}

void GConnection::BuildPortList(const ConnectionSettings& s) {
    std::map<uint8_t, ustring_t> ports;  // in increasing order
    for (const found_port_t& p : scanned_) ports.emplace(p.number, PortItemText(p.number, p.path));
    for (uint8_t n : {s.port_settings.port, G_.connection_settings().port_settings.port, revert_.port_settings.port}) {
        // Before the first scan nothing is known of the device.
        if (n != 0 && !ports.count(n)) ports.emplace(n, scans_taken_ > 0 ? MissingPortItemText(n) : PortItemText(n, {}));
    }
    Array_T<uint8_t> numbers;
    numbers.append(0);
    std::vector<ustring_t> items{scans_taken_ > 0 ? kNotSet : kNotSetFirst};
    for (const auto& [n, item] : ports) {
        numbers.append(n);
        items.push_back(item);
    }
    bool same = numbers.count() == port_list_.count();
    for (size_t i = 0; same && i < numbers.count(); ++i) same = numbers[i] == port_list_[i];
    if (same && items == ssPort_.Items()) return;
    port_list_ = std::move(numbers);
    ssPort_.SetItems(items);
}

void GConnection::FillLocked(const ConnectionSettings& s) {
    const com_port_settings_t& p = s.port_settings;
    BuildPortList(s);
    int port_index = 0;
    for (size_t i = 1; i < port_list_.count(); ++i)
        if (port_list_[i] == p.port) {
            port_index = int(i);
            break;
        }
    ssPort_.SetSelectedIndex(port_index);

    int speed_index = int(codes::kSpeedFallbackIndex);
    for (size_t i = 0; i < codes::kSpeedCount; ++i)
        if (codes::kSpeedTable[i] == p.speed) speed_index = int(i);
    ssSpeed_.SetSelectedIndex(speed_index);

    cbParity_.SetChecked(p.parity > 0);
    ssStopBits_.SetSelectedIndex(p.stop_bits);
    cbEchoCancelation_.SetChecked(p.permanent_echo != 0);
    iiDelayBeforeSend_.SetValue(p.before_send_delay);
    Timeout_.SetValue(s.timeout);
    BlockID_.SetValue(s.block_id);
}

ConnectionSettings GConnection::ReadControls() const {
    ConnectionSettings s;
    com_port_settings_t& p = s.port_settings;
    const int port_index = ssPort_.SelectedIndex();
    p.port = port_index >= 0 && size_t(port_index) < port_list_.count() ? port_list_[size_t(port_index)] : 0;
    const int speed_index = ssSpeed_.SelectedIndex();
    p.speed = speed_index >= 0 && size_t(speed_index) < codes::kSpeedCount
                  ? codes::kSpeedTable[speed_index]
                  : codes::kSpeedTable[codes::kSpeedFallbackIndex];
    p.parity = cbParity_.IsChecked() ? 1 : 0;
    p.stop_bits = static_cast<uint8_t>(ssStopBits_.SelectedIndex());
    p.permanent_echo = cbEchoCancelation_.IsChecked() ? 1 : 0;
    // The entered delay, not 0: any change of another field would otherwise
    // silently drop the user's delay.
    p.before_send_delay = static_cast<uint16_t>(iiDelayBeforeSend_.Value());
    s.timeout = static_cast<uint16_t>(Timeout_.Value());
    // An address outside 1..247 is never cut to fit: the one in force stays.
    const int64_t id = BlockID_.Value();
    s.block_id = id >= kBlockIdMin && id <= kBlockIdMax ? static_cast<uint8_t>(id) : G_.connection_settings().block_id;
    return s;
}

void GConnection::Apply() { ApplySettings(ReadControls()); }

bool GConnection::ApplySettings(const ConnectionSettings& s) {
    ustring_t text;
    const bool ok = G_.apply_connection_settings(s, &text);
    if (ok) {
        // A port the user opened here was closed by the apply when its new
        // settings could not be opened; try again with them.
        if (!G_.is_port_open() && reconnect_) ConnectDisconnect();
    } else {
        G_.error_message(kErrorShowMs, text);
    }
    FillControls(G_.connection_settings());
    SetButtonCaption();
    return ok;
}

void GConnection::ConnectDisconnect() {
    mb_link_t* l = link();
    if (!l) return;
    ustring_t text;
    if (l->is_open()) {
        reconnect_ = false;
        // Adjustment mode this program took goes back before the port closes.
        ReleaseAdjustmentModeBeforeClose(G_);
        if (!l->close(&text)) G_.clear_message();
        else G_.error_message(kErrorShowMs, text);
        G_.invalidate_all_parameters();
    } else if (!l->open(&text)) {
        G_.clear_message();
        reconnect_ = true;
    } else {
        G_.error_message(kErrorShowMs, text);
    }
    Refresh();
}

void GConnection::Revert() {
    FillControls(revert_);
    Apply();
}

void GConnection::SetButtonCaption() {
    btConnectDisconnect_.SetCaption(G_.is_port_open() ? kDisconnect : kConnect);
}

void GConnection::RefreshState() {
    SetButtonCaption();
    mb_link_t* l = link();
    const link_state_text_t st = l ? LinkStateText(l->is_open(), l->link_status(), l->completed_cycles())
                                   : LinkStateText(false, success(), 0);
    BlockConnected_.SetText(st.text);
    if (BlockConnected_.BackColor() != st.color) BlockConnected_.SetBackColor(st.color);
}

void GConnection::Refresh() {
    FillControls(G_.connection_settings());
    RefreshState();
}

void GConnection::FormShown() {
    revert_ = G_.connection_settings();
    // Nothing differs from the new revert record yet.
    btnCancel_.SetEnabled(false);
    StartPortScan();
    Refresh();
}

void GConnection::StartPortScan() {
    std::weak_ptr<bool> alive = alive_;
    G_.post_to_worker1(make_task([this, alive] {
        std::vector<found_port_t> ports;
        com_port_t::enumerate_ports([&ports](unsigned n, const std::string& path) {
            ports.push_back(found_port_t{static_cast<uint8_t>(n), path});
        });
        // Waits until the window thread has taken the list; the panel is
        // looked at there, where it is also destroyed.
        Async::Post(
            [this, alive, &ports] {
                if (auto a = alive.lock(); a && *a) TakePorts(ports);
            },
            true);
    }));
}

void GConnection::TakePorts(const std::vector<found_port_t>& ports) {
    scanned_ = ports;
    ++scans_taken_;
    ++update_counter_;
    // The selection keeps its index; show the port of the record in force.
    FillLocked(G_.connection_settings());
    --update_counter_;
    if (drop_after_scan_) {
        drop_after_scan_ = false;
        ssPort_.DropDown();
    }
}

// ---- GConnectionForm -------------------------------------------------------------

GConnectionForm::GConnectionForm() {
    SetName(u"GConnectionForm");
    SetTitle(u"Настройка связи");
    const int width = GConnection::kWidth + GScanner::kWidth + 8;
    Resize(width, GConnection::kHeight);
    SetMinimumSize(width, GConnection::kHeight);

    connection_.SetParent(this);
    connection_.SetBounds(0, 0, GConnection::kWidth, GConnection::kHeight);
    connection_.SetAnchors(kAnchorAll);
    scanner_.SetParent(this);
    scanner_.SetBounds(GConnection::kWidth, (GConnection::kHeight - GScanner::kHeight) / 2, GScanner::kWidth,
                       GScanner::kHeight);
    scanner_.SetAnchors(kAnchorTop | kAnchorRight);

    for (GControl* c : std::initializer_list<GControl*>{
             &connection_.btConnectDisconnect_, &connection_.ssPort_, &connection_.ssSpeed_, &connection_.cbParity_,
             &connection_.ssStopBits_, &connection_.cbEchoCancelation_, &connection_.iiDelayBeforeSend_,
             &connection_.Timeout_, &connection_.BlockID_, &scanner_.bt_scanstop_})
        AddTabControl(c);

    // Escape reverts the fields (a press of btnCancel_); with Shift or Ctrl
    // held it does nothing.
    OnFormKey.Set([this](GForm*, const GKeyEvent& e) {
        if (e.key == kKeyEscape && !(e.mods & (kModShift | kModCtrl)) && connection_.btnCancel_.IsEnabled())
            connection_.Revert();
    });
}

GConnectionForm::~GConnectionForm() = default;

void GConnectionForm::VisibilityChanged(bool visible) {
    GTabKeyForm::VisibilityChanged(visible);
    if (visible) connection_.FormShown();
}

void GConnectionForm::Tick() { connection_.RefreshState(); }
