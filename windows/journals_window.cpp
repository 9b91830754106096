#include "windows/journals_window.h"

#include <algorithm>

#include "foundation/task.h"
#include "foundation/time_services.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "model/params.h"
#include "platform/time.h"
#include "windows/trend_chart.h"
#include "windows/layout.h"

using namespace UIK;
using layout::Place;
using luma::journal_kind;

namespace {

const char16_t kLoadAll[] = u"Загрузить весь архив";
const char16_t kStopLoading[] = u"Остановить загрузку";
const char16_t kLoadAgain[] = u"Повторить загрузку";
const char16_t kLoadRest[] = u"Продолжить загрузку";
const char16_t kCancelWaiting[] = u"Отменить загрузку";
const char16_t kWaitingText[] = u"Загрузка ждёт: сначала загружается другой журнал.";
const char16_t kNoLink[] = u"Нет связи";
const char16_t kExportFilter[] = u"CSV-файл (*.csv)|*.csv|TXT-файл (*.txt)|*.txt";
const char16_t kPictureFilter[] = u"|PNG-рисунок (*.png)|*.png";

constexpr GColor kTitleBack = kColorLight;
constexpr int kButtonSkin = bmpButtonSkin_Vulgar1;
constexpr int kDownButtonSkin = bmpButtonSkin_Vulgar3;

// The device may be asked for a preview: not while the poll window asks
// other addresses, and not without a device to answer.
mb_link_t* PreviewLink(G_t* g) {
    if (g->poll_mode.load() || !g->is_connected()) return nullptr;
    return g->link.load();
}

ustring_t TotalText(uint32_t count) { return text::format(64, "Всего записей: %u\n\n", count); }

bool EndsWith(const std::string& path, const char* want) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    // Only the extension decides, and only ASCII letters fold: the path
    // itself is written as chosen.
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return ext == want;
}

}  // namespace

// ---- page layout ----------------------------------------------------------------

GBaseJournal::GBaseJournal(GControl* parent) : GFrame(parent) {
    SetBounds(0, 0, kWidth, kHeight);
    Place(bt_load_, *this, u"bt_load_", 3, 3, 132, 46, kAnchorLeft | kAnchorTop);
    bt_load_.SetCaption(u"Загрузить весь журнал");
    bt_load_.SetFont(kFontSmall);
    Place(progress_, *this, u"progress_", 143, 12, 403, 30, kAnchorLeft | kAnchorTop | kAnchorRight);
    Place(bt_export_, *this, u"bt_export_", 553, 3, 84, 46, kAnchorTop | kAnchorRight);
    bt_export_.SetCaption(u"Экспорт");
    Place(GAntiPanel1, *this, u"GAntiPanel1", 0, 53, 596, 427, kAnchorAll);
    Place(text_box_, GAntiPanel1, u"text_box_", 3, 2, 589, 421, kAnchorAll);
    Place(text_, text_box_, u"text_", 0, 0, 589 - GScrollBox::kBarWidth, 421, kAnchorLeft | kAnchorTop | kAnchorRight);
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
    // The wheel anywhere over the page moves the record bar; over a text
    // taller than its box it scrolls the text.
    OnMouseWheel.Set([this](GControl*, const GMouseEvent& e) { sb_.HandleMouseWheel(e); });
    text_box_.OnMouseWheel.Set([this](GControl*, const GMouseEvent& e) {
        if (text_box_.ContentHeight() > text_box_.Height()) text_box_.ScrollBy(-e.wheel * GScrollBox::kWheelStep);
        else sb_.HandleMouseWheel(e);
    });
    text_box_.OnResize.Set([this](GControl*) { FitText(); });
    bt_load_.OnClick.Set([this](GControl*) { LoadOrStop(); });
    bt_export_.OnClick.Set([this](GControl*) { Export(); });
    bt_load_.SetCaption(kLoadAll);
    bt_load_.SetEnabled(false);
    bt_export_.SetEnabled(false);
    text_.SetText(kNoLink);
}

GJournalPage::~GJournalPage() = default;


ustring_t GJournalPage::ScreenText(const ustring_t& t) {
    std::u16string s(t.view());
    for (size_t i = s.find(u'\t'); i != std::u16string::npos; i = s.find(u'\t', i + 4)) s.replace(i, 1, u"    ");
    return ustring_t(std::u16string_view(s));
}

void GJournalPage::ShowText(const ustring_t& t, bool top) {
    const ustring_t shown = ScreenText(t);
    if (text_.Text() != shown) {
        text_.SetText(shown);
        fitted_width_ = -1;
    }
    FitText();
    if (top) text_box_.SetScrollTop(0);
}

