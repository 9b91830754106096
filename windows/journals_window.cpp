#include "windows/journals_window.h"

#include <algorithm>

#include "foundation/task.h"
#include "foundation/time_services.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "model/params.h"
#include "platform/time.h"

using namespace UIK;
using luma::journal_kind;

namespace {

const char16_t kLoadAll[] = u"Загрузить весь архив";
const char16_t kStopLoading[] = u"Остановить загрузку";
const char16_t kLoadAgain[] = u"Повторить загрузку";
const char16_t kNoLink[] = u"Нет связи";
const char16_t kExportFilter[] = u"CSV-файл (*.csv)|*.csv|TXT-файл (*.txt)|*.txt";

constexpr GColor kTitleBack = RGB(90, 142, 197);
constexpr int kButtonSkin = bmpButtonSkin_Vulgar1;
constexpr int kDownButtonSkin = bmpButtonSkin_Vulgar3;

// The register block each page previews: the list journals' record blocks
// (count, selector, record), the counters, and the trend's preview record.
struct preview_block_t {
    uint16_t start;
    uint16_t count;
};
constexpr preview_block_t kPreview[luma::kJournalCount] = {
    {50020, 8}, {50040, 8}, {50060, 8}, {50080, 15}, {50070, 8}, {50100, 16}, {50001, 8},
};

// A list page's parameters: the journal's record count, its record selector,
// and the time of the selected record (read once the preview block arrived).
struct list_params_t {
    mb_param_t ParamMap_t::*count;
    mb_param_t ParamMap_t::*selector;
    mb_param_t ParamMap_t::*time;
};
template <int N> constexpr list_params_t kListParams{};
template <> constexpr list_params_t kListParams<0>{&ParamMap_t::threshold1_log_count, &ParamMap_t::threshold1_log_index, &ParamMap_t::threshold1_log_time};
template <> constexpr list_params_t kListParams<1>{&ParamMap_t::threshold2_log_count, &ParamMap_t::threshold2_log_index, &ParamMap_t::threshold2_log_time};
template <> constexpr list_params_t kListParams<2>{&ParamMap_t::alarm_log_count, &ParamMap_t::alarm_log_index, &ParamMap_t::alarm_log_time};
template <> constexpr list_params_t kListParams<3>{&ParamMap_t::setup_log_count, &ParamMap_t::setup_log_index, &ParamMap_t::setup_log_time};
template <> constexpr list_params_t kListParams<4>{&ParamMap_t::config_log_count, &ParamMap_t::config_log_index, &ParamMap_t::config_log_time};
template <> constexpr list_params_t kListParams<6>{&ParamMap_t::trend_count, &ParamMap_t::trend_index, &ParamMap_t::trend_time};

void Place(GControl& c, GControl& parent, const char16_t* name, int l, int t, int w, int h, unsigned anchors) {
    c.SetParent(&parent);
    c.SetName(name);
    c.SetBounds(l, t, w, h);
    c.SetAnchors(anchors);
}

// Reads a preview block once, on worker 1: not while the poll window asks
// other addresses, and not without a device to answer.
void ReadPreview(G_t* g, preview_block_t block) {
    if (g->poll_mode.load() || !g->is_connected()) return;
    if (mb_link_t* l = g->link.load()) l->read_block(block.start, block.count);
}

ustring_t TotalText(uint32_t count) { return text::format(64, "Всего записей: %u\n\n", count); }

bool EndsWithCsv(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    // Only the extension decides, and only ASCII letters fold: the path
    // itself is written as chosen.
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return ext == ".csv";
}

}  // namespace

// ---- page layout ----------------------------------------------------------------

GBaseJournal::GBaseJournal(GControl* parent) : GFrame(parent) {
    SetBounds(0, 0, kWidth, kHeight);
    Place(bt_load_, *this, u"bt_load_", 3, 3, 132, 46, kAnchorLeft | kAnchorTop);
    bt_load_.SetCaption(u"Загрузить весь журнал");
    bt_load_.SetFont(2);
    Place(progress_, *this, u"progress_", 143, 12, 403, 30, kAnchorLeft | kAnchorTop | kAnchorRight);
    Place(bt_export_, *this, u"bt_export_", 553, 3, 84, 46, kAnchorTop | kAnchorRight);
    bt_export_.SetCaption(u"Экспорт");
    Place(GAntiPanel1, *this, u"GAntiPanel1", 0, 53, 596, 427, kAnchorAll);
    Place(text_, GAntiPanel1, u"text_", 3, 2, 589, 421, kAnchorAll);
    text_.SetAlignment(kAlignLeft | kAlignTop);
    text_.SetWordWrap(true);
    Place(sb_, *this, u"sb_", 598, 52, 40, 428, kAnchorTop | kAnchorRight | kAnchorBottom);
    sb_.SetRange(0, 0);
    sb_.SetLargeStep(GJournalPage::kRecordsPerPage);
}

