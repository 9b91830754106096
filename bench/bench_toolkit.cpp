// Toolkit drawing and idle figures: a full render of a 1024 x 768 form with
// about 80 controls, a refresh that changes five labels, and the CPU time an
// idle form with one 1000 ms timer takes over a second of waiting.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "toolkit/uik.h"

using namespace UIK;
using Clock = std::chrono::steady_clock;

namespace {

double ms_since(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

}  // namespace

int main() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    // The plain framebuffer of the window, as on a desktop; SDL's default
    // texture framebuffer would add a software-OpenGL upload to every frame
    // under the offscreen driver.
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
    GResourcesUser res;
    if (!res.Ok()) {
        std::fprintf(stderr, "bench_toolkit: no video driver\n");
        return 1;
    }
    std::vector<std::unique_ptr<GControl>> keep;
    std::vector<GLabel*> values;
    {
        GTabKeyForm form;
        form.SetBounds(0, 0, 1024, 768);
        auto add = [&](std::unique_ptr<GControl> c) { keep.push_back(std::move(c)); };
        // 4 columns x 10 rows of caption + value pairs (80 controls), plus a
        // few buttons, a scroll bar and a selector.
        for (int col = 0; col < 4; ++col)
            for (int row = 0; row < 10; ++row) {
                int x = 8 + col * 254, y = 8 + row * 62;
                auto cap = std::make_unique<GLabel>(&form);
                cap->SetBounds(x, y, 120, 56);
                cap->SetText(u"Параметр");
                cap->SetBackColor(row % 2 ? kColorMid : kColorLight);
                cap->SetFont(kFontSmall);
                if ((row + col) % 3 == 0) {
                    auto in = std::make_unique<GInputDoubleLabel>(&form);
                    in->SetBounds(x + 122, y, 124, 56);
                    in->SetValue(row * 1.5 + col);
                    add(std::move(in));
                } else {
                    auto v = std::make_unique<GLabel>(&form);
                    v->SetBounds(x + 122, y, 124, 56);
                    v->SetText(u"0.000");
                    v->SetAlignment(kAlignCenter | kAlignMiddle);
                    v->SetBackColor(kColorDark);
                    v->SetFont(kFontFixed);
                    values.push_back(v.get());
                    add(std::move(v));
                }
                add(std::move(cap));
            }
        for (int i = 0; i < 4; ++i) {
            auto b = std::make_unique<GTextButton>(&form);
            b->SetBounds(8 + i * 254, 640, 246, 46);
            b->SetCaption(u"Кнопка\nв две строки");
            b->SetFont(kFontSmall);
            add(std::move(b));
        }
        auto sb = std::make_unique<GScrollBar>(&form);
        sb->SetBounds(8, 700, 700, 30);
        add(std::move(sb));
        auto ss = std::make_unique<GStringSelector>(&form);
        ss->SetBounds(720, 696, 296, 40);
        ss->SetItems({u"9600"});
        ss->SetSelectedIndex(0);
        add(std::move(ss));
        std::printf("form 1024 x 768 with %zu controls\n", keep.size());

        form.Show();
        App::ProcessPending();

        const int kFrames = 200;
        auto t0 = Clock::now();
        for (int i = 0; i < kFrames; ++i) {
            form.InvalidateRect({0, 0, 1024, 768});
            form.Render();
        }
        double full = ms_since(t0) / kFrames;
        t0 = Clock::now();
        for (int i = 0; i < kFrames / 4; ++i) form.RenderToBitmap();
        double paint_only = ms_since(t0) / (kFrames / 4);

        t0 = Clock::now();
        for (int i = 0; i < kFrames; ++i) {
            for (int k = 0; k < 5; ++k)
                values[size_t(k * 7) % values.size()]->SetText(text::u16(std::to_string(i * 5 + k) + ".000"));
            form.Render();
        }
        double partial = ms_since(t0) / kFrames;
        std::printf("full render:        %.3f ms per frame (goal < 10)\n", full);
        std::printf("  of which painting into a new picture: %.3f ms\n", paint_only);
        {
            GForm empty;
            empty.SetBounds(0, 0, 1024, 768);
            auto e0 = Clock::now();
            for (int i = 0; i < kFrames / 4; ++i) empty.RenderToBitmap();
            std::printf("  the form's background alone:          %.3f ms\n", ms_since(e0) / (kFrames / 4));
        }
        std::printf("five labels change: %.3f ms per frame (goal < 2)\n", partial);

        // Idle: only a 1000 ms timer; the loop must wait in the kernel.
        GTimer timer(1000);
        int ticks = 0;
        timer.OnTick.Set([&](GTimer*) { ++ticks; });
        timer.Start();
        std::clock_t c0 = std::clock();
        auto w0 = Clock::now();
        App::RunUntil([] { return false; }, 1500);
        double wall = ms_since(w0);
        double cpu = double(std::clock() - c0) * 1000.0 / CLOCKS_PER_SEC;
        std::printf("idle form, 1000 ms timer: %.0f ms waited, %.1f ms CPU (%.2f%%), %d tick(s)\n", wall, cpu,
                    100.0 * cpu / wall, ticks);
        form.Close();
    }
    keep.clear();
    return 0;
}
