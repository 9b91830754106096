// The configurator's entry point: start-up, the top-level form's message loop,
// and the orderly exit.
//
//   luma10 [--connect] [--open NAME] [--log] [--verbose] [--screenshot FILE [--after MS]]
//     --connect          press the connect button once the window is up
//     --open NAME        open the named sub-window once the window is up
//     --log              press the log toggle once the window is up (the line
//                        monitor shows)
//     --verbose          a line on standard output for every failed register
//                        read of the poll cycle (off: a windowed program has
//                        nobody reading its terminal)
//     --screenshot FILE  render the window (the opened sub-window with --open)
//                        to a PNG after MS ms (default 3000) and exit; without
//                        a display it draws offscreen
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/app_config.h"
#include "foundation/instance_mutex.h"
#include "foundation/settings_store.h"
#include "foundation/time_services.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "platform/display.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "toolkit/uik.h"
#include "windows/new_form.h"
#include "procedures/write_procedures.h"

namespace {

struct Options_t {
    bool connect = false;
    bool log = false;
    bool verbose = false;
    std::string open;
    std::string screenshot;
    unsigned after_ms = 3000;
};

bool ParseOptions(int argc, char** argv, Options_t& o) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--connect") == 0) {
            o.connect = true;
        } else if (std::strcmp(a, "--log") == 0) {
            o.log = true;
        } else if (std::strcmp(a, "--verbose") == 0) {
            o.verbose = true;
        } else if (std::strcmp(a, "--open") == 0 && i + 1 < argc) {
            o.open = argv[++i];
            std::string names;
            bool known = false;
            for (std::string_view n : GStart::SubWindowNames()) {
                known = known || n == o.open;
                names += names.empty() ? "" : ", ";
                names += n;
            }
            if (!known) {
                std::fprintf(stderr, "luma10: нет окна с именем «%s»; --open принимает одно из: %s\n", o.open.c_str(),
                             names.c_str());
                return false;
            }
        } else if (std::strcmp(a, "--screenshot") == 0 && i + 1 < argc) {
            o.screenshot = argv[++i];
        } else if (std::strcmp(a, "--after") == 0 && i + 1 < argc) {
            char* end = nullptr;
            const unsigned long v = std::strtoul(argv[++i], &end, 10);
            if (!end || *end || v > 600000) {
                std::fprintf(stderr, "luma10: недопустимое значение --after: нужно время в мс, 0..600000\n");
                return false;
            }
            o.after_ms = unsigned(v);
        } else {
            const bool wants_value =
                std::strcmp(a, "--open") == 0 || std::strcmp(a, "--screenshot") == 0 || std::strcmp(a, "--after") == 0;
            if (wants_value) std::fprintf(stderr, "luma10: нет значения у %s\n", a);
            else std::fprintf(stderr, "luma10: неизвестный параметр: %s\n", a);
            std::fprintf(stderr,
                         "Использование: luma10 [--connect] [--open ОКНО] [--log] [--verbose] [--screenshot ФАЙЛ [--after МС]]\n");
            return false;
        }
    }
    return true;
}

// What the exit needs when the display connection is lost: then the windows
// cannot be closed, but the rest of the orderly exit still runs.
struct Exit_t {
    mb_link_t* link = nullptr;
    const std::string* config_path = nullptr;
    InstanceMutex_t* instance = nullptr;
};
Exit_t* g_exit = nullptr;

