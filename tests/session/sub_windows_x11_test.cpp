// The main window on a real X display, connected to the simulated detector:
// its sub-windows are opened and closed many times — by their buttons, by
// Escape and by the close box — while the poll cycle keeps waking the window
// thread from its worker. Nothing may crash, and every window comes back
// where it was left.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "foundation/settings_store.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "platform/native_ui.h"
#include "sim/simulator.h"
#include "toolkit/save_dialog.h"
#include "toolkit/uik.h"
#include "windows/new_form.h"
#include "procedures/write_procedures.h"
#include "xvfb.h"
#include "xwindows.h"

namespace {

using namespace UIK;

// The display is chosen before the toolkit opens the native layer.
struct OnDisplay {
    explicit OnDisplay(const testx::Xvfb& x) {
        if (!x.Ok()) return;
        setenv("DISPLAY", x.Display().c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
        // The program's own toolkit options: native titles and sizing
        // borders, forms placed in the work area.
        auto& env = kmxCommon::EnvVars_t::instance();
        env.Set(u"true", u"uik.show_native_window_title");
        env.Set(u"true", u"uik.all_forms_have_size_box");
        env.Set(u"false", u"uik.default_fullscreen_forms");
    }
};

class SubWindowsOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!x_.Ok()) GTEST_SKIP() << x_.Why();
        resources_ = std::make_unique<GResourcesUser>();
        ASSERT_TRUE(resources_->Ok()) << "no display";
        sim::Options_t o;
        o.drift = 0;
        o.log = [](const std::string&) {};
        sim_ = std::make_unique<sim::Simulator_t>(o);
        std::string err;
        ASSERT_TRUE(sim_->start(&err)) << err;
        G_.window_poster = [](std::function<void()> fn) { return Async::Post(std::move(fn), false) == 1; };
        link_ = std::make_unique<mb_link_t>(G_.params);
        link_->set_device_path(sim_->path());
        G_.link.store(link_.get());
        ConnectionSettings cs;
        cs.timeout = 1000;
        cs.port_settings.port = 1;
        G_.apply_connection_settings(cs, nullptr);
        G_.params.invalidate_all();
        form_ = std::make_unique<GNewForm>(G_, "luma10");
        form_->CenterOnScreen();
    }

    void TearDown() override {
        if (link_) StopDeviceTraffic(*link_);
        form_.reset();
        G_.link.store(nullptr);
        link_.reset();
        if (sim_) sim_->stop();
        G_.params.invalidate_all();
        G_.window_poster = nullptr;
        resources_.reset();
    }

    static void InLoop(const std::function<void()>& body) {
        App::Defer([&] {
            body();
            App::Quit();
        });
        App::RunMessageLoop(nullptr);
    }

    static void Click(GForm& f, GControl& c) {
        const GRect r = c.FormRect();
        const int x = r.left + r.width / 2, y = r.top + r.height / 2;
        plat::ui::PushMouse(f.NativeWindowId(), plat::ui::EventType::MouseDown, x, y, 1);
        plat::ui::PushMouse(f.NativeWindowId(), plat::ui::EventType::MouseUp, x, y, 1);
    }

    testx::Xvfb x_;
    OnDisplay display_{x_};
    std::unique_ptr<GResourcesUser> resources_;
    std::unique_ptr<sim::Simulator_t> sim_;
    std::unique_ptr<mb_link_t> link_;
    std::unique_ptr<GNewForm> form_;
};

