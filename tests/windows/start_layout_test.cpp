// The main window at every size its form allows: the detector picture and
// everything drawn on it move as one, and no control overlaps another or
// leaves the form.
#include <string>
#include <vector>

#include "fixture.h"

using namespace win_test;
using namespace UIK;

namespace {

class StartLayout : public WindowTest {
protected:
    void SetUp() override { Build({}, /*poll=*/false); }

    void Resize(int w, int h) { form_->SetRect({0, 0, w, h}); }

    // The form-coordinate rectangles of the named controls, pairwise apart
    // and inside bounds.
    static void ExpectApartAndInside(const std::vector<GControl*>& cs, const GRect& bounds) {
        for (size_t i = 0; i < cs.size(); ++i) {
            const GRect a = cs[i]->FormRect();
            EXPECT_EQ(a.Intersect(bounds), a) << U8(cs[i]->Name()) << " leaves its area";
            EXPECT_GT(a.height, 0) << U8(cs[i]->Name());
            for (size_t j = i + 1; j < cs.size(); ++j) {
                const GRect b = cs[j]->FormRect();
                EXPECT_TRUE(a.Intersect(b).Empty()) << U8(cs[i]->Name()) << " overlaps " << U8(cs[j]->Name());
            }
        }
    }

    void CheckLayout() {
        GStart& s = S();
        const GRect form{0, 0, form_->Width(), form_->Height()};
        // Every button of the sub-window table (a button in a frame of its
        // own counts as that frame) besides the other controls.
        std::vector<GControl*> controls{&s.title_,         &s.bt_connect_,           &s.frame_modbus_id_,
                                        &s.frame_modbus_speed_, &s.bt_wifi_,       &s.bt_reset_alarm_block_,
                                        &s.status_bar_,    &s.frame_over_img_};
        for (size_t i = 0; i < SubWindowTable().size(); ++i) {
            GControl& b = s.WindowButton(i);
            controls.push_back(b.Parent() == &s.GFrameDT2 ? static_cast<GControl*>(&s.GFrameDT2) : &b);
        }
        ExpectApartAndInside(controls, form.Intersect(s.img_main_.FormRect()).Union(s.title_.FormRect()));
        // The detector column: rows, display and strip apart, each LED clear of
        // them (the LEDs overlap one another in the design itself).
        const GRect column = s.frame_over_img_.FormRect().Intersect(form);
        ExpectApartAndInside({&s.frame_factory_id_, &s.frame_version_, &s.frame_mipex_type_, &s.fr_icon_,
                              &s.frame_sudo_placeholder_},
                             column);
        for (GControl* led : std::initializer_list<GControl*>{&s.img_led_fail_status_, &s.img_led_power_on_,
                                                              &s.img_led_thresh1_, &s.img_led_thresh2_})
            ExpectApartAndInside({led, &s.frame_mipex_type_, &s.fr_icon_, &s.frame_sudo_placeholder_}, column);
        // The column sits on the detector drawn in the picture: 364 points
        // right of the picture's left edge, at its top.
        EXPECT_EQ(s.frame_over_img_.Left() - s.img_main_.ImageLeft(), 364);
        EXPECT_EQ(s.frame_over_img_.Top(), 0);
        // The adjustment-mode strip keeps its place on the picture while the
        // picture shows it whole.
        if (s.img_main_.Height() >= 742) {
            EXPECT_EQ(s.frame_sudo_placeholder_.Top(), 648);
        }
    }
};

TEST_F(StartLayout, NothingOverlapsOrLeavesTheFormAtAnySize) {
    const struct {
        int w, h;
        bool message;
    } sizes[] = {
        {800, 600, false}, {800, 600, true}, {1024, 768, false}, {1024, 768, true},
        {900, 700, true},  {1280, 1024, false}, {1920, 1200, true}, {2560, 1440, false},
    };
    for (const auto& z : sizes) {
        SCOPED_TRACE(std::to_string(z.w) + "x" + std::to_string(z.h) + (z.message ? " with a message" : ""));
        if (z.message) M().ShowError(u"Ошибка", 0);
        else M().CloseMessage();
        Resize(z.w, z.h);
        CheckLayout();
    }
    // Back at the design size every control is at its design place.
    M().CloseMessage();
    Resize(1024, 768);
    EXPECT_EQ(S().bt_select_gas_.Rect(), (GRect{0, 460, 244, 62}));
    EXPECT_EQ(S().frame_over_img_.Rect().left, 364);
    EXPECT_EQ(S().bt_reset_alarm_block_.Rect(), (GRect{884, 644, 116, 62}));
}

}  // namespace