// ---- any page -------------------------------------------------------------------

GJournalPage::GJournalPage(G_t& g, journal_kind kind) : g_(g), kind_(kind) {
    SetName(text::format(32, "GJournal%d", int(kind)));
    sb_.OnPositionChanged.Set([this](GControl*) {
        if (update_counter_ == 0) Refresh(true);
    });
    // The wheel anywhere over the page moves the record bar.
    OnMouseWheel.Set([this](GControl*, const GMouseEvent& e) { sb_.HandleMouseWheel(e); });
    bt_load_.OnClick.Set([this](GControl*) { LoadOrStop(); });
    bt_export_.OnClick.Set([this](GControl*) { Export(); });
    bt_load_.SetCaption(kLoadAll);
    bt_load_.SetEnabled(false);
    bt_export_.SetEnabled(false);
    text_.SetText(kNoLink);
}

GJournalPage::~GJournalPage() = default;

uint16_t GJournalPage::PreviewStart() const { return kPreview[int(kind_)].start; }
uint16_t GJournalPage::PreviewCount() const { return kPreview[int(kind_)].count; }

ustring_t GJournalPage::ScreenText(const ustring_t& t) {
    std::u16string s(t.view());
    for (size_t i = s.find(u'\t'); i != std::u16string::npos; i = s.find(u'\t', i + 4)) s.replace(i, 1, u"    ");
    return ustring_t(std::u16string_view(s));
}

void GJournalPage::ShowText(const ustring_t& t) {
    const ustring_t shown = ScreenText(t);
    if (text_.Text() != shown) text_.SetText(shown);
}

void GJournalPage::SetScroll(int64_t hi, int64_t position) {
    ++update_counter_;
    if (sb_.Minimum() != 0 || sb_.Maximum() != hi) sb_.SetRange(0, hi);
    if (sb_.Position() != position) sb_.SetPosition(position);
    --update_counter_;
}

ustring_t GJournalPage::DefaultExportName() {
    return ustring_t(u"luma10 log ") + FileStamp(plat::local_time());
}

void GJournalPage::Export() {
    ustring_t path = DefaultExportName();
    int filter_index = 1;
    // The dialog is modal; the journals form stays disabled meanwhile, so no
    // page button or key acts on the page behind it.
    GForm* form = Form();
    if (form) form->EnableWindow(false);
    const bool chosen = SaveFileDialog(form, kExportFilter, path, filter_index);
    if (form) form->EnableWindow(true);
    if (!chosen) return;
    ExportTo(path);
}

error_value_t GJournalPage::ExportTo(const ustring_t& path) {
    const std::string file = text::utf8(path);
    const std::string bytes = ExportBytes(EndsWithCsv(file) ? luma::export_format::csv : luma::export_format::text);
    const error_value_t e = luma::write_export_file(file, bytes);
    if (e) {
        ustring_t m(u"Журнал не сохранён в файл\n");
        m += path;
        m += u"\n(";
        m += e.name();
        m += u". ";
        m += e.message();
        m += u")";
        g_.error_message(kErrorShowMs, m);
    }
    return e;
}

// ---- list pages -----------------------------------------------------------------

template <int N>
GJournal<N>::GJournal(G_t& g) : GJournalPage(g, journal_kind(N)) {}

template <int N>
void GJournal<N>::Refresh(bool rebuild) {
    const bool connected = g_.is_connected();
    const bool loading = this->loading.load();
    if (progress_waiting_) DrawProgress();
    bt_load_.SetCaption(loading ? kStopLoading : load_pressed_ ? kLoadAgain : kLoadAll);
    // A stopped download still finishing its record keeps the button off:
    // a new one posted now would be ended by the old one's hand-over.
    bt_load_.SetEnabled(connected && !(pending_ && !loading));
    bt_export_.SetEnabled(connected && this->loaded && !loading);

    if (this->loaded) {
        // Downloaded records stay browsable without a link.
        if (loading) return;
        const uint32_t count = uint32_t(this->records.count());
        SetScroll(count > 0 ? count - 1 : 0, sb_.Position());
        if (!rebuild) return;
        ustring_t t = TotalText(count);
        const uint64_t first = uint64_t(sb_.Position());
        for (uint64_t i = first; i < first + kRecordsPerPage && i < count; ++i) {
            t += luma::record_text(this->records[size_t(i)]);
            t += u"\n\n";
        }
        ShowText(t);
        return;
    }
    if (connected) {
        // A download in progress shows its own progress.
        if (loading) return;
        constexpr list_params_t lp = kListParams<N>;
        ParamMap_t& p = g_.params;
        // The device shows the record at the bar's position once the poll
        // cycle has sent the selector and the preview task read the block.
        if (mb_link_t* l = g_.link.load()) l->queue_param(p.*lp.selector, uint64_t(sb_.Position()));
        const uint32_t count = (p.*lp.count).snapshot().u32();
        SetScroll(count > 0 ? int64_t(count) - 1 : 0, sb_.Position());
        if (!(p.*lp.time).is_read()) return;
        if (count == 0) ShowText(u"Всего записей: 0");
        else ShowText(TotalText(count) + luma::record_text(luma::selected_record<Item>(p)));
        return;
    }
    SetScroll(0, 0);
    progress_.SetRange(0, 0);
    progress_.SetPosition(0);
    ShowText(kNoLink);
}