TEST_F(SubWindowsOnX11, OpeningAndClosingTwoHundredTimesNeverCrashes) {
    InLoop([&] {
        form_->Show();
        ASSERT_TRUE(form_->HasNativeWindow());
        GStart& s = form_->Start();
        ASSERT_FALSE(link_->open());  // an error value: empty on success
        // Connected: the buttons of the sub-windows are enabled.
        ASSERT_TRUE(App::RunUntil([&] { return s.bt_tests_.IsEnabled(); }, 60000))
            << "not connected: port open " << link_->is_open() << ", cycles " << link_->completed_cycles()
            << ", status " << link_->link_status().code;

        struct Way {
            GTextButton* button;
            GForm* form;
        };
        std::vector<Way> ways;
        // Every window whose button this program shows.
        for (std::string_view name : GStart::SubWindowNames()) {
            GTextButton* button = &s.WindowButton(name);
            if (!button->IsVisible()) continue;
            GForm* f = s.FindSubWindow(name);
            ASSERT_NE(f, nullptr) << name;
            ways.push_back({button, f});
        }

        // Besides the poll cycle, two threads wake the window thread all the
        // time, as a busy worker does: the native layer addresses its wake-up
        // to one of the windows, which must still exist when it arrives.
        std::atomic<bool> stop{false};
        auto waker = [&] {
            while (!stop) {
                plat::ui::Wake();
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        };
        std::thread w1(waker), w2(waker);
        struct Join {
            std::atomic<bool>& stop;
            std::thread &a, &b;
            ~Join() {
                stop = true;
                a.join();
                b.join();
            }
        } join{stop, w1, w2};

        for (int round = 0; round < 200; ++round) {
            SCOPED_TRACE(round);
            const Way& w = ways[size_t(round) % ways.size()];
            Click(*form_, *w.button);
            ASSERT_TRUE(App::RunUntil([&] { return w.form->HasNativeWindow(); }, 10000)) << "did not open";
            // Let the poll cycle's posts wake the loop while the window is up.
            App::RunUntil([] { return false; }, 20);
            const bool by_escape = round % 2 == 0 && w.form != &s.ConnectionForm();
            if (by_escape) plat::ui::PushKey(w.form->NativeWindowId(), kKeyEscape, 0);
            else plat::ui::PushWindowClose(w.form->NativeWindowId());
            ASSERT_TRUE(App::RunUntil([&] { return !w.form->IsVisible(); }, 10000)) << "did not close";
        }
        EXPECT_TRUE(form_->HasNativeWindow());
        EXPECT_TRUE(link_->is_open());
    });
}

TEST_F(SubWindowsOnX11, EveryWindowReopensWhereItWasLeft) {
    InLoop([&] {
        form_->Show();
        GStart& s = form_->Start();
        GForm& c = s.ConnectionForm();
        GRect first;
        for (int i = 0; i < 20; ++i) {
            SCOPED_TRACE(i);
            Click(*form_, s.bt_connection_settings_);
            ASSERT_TRUE(App::RunUntil([&] { return c.HasNativeWindow(); }, 10000));
            // Give the native layer time to report where the window went.
            App::RunUntil([] { return false; }, 50);
            if (i == 0) first = c.Rect();
            EXPECT_EQ(c.Rect(), first);
            plat::ui::PushWindowClose(c.NativeWindowId());
            ASSERT_TRUE(App::RunUntil([&] { return !c.IsVisible(); }, 10000));
        }
        // The first opening centres it over the main window.
        const GRect m = form_->Rect();
        EXPECT_EQ(first.left, m.left + (m.width - first.width) / 2);
        EXPECT_EQ(first.top, m.top + (m.height - first.height) / 2);
    });
}

// Asks for the keypad's facts once it is open, then closes it.
void when_keypad_open(GInputInt64Label& l, std::function<void(GInputNumberForm&)> fn, int turns = 4000) {
    App::Defer([&l, fn, turns] {
        if (GInputNumberForm* f = l.OpenForm(); f && f->HasNativeWindow()) {
            fn(*f);
            plat::ui::PushKey(f->NativeWindowId(), kKeyEscape, 0);
        } else if (turns > 0) {
            when_keypad_open(l, fn, turns - 1);
        }
    });
}

TEST_F(SubWindowsOnX11, NativeWindowsCarryTitlesAndOnlyTheFramesTheyDoNotDraw) {
    InLoop([&] {
        form_->Show();
        using plat::ui::WindowDecorated;
        using plat::ui::WindowInTaskbar;
        using plat::ui::WindowTitle;
        EXPECT_EQ(WindowTitle(form_->NativeWindowId()), "КОНФИГУРАТОР ЛУМА-10");
        EXPECT_TRUE(WindowDecorated(form_->NativeWindowId()));
        GStart& s = form_->Start();
        GConnectionForm& cf = s.ConnectionForm();
        Click(*form_, s.bt_connection_settings_);
        ASSERT_TRUE(App::RunUntil([&] { return cf.HasNativeWindow(); }, 10000));
        EXPECT_EQ(WindowTitle(cf.NativeWindowId()), "Настройка связи");
        EXPECT_TRUE(WindowDecorated(cf.NativeWindowId()));

        // A drop-down list: borderless, off the task bar, named.
        GConnection& c = cf.Connection();
        c.ssPort_.DropDown();
        GContextMenuForm2* menu = c.ssPort_.DroppedMenu();
        ASSERT_NE(menu, nullptr);
        EXPECT_FALSE(WindowDecorated(menu->NativeWindowId()));
        EXPECT_FALSE(WindowInTaskbar(menu->NativeWindowId()));
        EXPECT_EQ(WindowTitle(menu->NativeWindowId()), "Порт");
        menu->Close();

        // The keypad draws its own title line: no native one.
        bool decorated = true;
        std::string title;
        when_keypad_open(c.BlockID_, [&](GInputNumberForm& f) {
            decorated = WindowDecorated(f.NativeWindowId());
            title = WindowTitle(f.NativeWindowId());
        });
        EXPECT_FALSE(c.BlockID_.OpenEntry());
        EXPECT_FALSE(decorated);
        EXPECT_EQ(title, "Адрес блока");
        cf.Close();
    });
}

// The same windows under a window manager, which frames them, moves them
// into place after they are mapped and reports their positions back: what
// the toolkit remembers of a window must not drift by the frame's size.
class SubWindowsUnderWm : public SubWindowsOnX11 {
protected:
    void SetUp() override {
        if (!x_.Ok()) GTEST_SKIP() << x_.Why();
        if (!testx::OnPath("openbox")) GTEST_SKIP() << "openbox is not installed (scripts/setup.sh installs it)";
        ASSERT_TRUE(x_.StartWindowManager("openbox")) << x_.Why();
        SubWindowsOnX11::SetUp();
    }

    // The one viewable X window of the title, once the manager has framed
    // it and the toolkit has heard where it went.
    testx::XPlaced Placed(GForm& f, bool framed = true) {
        const std::string title = plat::ui::WindowTitle(f.NativeWindowId());
        testx::XPlaced got;
        const bool found = App::RunUntil(
            [&] {
                const auto all = testx::WindowsTitled(x_.Display(), title);
                if (all.size() != 1 || all[0].framed() != framed) return false;
                got = all[0];
                const GRect r = f.Rect();
                return r.left == got.x && r.top == got.y;
            },
            10000);
        EXPECT_TRUE(found) << "no settled X window titled " << title << " (SDL at " << f.Rect().left << ","
                           << f.Rect().top << "; X client at " << got.x << "," << got.y << ")";
        return got;
    }
};

TEST_F(SubWindowsUnderWm, WindowsReopenWhereTheyWereLeftTwentyTimes) {
    InLoop([&] {
        form_->Show();
        GStart& s = form_->Start();
        // Connected, so that the clock window's button is enabled.
        ASSERT_FALSE(link_->open());
        ASSERT_TRUE(App::RunUntil([&] { return s.bt_datetime_.IsEnabled(); }, 60000));
        const std::pair<GTextButton*, GForm*> ways[] = {
            {&s.bt_connection_settings_, &s.ConnectionForm()},
            {&s.bt_datetime_, s.FindSubWindow("clock")}};
        for (const auto& [button, f] : ways) {
            ASSERT_NE(f, nullptr);
            testx::XPlaced first;
            GRect first_rect;
            for (int i = 0; i < 20; ++i) {
                SCOPED_TRACE(i);
                Click(*form_, *button);
                ASSERT_TRUE(App::RunUntil([&] { return f->HasNativeWindow(); }, 10000));
                const testx::XPlaced p = Placed(*f);
                if (HasFailure()) return;
                if (i == 0) {
                    first = p;
                    first_rect = f->Rect();
                }
                EXPECT_EQ(p.frame_x, first.frame_x) << plat::ui::WindowTitle(f->NativeWindowId());
                EXPECT_EQ(p.frame_y, first.frame_y) << plat::ui::WindowTitle(f->NativeWindowId());
                EXPECT_EQ(p.x, first.x);
                EXPECT_EQ(p.y, first.y);
                EXPECT_EQ(f->Rect(), first_rect);
                plat::ui::PushWindowClose(f->NativeWindowId());
                ASSERT_TRUE(App::RunUntil([&] { return !f->IsVisible(); }, 10000));
            }
        }
    });
}

// The window manager activates a window on the press that lands in it and
// hands the press on: the same press must act, or the engineer's first click
// into another window is lost.
TEST_F(SubWindowsUnderWm, AClickIntoAnInactiveWindowActivatesItAndActs) {
    InLoop([&] {
        form_->Show();
        const testx::XPlaced main = Placed(*form_);
        if (HasFailure()) return;
        GStart& s = form_->Start();
        GConnectionForm& cf = s.ConnectionForm();
        Click(*form_, s.bt_connection_settings_);
        ASSERT_TRUE(App::RunUntil([&] { return cf.HasNativeWindow(); }, 10000));
        Placed(cf);
        ASSERT_TRUE(App::RunUntil([&] { return testx::FocusedTitle(x_.Display()) == "Настройка связи"; }, 10000))
            << "the connection window did not take the focus: " << testx::FocusedTitle(x_.Display());
        ASSERT_FALSE(link_->is_open());

        // «Подключиться» of the inactive main window, beside the connection window.
        const GRect b = s.bt_connect_.FormRect();
        const int x = main.x + b.left + b.width / 2, y = main.y + b.top + b.height / 2;
        ASSERT_FALSE(cf.Rect().Contains(x, y)) << "the button is under the connection window";
        ASSERT_TRUE(testx::ClickAt(x_.Display(), x, y)) << "no XTEST on the display";
        EXPECT_TRUE(App::RunUntil([&] { return link_->is_open(); }, 10000)) << "the click only activated the window";
        EXPECT_TRUE(App::RunUntil([&] { return testx::FocusedTitle(x_.Display()) == main.title; }, 10000));
        cf.Close();
    });
}

TEST_F(SubWindowsUnderWm, DropDownsAreBareAndEveryWindowIsNamed) {
    InLoop([&] {
        form_->Show();
        const testx::XPlaced main = Placed(*form_);
        EXPECT_EQ(main.title, "КОНФИГУРАТОР ЛУМА-10");
        GStart& s = form_->Start();
        GConnectionForm& cf = s.ConnectionForm();
        Click(*form_, s.bt_connection_settings_);
        ASSERT_TRUE(App::RunUntil([&] { return cf.HasNativeWindow(); }, 10000));
        EXPECT_EQ(Placed(cf).title, "Настройка связи");

        // The drop-down list gets no frame from the manager, yet is named.
        GConnection& c = cf.Connection();
        c.ssPort_.DropDown();
        GContextMenuForm2* menu = c.ssPort_.DroppedMenu();
        ASSERT_NE(menu, nullptr);
        ASSERT_TRUE(App::RunUntil([&] { return menu->HasNativeWindow(); }, 10000));
        const auto lists = testx::WindowsTitled(x_.Display(), "Порт");
        ASSERT_EQ(lists.size(), 1u);
        EXPECT_FALSE(lists[0].framed());
        menu->Close();

        cf.Close();
    });
}

}  // namespace

