#include "windows/new_form.h"

#include "model/mb_link.h"
#include "procedures/write_procedures.h"

using namespace UIK;

// ---- GMain ----------------------------------------------------------------------

namespace {
constexpr int kLogToggleWidth = 180;
}  // namespace

GMain::GMain(G_t& g, const std::string& program_name, GControl* parent)
    : GStandardMainFrame2(parent), g_(g), start_(g, program_name) {
    SetName(u"GMain");
    SetBounds(0, 0, GStart::kWidth, GStart::kHeight);
    start_.SetParent(&Content());
    start_.SetBounds(0, 0, Content().Width(), Content().Height());
    start_.SetAnchors(kAnchorAll);
    // The log toggle sits at the lower right corner of the detector picture
    // and moves with it; the log pane it shows holds the line monitor.
    GControl& pic = start_.img_main_;
    LogToggle().SetParent(&pic);
    // Wider than the frame's default: room for «Показать журнал».
    LogToggle().SetBounds(pic.Width() - kLogToggleWidth, pic.Height() - LogToggle().Height(), kLogToggleWidth,
                          LogToggle().Height());
    LogToggle().SetAnchors(kAnchorRight | kAnchorBottom);
    line_monitor_ = std::make_unique<GLineMonitorPane>(g, LogPane());
    g_.main_window.store(this);
}

GMain::~GMain() {
    IWindowSide* self = this;
    g_.main_window.compare_exchange_strong(self, nullptr);
}

void GMain::show_status_text(const ustring_t& text, uint64_t tick) { start_.ShowStatusText(text, tick); }

void GMain::show_info_message(const ustring_t& text, uint32_t hide_after_ms) { ShowNotice(text, hide_after_ms); }

void GMain::show_error_message(const ustring_t& text, uint32_t hide_after_ms) { ShowError(text, hide_after_ms); }

void GMain::clear_message() { CloseMessage(); }

void StopDeviceTraffic(mb_link_t& link) {
    // The detector is left as it was found: adjustment mode this program
    // took goes back before the port closes.
    ReleaseAdjustmentModeBeforeClose(G_);
    link.close();
    link.worker1().Stop();
    link.worker2().Stop();
}

// ---- GNewForm ------------------------------------------------------------------

GNewForm::GNewForm(G_t& g, const std::string& program_name) : g_(g) {
    SetTitle(u"КОНФИГУРАТОР ЛУМА-10");
    SetBounds(0, 0, kWidth, kHeight);
    SetMinimumSize(800, 600);
    main_ = std::make_unique<GMain>(g, program_name, this);
    main_->SetBounds(0, 0, kWidth, kHeight);
    main_->SetAnchors(kAnchorAll);
    for (GControl* c : main_->Start().TabOrder()) AddTabControl(c);
    OnShow.ChainFront([](GControl* self) {
        if (GBitmap* icon = GResources::Image("AppIcon")) static_cast<GForm*>(self)->SetIcon(icon);
    });
}

GNewForm::~GNewForm() {
    // Tasks of the workers may point into the windows: no new one starts from
    // here on.
    if (mb_link_t* l = g_.link.load()) {
        l->worker1().SetStopFlag(true);
        l->worker2().SetStopFlag(true);
    }
    main_.reset();
}
