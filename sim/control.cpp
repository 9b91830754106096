// The text control language of a running simulator (the control socket of
// the program; tests call the same through Simulator_t::command).
#include <charconv>
#include <cstdio>
#include <sstream>

#include "sim/simulator.h"

namespace sim {

namespace {

bool unsigned_of(const std::string& w, unsigned long& v, unsigned long max) {
    int base = 10;
    const char* b = w.data();
    const char* e = b + w.size();
    if (w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X')) {
        base = 16;
        b += 2;
    }
    auto r = std::from_chars(b, e, v, base);
    return b != e && r.ec == std::errc() && r.ptr == e && v <= max;
}

// "on" = until cleared, "off" = 0, a number = that many replies.
bool fault_count(const std::string& w, int& count) {
    unsigned long n;
    if (w == "on") count = -1;
    else if (w == "off") count = 0;
    else if (unsigned_of(w, n, 1000000)) count = int(n);
    else return false;
    return true;
}

bool real_of(const std::string& w, double& v) {
    // Independent of the locale: a point is the separator under any settings.
    auto r = std::from_chars(w.data(), w.data() + w.size(), v);
    return !w.empty() && r.ec == std::errc() && r.ptr == w.data() + w.size();
}

}  // namespace

std::string Simulator_t::command(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    if (w.empty()) return "error: пустая команда";
    const std::string& c = w[0];
    const char* usage = "error: неверные аргументы; help — список команд";

    if (c == "help") {
        return "status | silent|late|corrupt|noise on|off|N | late ms MS | clear | drop | restore | conc A X | "
               "temp A X | owner A N | calibration A N | save A ok|refuse|silent [N] | output A | alarms A MASK | warnings A MASK | "
               "records A threshold1|threshold2|alarms|setup|config|trend N | get A R | set A R V";
    }
    if (c == "status") {
        std::ostringstream s;
        s << "line " << (line_open() ? path() : std::string("closed")) << "\nspeed " << speed() << "\nrequests "
          << requests() << "\nreplies " << replies();
        std::lock_guard<std::mutex> g(mu_);
        for (const Station_t& st : stations_) {
            if (st.device)
                s << "\ndevice " << unsigned(st.address()) << " serial " << st.device->factory_serial() << " owner "
                  << st.device->peek(reg::kAdjustmentOwner);
            else
                s << "\nforeign " << unsigned(st.address());
        }
        s << "\nfaults silent " << silent_ << " late " << late_ << " (" << late_ms_ << " ms) corrupt " << corrupt_
          << " noise " << noise_;
        return s.str();
    }
    if (c == "silent" || c == "late" || c == "corrupt" || c == "noise") {
        if (w.size() == 3 && c == "late" && w[1] == "ms") {
            unsigned long ms;
            if (!unsigned_of(w[2], ms, 3600000)) return usage;
            set_late_ms(unsigned(ms));
            return "ok";
        }
        int n;
        if (w.size() != 2 || !fault_count(w[1], n)) return usage;
        set_fault(c == "silent" ? Fault_t::kSilent : c == "late" ? Fault_t::kLate
                  : c == "corrupt" ? Fault_t::kCorruptCrc : Fault_t::kNoise, n);
        return "ok";
    }
    if (c == "clear") {
        clear_faults();
        return "ok";
    }
    if (c == "drop") {
        drop_line();
        return "ok";
    }
    if (c == "restore") {
        std::string err;
        if (!restore_line(&err)) return "error: " + err;
        return "ok " + path();
    }

    // Commands for one detector: NAME A ...
    unsigned long a;
    if (w.size() < 2 || !unsigned_of(w[1], a, 247)) return usage;
    const uint8_t addr = uint8_t(a);
    const char* no_device = "error: нет газоанализатора с таким адресом";
    if ((c == "conc" || c == "temp") && w.size() == 3) {
        double v;
        if (!real_of(w[2], v)) return usage;
        // Written so that NaN, which fails every comparison, is refused too.
        const double lo = c == "conc" ? -kMaxConcentration : kMinTemperature;
        const double hi = c == "conc" ? kMaxConcentration : kMaxTemperature;
        if (!(v >= lo && v <= hi)) {
            char range[64];
            std::snprintf(range, sizeof range, "%g..%g", lo, hi);
            return "error: недопустимое значение " + w[2] + ": нужно число " + range;
        }
        const bool ok = c == "conc" ? set_concentration(addr, v) : set_temperature(addr, v);
        return ok ? "ok" : no_device;
    }
    unsigned long x, y;
    if (c == "owner" && w.size() == 3 && unsigned_of(w[2], x, 65535))
        return set_owner(addr, uint16_t(x)) ? "ok" : no_device;
    if (c == "calibration" && w.size() == 3 && unsigned_of(w[2], x, 9))
        return force_calibration_outcome(addr, uint16_t(x)) ? "ok" : no_device;
    if (c == "save" && (w.size() == 3 || w.size() == 4)) {
        const SaveFault_t f = w[2] == "refuse" ? SaveFault_t::kRefused
                              : w[2] == "silent" ? SaveFault_t::kSilent : SaveFault_t::kNone;
        if (f == SaveFault_t::kNone && w[2] != "ok") return usage;
        int n = -1;
        if (w.size() == 4 && (f == SaveFault_t::kNone || !unsigned_of(w[3], x, 1000000))) return usage;
        if (w.size() == 4) n = int(x);
        return set_save_fault(addr, f, n) ? "ok" : no_device;
    }
    if (c == "output" && w.size() == 2) {
        double ma = 0;
        if (!output_current(addr, ma)) return no_device;
        char buf[32];
        std::snprintf(buf, sizeof buf, "ok %.3f", ma);
        return buf;
    }
    if ((c == "alarms" || c == "warnings") && w.size() == 3 && unsigned_of(w[2], x, 0xFFFFFFFFul)) {
        const uint16_t r = c == "alarms" ? reg::kAlarmsMask : reg::kWarningsMask;
        return with_device(addr, [&](Device_t& d) {
                   d.poke(r, uint16_t(x & 0xFFFF));
                   d.poke(uint16_t(r + 1), uint16_t(x >> 16));
               })
                   ? "ok"
                   : no_device;
    }
    if (c == "records" && w.size() == 4 && unsigned_of(w[3], x, 100000000)) {
        static const char* const names[] = {"threshold1", "threshold2", "alarms", "setup", "config", "trend"};
        for (int k = 0; k < 6; ++k)
            if (w[2] == names[k]) return set_journal_count(addr, Journal_t(k), uint32_t(x)) ? "ok" : no_device;
        return usage;
    }
    if (c == "get" && w.size() == 3 && unsigned_of(w[2], x, 65535)) {
        uint16_t v;
        if (!get_register(addr, uint16_t(x), v)) return no_device;
        return "ok " + std::to_string(v);
    }
    if (c == "set" && w.size() == 4 && unsigned_of(w[2], x, 65535) && unsigned_of(w[3], y, 65535))
        return set_register(addr, uint16_t(x), uint16_t(y)) ? "ok" : no_device;
    return usage;
}

}  // namespace sim
