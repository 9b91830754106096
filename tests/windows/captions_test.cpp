// Every caption of every window against its control: at every size the
// window allows, each text the toolkit draws fits the rectangle it is drawn
// in (no clipped letters, no word broken between characters), and no sibling
// drawn later covers it.
#include <string>
#include <vector>

#include "fixture.h"
#include "windows/dac_window.h"

using namespace win_test;
using namespace UIK;

namespace {

class Captions : public WindowTest {
protected:
    void SetUp() override { Build({}, /*poll=*/false); }

    static bool Shown(GControl& c) {
        for (GControl* p = &c; p && !p->AsForm(); p = p->Parent())
            if (!p->IsVisible()) return false;
        return true;
    }

    // Where the text actually lands inside its area (form coordinates).
    static GRect TextExtent(const GControl& c, const GControl::DrawnCaption& d, const GFont& f) {
        const GPoint size = GCanvas::MeasureText(f, d.text, d.area.width, d.wrap);
        const GRect r = c.FormRect();
        const int w = std::min(size.x, d.area.width), h = std::min(size.y, d.area.height);
        return {r.left + d.area.left + (d.area.width - w) / 2, r.top + d.area.top + (d.area.height - h) / 2, w, h};
    }

    // Every shown caption under root; failures name the window, the control
    // and the text.
    static void ExpectCaptionsFit(const std::string& window, GControl& root) {
        const auto& kids = root.Children();
        for (size_t i = 0; i < kids.size(); ++i) {
            GControl& c = *kids[i];
            if (!Shown(c)) continue;
            GControl::DrawnCaption d;
            GFont* f = c.Font();
            if (f && c.CaptionLayout(&d) && !d.text.empty()) {
                EXPECT_TRUE(GCanvas::TextFits(*f, d.text, d.area, d.wrap))
                    << window << ": " << U8(c.Name()) << " «" << text::to_utf8(d.text) << "» in " << d.area.width
                    << "x" << d.area.height << ", needs " << GCanvas::MeasureText(*f, d.text, 0, false).x << "x" << GCanvas::MeasureText(*f, d.text, 0, false).y;
                const GRect text = TextExtent(c, d, *f);
                for (size_t j = i + 1; j < kids.size(); ++j)
                    if (Shown(*kids[j]) && !kids[j]->FormRect().Intersect(text).Empty())
                        ADD_FAILURE() << window << ": " << U8(kids[j]->Name()) << " covers «"
                                      << text::to_utf8(d.text) << "» of " << U8(c.Name());
            }
            ExpectCaptionsFit(window, c);
        }
    }
};

TEST_F(Captions, EveryCaptionOfEveryWindowFitsItsControl) {
    GStart& s = S();
    // The main window at the sizes it allows, with each adjustment-mode owner.
    for (const GPoint size : {GPoint{800, 600}, GPoint{1024, 768}, GPoint{1920, 1200}}) {
        form_->SetRect({0, 0, size.x, size.y});
        for (const char16_t* owner : {u"CON", u"MB", u"HART", u"UNKN"}) {
            s.ico_ss_status_.SetText(owner);
            s.ico_ss_status_.Show();
            ExpectCaptionsFit("main " + std::to_string(size.x) + "x" + std::to_string(size.y), *form_);
        }
    }
    // Captions a window puts on its buttons as it runs.
    auto* dac = dynamic_cast<GForm_T<GDacCalibration>*>(s.FindSubWindow("dac"));
    ASSERT_NE(dac, nullptr);
    for (const char16_t* c : {u"Включить настройку ЦАП", u"Отключить настройку ЦАП"}) {
        dac->Window().bt_toggle_.SetCaption(c);
        ExpectCaptionsFit("dac", *dac);
    }
    GConnection& link = s.ConnectionForm().Connection();
    for (const char16_t* c : {u"Подключить", u"Отключить"}) {
        link.btConnectDisconnect_.SetCaption(c);
        ExpectCaptionsFit("connection", s.ConnectionForm());
    }
    // Every sub-window at its first size, the smallest it allows, and larger.
    for (std::string_view name : GStart::SubWindowNames()) {
        GForm* f = s.FindSubWindow(name);
        ASSERT_NE(f, nullptr) << name;
        const GRect first = f->Rect();
        for (const GPoint grow : {GPoint{0, 0}, GPoint{400, 300}}) {
            f->SetRect({first.left, first.top, first.width + grow.x, first.height + grow.y});
            ExpectCaptionsFit(std::string(name) + " +" + std::to_string(grow.x), *f);
        }
        f->SetRect(first);
    }
}

}  // namespace
