// What the benches of the line share: the frame sizes on the wire, the
// line-timed simulator with a link opened to it, a journal page whose
// hand-overs a queue serves, and the Modbus master on a pseudo-terminal with a
// peer that answers every read at once.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/com_port.h"
#include "link/crc16.h"
#include "link/mb_driver.h"
#include "model/app_state.h"
#include "model/journal_download.h"
#include "model/mb_link.h"
#include "model/window_queue.h"
#include "platform/pty.h"
#include "sim/simulator.h"

namespace bench {

constexpr double kBitsPerChar = 10.0;  // start, 8 data bits, stop

// Frame sizes in characters (bytes) of one exchange each way.
constexpr unsigned read_exchange(unsigned registers) { return 8 + (5 + 2 * registers); }
constexpr unsigned write_exchange(unsigned registers) { return (9 + 2 * registers) + 8; }
// Identity read (cfg_file_ver, block 1151..1164) and the count read.
constexpr unsigned kStartChars = read_exchange(1) + read_exchange(14) + read_exchange(2);
// Threshold-1 record: selector write, 8-register block read.
constexpr unsigned kListRecordChars = write_exchange(2) + read_exchange(8);

// The read the master benches time: 38 registers from 1000 at address 1.
constexpr uint16_t kRegisters = 38;
inline mb_request_t block_read() {
    mb_request_t r;
    r.slave = 1;
    r.function = 3;
    r.start = 1000;
    r.quantity = kRegisters;
    return r;
}

// The master at 115200 baud on a pseudo-terminal whose other end the bench
// plays.
struct PtyMaster {
    plat::Pty_t pty;
    com_port_t port;
    com_port_socket_t socket{&port};
    mb_driver_t master;

    // Both ends opened and the master armed; otherwise false, the reason on
    // standard error.
    bool open() {
        if (!pty.open()) {
            std::fprintf(stderr, "pty: %s\n", pty.errno_text().c_str());
            return false;
        }
        port.set_device_path(pty.slave_path());
        com_port_settings_t s;
        s.speed = 115200;
        error_value_t err;
        port.configure(s, err);
        port.open(err);
        if (err) {
            std::fprintf(stderr, "%s\n", text::utf8(err.describe()).c_str());
            return false;
        }
        master.set_socket(&socket);
        master.arm();
        return true;
    }

    // Answers count block reads, each at once; answer_us, when given, gets the
    // time from the last request byte read to the reply written.
    void answer(int count, std::vector<double>* answer_us = nullptr) {
        uint8_t req[8];
        uint8_t reply[3 + 2 * kRegisters + 2] = {1, 3, 2 * kRegisters};
        for (int i = 0; i < 2 * kRegisters; ++i) reply[3 + i] = uint8_t(i);
        for (int n = 0; n < count; ++n) {
            size_t got = 0;
            while (got < sizeof req) {
                const long r = pty.read(req + got, sizeof req - got, 1000);
                if (r < 0) return;
                got += size_t(r);
            }
            const auto t0 = std::chrono::steady_clock::now();
            reply[0] = req[0];
            crc16_append(reply, 3 + 2 * kRegisters);
            pty.write(reply, sizeof reply);
            if (answer_us)
                (*answer_us)[size_t(n)] =
                    std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
        }
    }
};

// A journal page whose hand-overs to the window thread the queue serves.
template <typename Item>
struct QueuePage : luma::journal_page_T<Item> {
    explicit QueuePage(window_queue_t& q) : queue(q) {}
    void run_on_window_thread(const std::function<void()>& fn) override { queue.call(fn); }
    void show_progress(uint32_t, uint32_t, const ustring_t&) override {}
    void refresh_rebuilt() override {}
    window_queue_t& queue;
};

// Options of a line-timed simulator at speed with records in every journal.
inline sim::Options_t timed_line(unsigned speed, uint32_t records) {
    sim::Options_t o;
    o.line_timing = true;
    o.speed = speed;
    o.trend_delay_ms = 0;
    o.records.set_all(records);
    o.log = [](const std::string&) {};
    return o;
}

// The simulator of o, and a link over g opened to it at its speed; ok false,
// the reason on standard error, when either failed.
struct Line {
    Line(const sim::Options_t& o, G_t& g) : g_(g) {
        sim = std::make_unique<sim::Simulator_t>(o);
        std::string err;
        if (!sim->start(&err)) {
            std::fprintf(stderr, "имитатор: %s\n", err.c_str());
            return;
        }
        mb_link_t::set_read_diagnostics(false);
        link = std::make_unique<mb_link_t>(g.params);
        g.link = link.get();
        link->set_device_path(sim->path());
        ConnectionSettings cs;
        cs.port_settings.speed = o.speed;
        ustring_t text;
        ok = g.apply_connection_settings(cs, &text) && !link->open(&text);
        if (!ok) std::fprintf(stderr, "%s\n", text::utf8(text).c_str());
    }
    ~Line() { stop(); }
    void stop() {
        if (link) {
            link->close();
            link->worker1().Stop();
            link->worker2().Stop();
        }
        g_.link = nullptr;
        link.reset();
        if (sim) sim->stop();
    }
    G_t& g_;
    std::unique_ptr<sim::Simulator_t> sim;
    std::unique_ptr<mb_link_t> link;
    bool ok = false;
};

}  // namespace bench