template <int N>
void GJournal<N>::LoadOrStop() {
    load_pressed_ = true;
    // The next refresh enables it again while connected.
    bt_load_.SetEnabled(false);
    if (this->loading.load()) {
        // The download notices before its next record or block.
        this->loading.store(false);
        return;
    }
    // Without a device the download would end at once with an error; without
    // a link it could not even be posted and the page would stay loading.
    if (pending_ || !g_.is_connected() || g_.link.load() == nullptr) return;
    this->loading.store(true);
    pending_ = true;
    progress_.SetRange(0, 0);
    progress_.SetPosition(0);
    luma::post_journal_download(g_, *this);
}

template <int N>
void GJournal<N>::run_on_window_thread(const std::function<void()>& fn) {
    Async::Post([&fn] { fn(); }, true);
}

template <int N>
void GJournal<N>::show_progress(uint32_t range, uint32_t position, const ustring_t& text) {
    progress_range_ = range;
    progress_position_ = position;
    progress_text_ = text;
    progress_waiting_ = true;
    if (Tick64() - progress_drawn_at_ >= kProgressDrawMs) DrawProgress();
}

template <int N>
void GJournal<N>::DrawProgress() {
    progress_waiting_ = false;
    progress_drawn_at_ = Tick64();
    progress_.SetRange(0, progress_range_);
    progress_.SetPosition(progress_position_);
    ShowText(progress_text_);
}

template <int N>
void GJournal<N>::refresh_rebuilt() {
    // Only the hand-over calls this: the download has ended.
    pending_ = false;
    Refresh(true);
}

template <int N>
std::string GJournal<N>::ExportBytes(luma::export_format format) const {
    return luma::export_bytes(this->records, format);
}

// ---- counters page --------------------------------------------------------------

GJournal<5>::GJournal(G_t& g) : GJournalPage(g, journal_kind::counters) {
    sb_.Hide();
    bt_load_.Hide();
    progress_.Hide();
}

void GJournal<5>::Refresh(bool) {
    const bool connected = g_.is_connected();
    bt_export_.SetEnabled(connected);
    ShowText(connected ? luma::counters_text(luma::counters_from_params(g_.params)) : ustring_t(kNoLink));
}

std::string GJournal<5>::ExportBytes(luma::export_format format) const {
    return luma::export_bytes(luma::counters_from_params(g_.params), format);
}

template class GJournal<0>;
template class GJournal<1>;
template class GJournal<2>;
template class GJournal<3>;
template class GJournal<4>;
template class GJournal<6>;

// ---- window layout --------------------------------------------------------------

GBaseJournals::GBaseJournals(GControl* parent) : GFrame(parent) {
    SetName(u"GJournals");
    SetBounds(0, 0, kWidth, kHeight);
    Place(title_, *this, u"title_", 0, 0, 800, 32, kAnchorLeft | kAnchorTop | kAnchorRight);
    title_.SetText(u"Журналы");
    title_.SetAlignment(kAlignCenter | kAlignMiddle);
    Place(GFrameDT1, *this, u"GFrameDT1", 8, 32, 788, 46, kAnchorLeft | kAnchorTop);
    struct {
        GTextButton* b;
        const char16_t* name;
        const char16_t* caption;
        int left, width;
    } const buttons[] = {
        {&bt1_, u"bt1_", u"Порог 1", 0, 100},
        {&bt2_, u"bt2_", u"Порог 2", 100, 100},
        {&bt3_, u"bt3_", u"Аварии", 200, 100},
        {&bt4_, u"bt4_", u"Изменения настройки", 300, 132},
        {&bt5_, u"bt5_", u"Изменения конфигурации", 432, 132},
        {&bt6_, u"bt6_", u"Счетчики", 563, 116},
        {&bt7_, u"bt7_", u"Тренд", 680, 108},
    };
    for (const auto& b : buttons) {
        Place(*b.b, GFrameDT1, b.name, b.left, 0, b.width, 46, kAnchorLeft | kAnchorTop);
        b.b->SetCaption(b.caption);
        b.b->SetFont(2);
    }
    Place(panel_, *this, u"panel_", 0, 77, 800, 523, kAnchorAll);
}

