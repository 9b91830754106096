#include "windows/search_panel.h"

#include "foundation/task.h"
#include "link/errors.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "windows/layout.h"

using namespace UIK;
using layout::Place;

namespace {

constexpr uint32_t kErrorShowMs = 10000;
constexpr size_t kTextMax = 512;

const char16_t kStartCaption[] = u"Начать\nпоиск";
const char16_t kStopCaption[] = u"Остановить поиск";
const char16_t kAgainCaption[] = u"Повторить\nпоиск";

}  // namespace

// ---- GBaseScanner ----------------------------------------------------------------

GBaseScanner::GBaseScanner(GControl* parent) : GFrame(parent) {
    SetName(u"GScanner");
    Resize(kWidth, kHeight);

    Place(title_, *this, u"title_", 0, 1, 316, 26);
    title_.SetText(u"Поиск устройств");
    title_.SetAlignment(kAlignCenter | kAlignMiddle);

    Place(bt_scanstop_, *this, u"bt_scanstop_", 8, 34, 140, 46);
    bt_scanstop_.SetCaption(kStartCaption);

    Place(label_found_, *this, u"label_found_", 168, 32, 140, 50);
    label_found_.SetDisplayFormat(u"Найдено: %I64d");
    label_found_.SetHint(u"Количество обнаруженных устройств");
    label_found_.SetEmptyText(u"Обнаружено: 0");

    Place(progress_, *this, u"progress_", 0, 82, 270, 22);
    progress_.SetRange(0, GScanner::kLastAddress);
    progress_.SetPosition(0);

    Place(counter_, *this, u"counter_", 275, 83, 33, 21);

    Place(list_, *this, u"list_", 0, 105, 316, 295);
    list_.SetAnchors(kAnchorAll);
}

// ---- GScanner --------------------------------------------------------------------

GScanner::GScanner(GControl* parent) : GBaseScanner(parent) {
    shared_->panel = this;
    bt_scanstop_.OnClick.Set([this](GControl*) { StartStop(); });
    list_.OnItemClick.Set([this](GControl*, int index) { Choose(index); });
}

GScanner::~GScanner() {
    // A search still running on the worker finds no panel any more and ends
    // at its next address.
    if (current_) current_->store(false);
    shared_->panel = nullptr;
}

bool GScanner::IsRunning() const { return current_ && current_->load(); }

void GScanner::StartStop() {
    if (IsRunning()) Stop();
    else Start();
}

void GScanner::Start() {
    if (IsRunning() || !G_.link.load()) return;
    current_ = std::make_shared<std::atomic<bool>>(true);
    bt_scanstop_.SetCaption(kStopCaption);
    G_.found_devices.clear();
    list_.Clear();
    label_found_.SetValue(0);
    counter_.SetText(u"");
    ++tasks_in_flight_;
    G_.post_to_worker1(make_task([shared = shared_, flag = current_] { Search(shared, flag); }));
}

void GScanner::Stop() {
    if (current_) Finish(current_, false);
}

void GScanner::Finish(const RunFlag& flag, bool from_task) {
    if (from_task) --tasks_in_flight_;
    // A search stopped earlier that ends only now leaves the newer one alone.
    if (flag != current_) return;
    flag->store(false);
    bt_scanstop_.SetCaption(kAgainCaption);
    progress_.SetPosition(0);
}

void GScanner::ShowAddress(const RunFlag& flag, unsigned address) {
    if (flag != current_) return;
    counter_.SetText(text::from_uint(address));
    progress_.SetPosition(address);
}

void GScanner::AddFound(const RunFlag& flag, uint32_t address, uint32_t serial, const ustring_t& entry) {
    if (flag != current_) return;
    G_.found_devices.append(found_device_t{address, serial});
    list_.AddItem(entry);
    label_found_.SetValue(int64_t(G_.found_devices.count()));
}

void GScanner::Choose(int index) {
    // Nothing stays highlighted: the entry is an action, not a state.
    list_.SetSelectedIndex(list_.Count());
    mb_link_t* l = G_.link.load();
    if (!l || IsRunning() || IsBusy()) return;
    if (index < 0 || size_t(index) >= G_.found_devices.count()) return;
    ConnectionSettings s = G_.connection_settings();
    s.block_id = static_cast<uint8_t>(G_.found_devices[size_t(index)].address);
    G_.apply_connection_settings(s, nullptr);
    l->open(nullptr);
}

void GScanner::Search(std::shared_ptr<Shared_t> shared, RunFlag flag) {
    // Runs fn with the panel on the window thread and waits for it; false
    // when the message loop has ended (the program is closing).
    auto on_window = [&shared](auto fn) {
        return Async::Post(
                   [&shared, &fn] {
                       if (GScanner* p = shared->panel) fn(*p);
                   },
                   true) == 1;
    };
    auto finish = [&] { on_window([&flag](GScanner& p) { p.Finish(flag, true); }); };

    mb_link_t* l = G_.link.load();
    ustring_t text;
    if (!l || l->open(&text)) {
        G_.error_message(kErrorShowMs, text::format(kTextMax, "Поиск. %s", text::utf8(text).c_str()));
        finish();
        return;
    }

    const ConnectionSettings original = G_.connection_settings();
    ConnectionSettings work = original;
    mb_param_t& serial_param = l->params().factory_serial_id;
    for (unsigned a = kFirstAddress; a <= kLastAddress && flag->load(); ++a) {
        if (!on_window([&flag, a](GScanner& p) { p.ShowAddress(flag, a); })) break;
        if (!flag->load()) break;
        work.block_id = static_cast<uint8_t>(a);
        G_.apply_connection_settings(work, nullptr);
        const error_value_t e = l->read_param(serial_param);
        if (!e) {
            const uint32_t serial = serial_param.snapshot().u32();
            G_.status_text(text::format(kTextMax, "Поиск. ID: %u - ЛУМА [с/н: %u]", a, serial));
            const ustring_t entry = text::format(kTextMax, "ID:%u - ЛУМА-10 [с/н: %u]", a, serial);
            on_window([&](GScanner& p) { p.AddFound(flag, a, serial, entry); });
        } else if (e.category == &mb_category()) {
            // An exception reply: something answers at this address, but not
            // with a detector's registers.
            const std::string why = text::utf8(ustring_t(e.message()));
            G_.status_text(
                text::format(kTextMax, "Поиск. ID: %u - неизвестное устройство\n(Отклик: %s)", a, why.c_str()));
            const ustring_t entry =
                text::format(kTextMax, "ID: %u - неизвестное устройство\n(Отклик: %s)", a, why.c_str());
            on_window([&](GScanner& p) { p.AddFound(flag, a, 0, entry); });
        } else {
            const std::string why = text::utf8(ustring_t(e.message()));
            G_.status_text(
                text::format(kTextMax, "Поиск. ID: %u - устройство отсутствует\n(%s)", a, why.c_str()));
        }
    }
    // The address chosen before the search comes back; the port stays open.
    // A failure here is not reported: the panel shows the settings in force.
    G_.apply_connection_settings(original, nullptr);
    finish();
}