namespace {

// Runs fn with the top form once a form of type T is on top (inside its
// modal loop); gives up after many turns.
template <typename T>
void when_on_top(std::function<void(T&)> fn, int turns = 20000) {
    App::Defer([fn, turns] {
        const auto v = GForm::ShownForms();
        if (T* f = v.empty() ? nullptr : dynamic_cast<T*>(v.back())) fn(*f);
        else if (turns > 0) when_on_top<T>(fn, turns - 1);
    });
}

// A borderless dialog the manager took in without a frame: what the toolkit
// keeps of its place is where the X server has it, so the box it opens
// («Папка … не найдена.») is centred over it, not pushed into a corner.
TEST_F(SubWindowsUnderWm, TheSaveDialogsMessageBoxOpensOverIt) {
    InLoop([&] {
        form_->Show();
        Placed(*form_);
        if (HasFailure()) return;
        GRect dialog, box;
        std::vector<testx::XPlaced> xs;
        when_on_top<GSaveFileDialog>([&](GSaveFileDialog& d) {
            when_on_top<GMsgBox>([&](GMsgBox& m) {
                box = m.Rect();
                xs = testx::WindowsTitled(x_.Display(), "Сохранение файла");
                plat::ui::PushKey(m.NativeWindowId(), kKeyEscape, 0);
                when_on_top<GSaveFileDialog>(
                    [](GSaveFileDialog& d2) { plat::ui::PushKey(d2.NativeWindowId(), kKeyEscape, 0); });
            });
            dialog = d.Rect();
            d.NameField().SetText(u"нет такой папки/файл");
            plat::ui::PushKey(d.NativeWindowId(), kKeyEnter, 0);
        });
        ustring_t path = u"/tmp/файл";
        int index = 1;
        EXPECT_FALSE(SaveFileDialog(form_.get(), u"CSV-файл (*.csv)|*.csv", path, index));
        ASSERT_EQ(xs.size(), 2u) << "the dialog and its box";
        const testx::XPlaced& xd = xs[0].width == dialog.width ? xs[0] : xs[1];
        EXPECT_EQ(dialog.left, xd.x);
        EXPECT_EQ(dialog.top, xd.y);
        EXPECT_NEAR(box.left + box.width / 2, xd.x + xd.width / 2, 1);
        EXPECT_NEAR(box.top + box.height / 2, xd.y + xd.height / 2, 1);
    });
}

}  // namespace