void GJournalPage::FitText() {
    const int width = text_box_.Width() - GScrollBox::kBarWidth;
    if (width == fitted_width_) return;
    fitted_width_ = width;
    int height = text_box_.Height();
    // Measured a little narrower than the label and with a spare line below,
    // so its own padding never costs a line.
    if (GFont* f = text_.Font())
        height = std::max(height, GCanvas::MeasureText(*f, text_.Text().view(), width - 8, true).y + f->LineHeight());
    text_.SetBounds(0, text_.Top(), width, height);
    text_box_.UpdateScroll();
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
    // A journal not wholly read says so in the name proposed.
    ustring_t path = DefaultExportName();
    if (Incomplete()) path += u" неполный";
    const bool offer_picture = picture.png && picture.shown;
    int filter_index = 1;
    if (offer_picture && picture.shown()) {
        path += u".png";
        filter_index = 3;
    }
    // The dialog is modal; the journals form stays disabled meanwhile, so no
    // page button or key acts on the page behind it.
    GForm* form = Form();
    if (form) form->EnableWindow(false);
    const bool chosen =
        SaveFileDialog(form, offer_picture ? ustring_t(kExportFilter) + kPictureFilter : ustring_t(kExportFilter),
                       path, filter_index);
    if (form) form->EnableWindow(true);
    if (!chosen) return;
    ExportTo(path);
}

