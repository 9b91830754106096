#include "windows/poll55_window.h"

#include "foundation/task.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "windows/layout.h"

using namespace UIK;
using layout::Place;

GPoll55Window::GPoll55Window(G_t& g) : g_(g), table_(nullptr, kRows, 3 * kGroups) {
    frame_.SetName(u"GPoll55");
    frame_.SetBounds(0, 0, kWidth, kHeight);
    // The form's caption; the table fills the whole form.
    title_.SetParent(&frame_);
    title_.SetName(u"title_");
    title_.SetText(u"КОНЦЕНТРАЦИИ");
    title_.SetBounds(0, 0, 0, 0);
    title_.Hide();
    Place(box_, frame_, u"box_", 0, 0, kWidth, kHeight);
    box_.SetAnchors(kAnchorAll);
    table_.SetParent(&box_);
    table_.SetName(u"table_");
    table_.SetRowHeight(kHeight / kRows - 2);
    for (int group = 0; group < kGroups; ++group) table_.SetColumnWidth(3 * group, 30);
    table_.SetBounds(0, 0, kWidth - GScrollBox::kBarWidth, table_.NeededHeight());
    table_.SetAnchors(kAnchorLeft | kAnchorTop | kAnchorRight);
    table_.Arrange();
    for (unsigned i = 0; i < kAddresses; ++i) {
        const int row = int(i) % kRows, column = 3 * (int(i) / kRows);
        address_[i] = table_.Cell(row, column);
        concentration_[i] = table_.Cell(row, column + 1);
        temperature_[i] = table_.Cell(row, column + 2);
        address_[i]->SetText(text::format(8, "%u", i + 1));
        address_[i]->SetAlignment(kAlignCenter | kAlignMiddle);
        concentration_[i]->SetText(u"-.-");
        temperature_[i]->SetText(u"-.-");
        for (GLabel* l : {address_[i], concentration_[i], temperature_[i]}) l->SetBackColor(kColorMid);
    }
    // The third group has 15 rows: its last five stay empty.
    shared_->window = this;
}

GPoll55Window::~GPoll55Window() {
    Stop();
    shared_->window = nullptr;
}

void GPoll55Window::Start() {
    if (shared_->running.load()) return;
    shared_->running.store(true);
    G_t* g = &g_;
    // One address after the other, with only a breath in between.
    periodic_ = g_.add_periodic_task(make_task([g, shared = shared_] { Step(g, shared); }), 1);
    // Other windows' periodic readers hold back while other addresses are asked.
    g_.poll_mode.store(true);
    if (GForm* f = frame_.Form()) f->SetTitle(u"КОНЦЕНТРАЦИИ");
}

void GPoll55Window::Stop() {
    if (!shared_->running.load()) return;
    shared_->running.store(false);
    // A step under way finishes and drops its result; the next showing
    // starts again at address 1.
    shared_->next.store(0);
    if (periodic_) g_.remove_periodic_task(periodic_);
    periodic_ = nullptr;
    g_.poll_mode.store(false);
}

void GPoll55Window::Step(G_t* g, std::shared_ptr<Shared_t> shared) {
    if (!shared->running.load()) {
        shared->next.store(0);
        return;
    }
    mb_link_t* link = g->link.load();
    if (link == nullptr) return;
    shared->busy.fetch_add(1);
    const uint32_t index = shared->next.load() % kAddresses;
    Async::Post(
        [&shared, index] {
            if (GPoll55Window* w = shared->window) w->MarkAsking(index);
        },
        true);
    const luma::poll_result_t r = luma::poll_address(*link, uint8_t(index + 1));
    shared->next.store((index + 1) % kAddresses);
    if (shared->running.load()) {
        Async::Post(
            [shared, index, r] {
                // Hidden since: the result is dropped.
                GPoll55Window* w = shared->window;
                if (w && shared->running.load()) w->ShowResult(index, r);
            },
            false);
    } else {
        shared->next.store(0);
    }
    shared->busy.fetch_sub(1);
}

void GPoll55Window::MarkAsking(uint32_t index) { address_[index]->SetForeColor(kAsking); }

void GPoll55Window::ShowResult(uint32_t index, const luma::poll_result_t& r) {
    GLabel& address = *address_[index];
    GLabel& concentration = *concentration_[index];
    GLabel& temperature = *temperature_[index];
    if (r.concentration_read) {
        address.SetForeColor(kAnswered);
        concentration.SetFont(kValueFont);
    } else if (r.concentration_error) {
        address.SetForeColor(kFailed);
        concentration.SetFont(kErrorFont);
    }
    if (const ustring_t t = luma::concentration_text(r); !t.empty()) concentration.SetText(t);
    if (r.temperature_read) temperature.SetFont(kValueFont);
    else if (r.temperature_error) temperature.SetFont(kErrorFont);
    if (const ustring_t t = luma::temperature_text(r); !t.empty()) temperature.SetText(t);
}
