// luma10-sim: simulated detectors on a pseudo-terminal or a serial port.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "platform/control_socket.h"
#include "sim/simulator.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void on_signal(int) { g_stop = true; }

int send_command(int argc, const char* const* argv) {
    if (argc < 4) {
        std::fprintf(stderr, "luma10-sim: --send СОКЕТ КОМАНДА...\n");
        return 2;
    }
    std::string line;
    for (int i = 3; i < argc; ++i) line += (i > 3 ? " " : "") + std::string(argv[i]);
    std::string answer, error;
    if (!plat::control_request(argv[2], line, answer, &error)) {
        std::fprintf(stderr, "luma10-sim: %s\n", error.c_str());
        return 1;
    }
    std::fputs(answer.c_str(), stdout);
    return answer.rfind("error", 0) == 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--send") return send_command(argc, argv);

    sim::Options_t options;
    bool help = false;
    std::string error;
    if (!sim::parse_options(argc, argv, options, help, error)) {
        std::fprintf(stderr, "luma10-sim: %s\nСправка: luma10-sim --help\n", error.c_str());
        return 2;
    }
    if (help) {
        std::fputs(sim::help_text(), stdout);
        return 0;
    }

    sim::Simulator_t simulator(options);
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "luma10-sim: %s\n", error.c_str());
        return 1;
    }
    plat::ControlServer_t control;
    if (!options.control_path.empty() &&
        !control.start(options.control_path, [&](const std::string& l) { return simulator.command(l); }, &error)) {
        std::fprintf(stderr, "luma10-sim: управляющий сокет: %s\n", error.c_str());
        simulator.stop();
        return 1;
    }

    // The first line of output is the line's path, for scripts to pick up.
    std::printf("%s\n", simulator.path().c_str());
    std::fflush(stdout);
    std::string devices;
    for (uint8_t a : options.addresses)
        devices += " " + std::to_string(a) + " (№ " + std::to_string(simulator.factory_serial(a)) + ")";
    std::fprintf(stderr, "luma10-sim: газоанализаторы:%s; %u бод%s%s. Выход — Ctrl+C.\n", devices.c_str(),
                 options.speed, options.com ? (", COM" + std::to_string(options.com)).c_str() : "",
                 options.control_path.empty() ? "" : (", управление: " + options.control_path).c_str());

    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));

    control.stop();
    simulator.stop();
    return 0;
}