error_value_t GJournalPage::ExportTo(const ustring_t& path) {
    const std::string file = text::utf8(path);
    std::string bytes;
    error_value_t e;
    if (picture.png && EndsWith(file, ".png")) {
        if (!picture.png(&bytes)) e = error_value_t(luma::kExportWriteFailed, luma::export_category());
    } else {
        bytes = ExportBytes(EndsWith(file, ".csv") ? luma::export_format::csv : luma::export_format::text);
    }
    if (!e) e = luma::write_export_file(file, bytes);
    if (e) {
        ustring_t m(u"Журнал не сохранён в файл\n");
        m += path;
        m += u"\n(";
        m += e.name();
        m += u". ";
        m += e.message();
        m += u")";
        g_.error_message(kErrorShowMs, m);
    } else if (Incomplete()) {
        ReportIncompleteExport(path);
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
    const bool waiting = Waiting();
    if (progress_waiting_) DrawProgress();
    bt_load_.SetCaption(waiting        ? kCancelWaiting
                        : loading      ? kStopLoading
                        : Incomplete() ? kLoadRest
                        : load_pressed_ ? kLoadAgain
                                        : kLoadAll);
    // A stopped download still finishing its record keeps the button off:
    // a new one posted now would be ended by the old one's hand-over.
    bt_load_.SetEnabled(connected && !(pending_ && !loading));
    // Downloaded records export without a link too.
    bt_export_.SetEnabled(this->loaded && !loading);

    if (waiting) {
        progress_.SetRange(0, 0);
        progress_.SetPosition(0);
        ShowText(kWaitingText);
        return;
    }
    if (this->loaded) {
        // Downloaded records stay browsable without a link.
        if (loading) return;
        const uint32_t count = uint32_t(this->records.count());
        SetScroll(count > 0 ? count - 1 : 0, sb_.Position());
        if (!rebuild) return;
        ustring_t t = LoadedHeader();
        const uint64_t first = uint64_t(sb_.Position());
        for (uint64_t i = first; i < first + kRecordsPerPage && i < count; ++i) {
            t += luma::record_text(this->records[size_t(i)]);
            t += u"\n\n";
        }
        ShowText(t, true);
        return;
    }
    if (connected) {
        // A download in progress shows its own progress.
        if (loading) return;
        // The preview task reads the record at the bar; the number, time and
        // values shown all come from its last read.
        preview_->wanted.store(uint32_t(sb_.Position()));
        bool have;
        Item record;
        uint32_t count;
        {
            std::lock_guard<std::mutex> lock(preview_->lock);
            have = preview_->have;
            record = preview_->record;
            count = preview_->count;
        }
        if (!have) return;
        SetScroll(count > 0 ? int64_t(count) - 1 : 0, sb_.Position());
        if (count == 0) ShowText(u"Всего записей: 0");
        else ShowText(TotalText(count) + luma::record_text(record));
        return;
    }
    {
        // Back on the line the preview starts afresh.
        std::lock_guard<std::mutex> lock(preview_->lock);
        preview_->have = false;
    }
    SetScroll(0, 0);
    progress_.SetRange(0, 0);
    progress_.SetPosition(0);
    ShowText(kNoLink);
}

template <int N>
bool GJournal<N>::Incomplete() const {
    return this->loaded && !this->last.complete() && this->records.count() < this->last.held;
}

template <int N>
ustring_t GJournal<N>::LoadedHeader() const {
    const uint32_t count = uint32_t(this->records.count());
    if (!Incomplete()) return TotalText(count);
    return text::format(160, "Загружено записей: %u из %u (%s)\n\n", count, this->last.held,
                        this->last.error ? "загрузка прервана ошибкой" : "загрузка остановлена");
}

template <int N>
void GJournal<N>::ReportIncompleteExport(const ustring_t& path) const {
    ustring_t m = text::format(160, "В файл записан неполный журнал: %u из %u записей\n",
                               unsigned(this->records.count()), this->last.held);
    m += path;
    g_.info_message(m);
}

template <int N>
std::function<void()> GJournal<N>::PreviewRead(bool force) const {
    return [g = &g_, preview = preview_, force] {
        mb_link_t* link = PreviewLink(g);
        if (link == nullptr) return;
        const uint32_t want = preview->wanted.load();
        const uint64_t now = Tick64();
        {
            std::lock_guard<std::mutex> lock(preview->lock);
            // Once a second at the same place; a failed read is not tried
            // again at once either.
            if (!force && preview->read_for == want && now - preview->read_at < kPreviewRefreshMs) return;
            preview->read_at = now;
            preview->read_for = want;
        }
        Item record;
        uint32_t count = 0;
        if (luma::read_journal_record(*link, want, record, count)) return;
        std::lock_guard<std::mutex> lock(preview->lock);
        preview->have = true;
        preview->record = record;
        preview->count = count;
    };
}

template <int N>
void GJournal<N>::LoadOrStop() {
    load_pressed_ = true;
    // The next refresh enables it again while connected.
    bt_load_.SetEnabled(false);
    if (this->loading.load()) {
        // The download notices before its next record or block (or, still
        // waiting, as it begins).
        this->loading.store(false);
        return;
    }
    // Without a device the download would end at once with an error; without
    // a link it could not even be posted and the page would stay loading.
    if (pending_ || !g_.is_connected() || g_.link.load() == nullptr) return;
    // A journal not wholly read goes on from where it stopped.
    this->continuation = {};
    if (Incomplete()) this->continuation = {uint32_t(this->records.count()), this->last.serial, this->last.held};
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
void GJournal<N>::post_to_window_thread(std::function<void()> fn) {
    Async::Post(std::move(fn), false);
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
    if (records_changed) records_changed();
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

std::function<void()> GJournal<5>::PreviewRead(bool force) const {
    return [g = &g_, read_at = counters_read_at_, force] {
        const uint64_t now = Tick64();
        if (!force && now - read_at->load() < kPreviewRefreshMs) return;
        read_at->store(now);
        luma::counters_t unused;
        if (mb_link_t* link = PreviewLink(g)) luma::read_counters(*link, unused);
    };
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
        b.b->SetFont(kFontSmall);
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
    trend_chart_ = std::make_unique<GTrendChartPage>(g, page6_);
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
    v.push_back(&trend_chart_->TextButton());
    v.push_back(&trend_chart_->ChartButton());
    v.push_back(&trend_chart_->View());
    return v;
}

void GJournals::Shown() {
    if (auto* f = dynamic_cast<GTabKeyForm*>(Form()); f && key_form_ == nullptr) {
        key_form_ = f;
        previous_key_ = f->OnFormKey.Get();
        f->OnFormKey.Set([this](GForm* form, const GKeyEvent& e) { HandleKey(form, e); });
    }
    // Every page's count and record at once, unless a download needs the line.
    if (!AnyDownload())
        for (GJournalPage* p : pages_) g_.post_to_worker1(make_task(p->PreviewRead(true)));
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
    if (current_ == int(journal_kind::trend)) trend_chart_->Tick();
    UpdatePreviewWanted();
}

bool GJournals::AnyDownload() const {
    for (const GJournalPage* p : pages_)
        if (p->Downloading()) return true;
    return false;
}

void GJournals::UpdatePreviewWanted() { preview_wanted_->store(!AnyDownload() && Page(current_).ShowsPreview()); }

void GJournals::SelectPreviewTask() {
    if (periodic_) g_.remove_periodic_task(periodic_);
    UpdatePreviewWanted();
    // A preview nobody sees would only take the line from a download.
    periodic_ = g_.add_periodic_task(make_task([read = Page(current_).PreviewRead(false), wanted = preview_wanted_] {
        if (wanted->load()) read();
    }));
}