// ---- the window -----------------------------------------------------------------

GJournals::GJournals(G_t& g)
    : page0_(g), page1_(g), page2_(g), page3_(g), page4_(g), page5_(g), page6_(g), g_(g),
      pages_{&page0_, &page1_, &page2_, &page3_, &page4_, &page5_, &page6_},
      buttons_{&bt1_, &bt2_, &bt3_, &bt4_, &bt5_, &bt6_, &bt7_} {
    for (int i = 0; i < luma::kJournalCount; ++i) {
        GJournalPage& page = *pages_[i];
        page.SetParent(&panel_);
        page.SetBounds(0, 0, panel_.Width(), panel_.Height());
        page.SetAnchors(kAnchorAll);
        page.SetVisible(i == 0);
        buttons_[i]->SetSkin(i == 0 ? kDownButtonSkin : kButtonSkin);
        buttons_[i]->OnClick.Set([this, i](GControl*) { SelectPage(i); });
    }
}

GJournals::~GJournals() {
    if (periodic_) g_.remove_periodic_task(periodic_);
}

std::vector<GControl*> GJournals::InputControls() {
    std::vector<GControl*> v(std::begin(buttons_), std::end(buttons_));
    for (GJournalPage* p : pages_) {
        v.push_back(&p->bt_load_);
        v.push_back(&p->bt_export_);
        v.push_back(&p->sb_);
    }
    return v;
}

void GJournals::Shown() {
    if (auto* f = dynamic_cast<GTabKeyForm*>(Form()); f && key_form_ == nullptr) {
        key_form_ = f;
        previous_key_ = f->OnFormKey.Get();
        f->OnFormKey.Set([this](GForm* form, const GKeyEvent& e) { HandleKey(form, e); });
    }
    G_t* g = &g_;
    for (GJournalPage* p : pages_) {
        const preview_block_t block{p->PreviewStart(), p->PreviewCount()};
        g_.post_to_worker1(make_task([g, block] { ReadPreview(g, block); }));
    }
    SelectPreviewTask();
    Page(current_).Refresh(true);
}

void GJournals::Hidden() {
    // The form's own key handler comes back; the preview task stays until
    // the next show or page switch replaces it.
    if (key_form_) {
        key_form_->OnFormKey.Set(previous_key_);
        key_form_ = nullptr;
        previous_key_ = nullptr;
    }
}

void GJournals::SelectPage(int i) {
    if (i < 0 || i >= luma::kJournalCount || i == current_) return;
    current_ = i;
    for (int k = 0; k < luma::kJournalCount; ++k) {
        buttons_[k]->SetSkin(k == i ? kDownButtonSkin : kButtonSkin);
        pages_[k]->SetVisible(k == i);
    }
    SelectPreviewTask();
    Page(i).Refresh(true);
}

void GJournals::HandleKey(GForm* form, const GKeyEvent& e) {
    if (e.key == kKeyTab && (e.mods & kModCtrl)) {
        const int step = (e.mods & kModShift) ? luma::kJournalCount - 1 : 1;
        buttons_[(current_ + step) % luma::kJournalCount]->PerformClick();
        return;
    }
    if (previous_key_) previous_key_(form, e);
}

void GJournals::Tick() {
    Page(current_).Refresh(false);
    UpdatePreviewWanted();
}

void GJournals::UpdatePreviewWanted() {
    bool downloading = false;
    for (GJournalPage* p : pages_) downloading = downloading || p->Downloading();
    preview_wanted_->store(!downloading && Page(current_).ShowsPreview());
}

void GJournals::SelectPreviewTask() {
    if (periodic_) g_.remove_periodic_task(periodic_);
    UpdatePreviewWanted();
    G_t* g = &g_;
    const preview_block_t block{Page(current_).PreviewStart(), Page(current_).PreviewCount()};
    // A preview nobody sees would only take the line from a download.
    periodic_ = g_.add_periodic_task(make_task([g, block, wanted = preview_wanted_] {
        if (wanted->load()) ReadPreview(g, block);
    }));
}