int ExitWithoutDisplay() {
    if (!g_exit) return 1;
    if (g_exit->link) StopDeviceTraffic(*g_exit->link);
    if (g_exit->config_path && !g_exit->config_path->empty()) G_.save_config(*g_exit->config_path);
    if (g_exit->instance) g_exit->instance->Close();
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options_t opt;
    if (!ParseOptions(argc, argv, opt)) return 2;
    // The end of the session (SIGTERM, SIGHUP, SIGINT) ends the message loops,
    // even one not started yet, and takes the same way out as closing the
    // window.
    plat::on_session_end([](int) { UIK::App::Quit(); });

    // 1. The instance mutex, held until exit; a second instance is not refused.
    InstanceMutex_t instance;
    bool already = false;
    instance.Create(kProgramAppId, &already);

    // 2. Toolkit options.
    auto& env = kmxCommon::EnvVars_t::instance();
    env.Set(u"true", u"uik.show_native_window_title");
    env.Set(u"true", u"uik.all_forms_have_size_box");
    env.Set(u"false", u"uik.default_fullscreen_forms");
    if (!opt.screenshot.empty() && !plat::has_display()) plat::use_offscreen_video();

    // 3. Skins, fonts and icons.
    UIK::GResourcesUser resources;
    if (!resources.Ok()) {
        std::fprintf(stderr, "luma10: не удалось открыть дисплей\n");
        return 1;
    }
    UIK::GResources::Image("icoForm");
    UIK::GResources::Image("icoFormSmall");

    // 4. The device link and the hand-overs to the window thread.
    G_.window_poster = [](std::function<void()> fn) { return UIK::Async::Post(std::move(fn), false) == 1; };
    mb_link_t::set_read_diagnostics(opt.verbose);
    auto link = std::make_unique<mb_link_t>(G_.params);
    G_.link.store(link.get());

    // 5, 6. The configuration file, named after the program as it was
    // started (a link luma10-qzv has luma10-qzv.json beside it); its
    // connection settings go to the link with the port left closed. A failure
    // leaves the port closed. A file that must stay as it is (not a regular
    // file, not readable, not put aside) is not written at exit.
    std::string config_path = ConfigFilePath();
    const ConfigLoad_t loaded = G_.load_config(config_path);
    if (!loaded.save_at_exit) config_path.clear();
    if (!loaded.message.empty()) std::fprintf(stderr, "luma10: %s\n", loaded.message.c_str());
    G_.apply_connection_settings(G_.connection_settings(), nullptr);

    // A lost display runs what it can of the orderly exit (see
    // ExitWithoutDisplay).
    Exit_t exit_state{link.get(), &config_path, &instance};
    g_exit = &exit_state;
    UIK::App::SetDisplayLostHandler(&ExitWithoutDisplay);

    // 7. The window tree and its message loop.
    auto form = std::make_unique<GNewForm>(G_, plat::program_name());
    form->CenterOnScreen();
    // What the configuration file's load has to say, once the message panel
    // is there to show it; it stays until replaced.
    if (!loaded.message.empty())
        UIK::App::Defer([text = text::u16(loaded.message)] { G_.error_message(0, text); });
    if (opt.connect) UIK::App::Defer([f = form.get()] { f->Start().Connect(); });
    if (opt.log) UIK::App::Defer([f = form.get()] { f->Main().LogToggle().PerformClick(); });
    if (!opt.open.empty()) UIK::App::Defer([&] { form->Start().OpenSubWindow(opt.open, Tick64()); });
    UIK::GTimer shot;
    bool shot_ok = true;
    if (!opt.screenshot.empty()) {
        shot.SetInterval(opt.after_ms);
        shot.OnTick.Set([&](UIK::GTimer* t) {
            t->Stop();
            UIK::GForm* shown = opt.open.empty() ? nullptr : form->Start().FindSubWindow(opt.open);
            shot_ok = (shown ? shown : form.get())->RenderToPng(opt.screenshot.c_str());
            if (!shot_ok) std::fprintf(stderr, "luma10: не удалось записать %s\n", opt.screenshot.c_str());
            form->Close();
        });
        shot.Start();
    }
    form->SetModal(true);
    form->Show();
    shot.Stop();

    // 8. The loop has ended. Close the port and stop both workers before the
    // windows go: a running task may point into them.
    StopDeviceTraffic(*link);
    form.reset();
    G_.link.store(nullptr);
    exit_state.link = nullptr;
    link.reset();

    // 9. Save the configuration.
    if (!config_path.empty()) G_.save_config(config_path);
    UIK::App::SetDisplayLostHandler(nullptr);
    g_exit = nullptr;

    // 10. The lock is released; resources go with their holder.
    instance.Close();
    return shot_ok ? 0 : 1;
}
