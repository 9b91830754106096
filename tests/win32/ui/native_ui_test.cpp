// The Win32 native layer: what it adds of its own over the system's calls
// (text alpha, surrogate pairs, the wake-up from another thread, the filter
// of the save dialog's caller, PNG through WIC). Needs a display: run under
// Wine on a virtual X server (scripts/test_windows_gui.sh).
#include <windows.h>
#undef DrawText  // windows.h's name for DrawTextW

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/native_ui.h"

namespace ui = plat::ui;

namespace {

class NativeUi : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ui::Acquire()); }
    void TearDown() override { ui::Release(); }

    // The next event of the type, waiting at most 10 s in all.
    static bool Next(ui::EventType type, ui::Event* ev) {
        const uint64_t end = ui::Ticks() + 10000;
        while (ui::Ticks() < end)
            if (ui::WaitEvent(ev, 100) && ev->type == type) return true;
        return false;
    }
};

// GDI leaves the alpha byte of the pixels it draws alone; text drawn into an
// opaque surface must leave it opaque, in the asked colour where the glyph
// is solid, and blend a translucent colour.
TEST_F(NativeUi, TextIsDrawnOpaqueInTheAskedColour) {
    auto font = ui::Font::Open("Courier New", -16, 0);
    ASSERT_TRUE(font);
    EXPECT_GT(font->LineHeight(), 14);
    int w = 0, h = 0;
    font->Measure("ЖЖЖЖ", &w, &h);
    EXPECT_GT(w, 20);
    ui::Surface s(w + 4, h + 4);
    s.Fill({0, 0, w + 4, h + 4}, 0xFFFFFFFF);
    s.DrawText(*font, "ЖЖЖЖ", 2, 2, 0xFF0000C0);
    int solid = 0;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) {
            const ui::argb_t p = s.Pixel(x, y);
            ASSERT_EQ(p >> 24, 0xFFu) << x << "," << y;
            solid += p == 0xFF0000C0;
        }
    EXPECT_GT(solid, 20);
}

// A character outside the basic plane comes as two WM_CHAR messages; it is
// one Text event. Control characters are keys, not text.
TEST_F(NativeUi, SurrogatePairsBecomeOneCharacter) {
    auto win = ui::Window::Create("t", ui::kStylePopup);
    ASSERT_TRUE(win);
    HWND h = static_cast<HWND>(win->native());
    SendMessageW(h, WM_CHAR, 8, 0);
    SendMessageW(h, WM_CHAR, 0xD83D, 0);
    SendMessageW(h, WM_CHAR, 0xDE00, 0);
    ui::Event ev;
    ASSERT_TRUE(Next(ui::EventType::Text, &ev));
    EXPECT_EQ(ev.text, std::u16string(u"\U0001F600"));
    EXPECT_EQ(ev.window, win->Id());
}

TEST_F(NativeUi, WakeFromAnotherThreadEndsTheWait) {
    ui::Event ev;
    while (ui::PollEvent(&ev)) {
    }
    std::thread t([] { ui::Wake(); });
    EXPECT_TRUE(Next(ui::EventType::Wake, &ev));
    t.join();
}

// The system's save dialog gets the toolkit's filter ("|" separated) and the
// chosen type; a name typed without an extension gets the type's. A thread
// plays the user: it types the name into the dialog and presses OK.
TEST_F(NativeUi, SaveDialogTakesTheToolkitsFilter) {
    std::atomic<bool> done{false};
    std::thread user([&] {
        const uint64_t end = ui::Ticks() + 20000;
        while (!done && ui::Ticks() < end) {
            HWND dlg = FindWindowW(L"#32770", nullptr);
            if (dlg && GetDlgItem(dlg, 0x47C)) {  // the file name's field
                SetDlgItemTextW(dlg, 0x47C, L"журнал");
                PostMessageW(dlg, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(50);
        }
    });
    std::u16string path = u"проба.txt";
    int index = 2;
    const ui::DialogResult r =
        ui::SaveFileDialog(0, u"TXT-файл (*.txt)|*.txt|CSV-файл (*.csv)|*.csv", &path, &index);
    done = true;
    user.join();
    ASSERT_EQ(r, ui::DialogResult::Accepted);
    EXPECT_EQ(index, 2);
    ASSERT_GE(path.size(), 10u);
    EXPECT_EQ(path.substr(path.size() - 10), u"журнал.csv");
}

TEST_F(NativeUi, ClipboardCarriesUnicodeText) {
    ASSERT_TRUE(ui::SetClipboardText("Концентрация 12,5 %"));
    EXPECT_EQ(ui::ClipboardText(), "Концентрация 12,5 %");
}

TEST_F(NativeUi, PngIsWrittenThroughTheSystemEncoder) {
    ui::Surface s(7, 5);
    s.Fill({0, 0, 7, 5}, 0xFF336699);
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string path = std::string(dir) + "native_ui_test.png";
    ASSERT_TRUE(s.SavePng(path));
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(f);
    unsigned char head[24] = {};
    EXPECT_EQ(std::fread(head, 1, sizeof head, f), sizeof head);
    std::fclose(f);
    std::remove(path.c_str());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(head + 1), 3), "PNG");
    EXPECT_EQ(head[19], 7);  // width, big-endian
    EXPECT_EQ(head[23], 5);  // height
    EXPECT_FALSE(s.SavePng(std::string(dir) + "no such folder\\x.png"));
}

}  // namespace
