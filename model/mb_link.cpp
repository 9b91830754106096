#include "model/mb_link.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "foundation/time_services.h"
#include "link/errors.h"
#include "link/modbus.h"
#include "platform/thread.h"

namespace {

std::atomic<bool> g_read_diagnostics{true};

constexpr int32_t kCheckBackoffMs = 500;
// While the cycle is paused, how often worker 1 looks whether it may go on
// (the pause guards may outlive the link, so a resume cannot wake it).
constexpr int64_t kPausedRecheckMs = 50;
// A write carries its value in 64 bits: at most four registers.
constexpr uint16_t kMaxValueRegisters = 4;

const char16_t kOpenOperation[] = u"Открытие порта";
const char16_t kCloseOperation[] = u"Закрытие порта";
const char16_t kApplyOperation[] = u"Настройка порта";

void fill_text(ustring_t* text, const char16_t* operation, const error_value_t& e) {
    if (text) *text = port_message_text(operation, e);
}

int64_t now_ms() { return static_cast<int64_t>(Tick64()); }

}  // namespace

struct mb_link_t::live_blocks_t {
    std::mutex lock;
    std::multiset<std::pair<uint16_t, uint16_t>> blocks;
};

mb_link_t::mb_link_t(ParamMap_t& params)
    : socket_(&port_), live_blocks_(std::make_shared<live_blocks_t>()), params_(params) {
    master_.set_socket(&socket_);
    master_.set_response_timeout(mb_driver_t::kDefaultTimeoutMs);
    worker1_.AddPeriodic([this] { return poll(); });
    worker1_.Start();
    worker2_.Start();
}

mb_link_t::~mb_link_t() {
    close();  // closed whatever it reports
    worker1_.Stop();
    worker2_.Stop();
}

void mb_link_t::set_read_diagnostics(bool on) { g_read_diagnostics.store(on); }
bool mb_link_t::read_diagnostics() { return g_read_diagnostics.load(); }

bool mb_link_t::is_open() const { return port_.is_open(); }

void mb_link_t::set_device_path(const std::string& path) { port_.set_device_path(path); }

error_value_t mb_link_t::open(ustring_t* text) {
    params_.invalidate_all();
    error_value_t e;
    port_.open(e);
    if (e) {
        fill_text(text, kOpenOperation, e);
        if (text && e.same(comport_error(kComOpenFailed))) {
            const ustring_t reason = port_.open_failure_reason();
            if (!reason.empty()) *text += u"\n" + reason;
        }
        return e;
    }
    master_.arm();
    completed_cycles_.store(0);
    // The status of an earlier connection says nothing about this one.
    set_link_status(success());
    // Writes queued while the port was closed never go out.
    {
        ScopedLock_t g(link_lock_);
        pending_.clear();
    }
    // The first cycle need not wait for the worker's next look.
    worker1_.RunPeriodicNow();
    return success();
}

error_value_t mb_link_t::close(ustring_t* text) {
    master_.disarm();
    const error_value_t e = port_.close();
    completed_cycles_.store(0);
    params_.invalidate_all();
    if (e) fill_text(text, kCloseOperation, e);
    return e;
}

error_value_t mb_link_t::apply(const ConnectionSettings& settings, ustring_t* text) {
    const bool was_open = is_open();
    // The port is closed afterwards whatever the close reports; what counts
    // here is whether the new settings take.
    close();
    error_value_t e;
    port_.configure(settings.port_settings, e);
    if (e) {
        fill_text(text, kApplyOperation, e);
        return e;
    }
    master_.cancel();
    master_.set_response_timeout(settings.timeout);
    default_slave_.store(settings.block_id);
    if (!was_open) return success();
    return open(text);
}

namespace {

// One pause fewer, never below none: a stray resume must not cancel a later pause.
void release_pause(std::atomic<int>& count) {
    int n = count.load();
    while (n > 0 && !count.compare_exchange_weak(n, n - 1)) {
    }
}

}  // namespace

void mb_link_t::pause_polling() { pauses_->fetch_add(1); }

void mb_link_t::resume_polling() { release_pause(*pauses_); }

bool mb_link_t::polling_paused() const { return pauses_->load() > 0; }

mb_link_t::count_guard_t::count_guard_t(std::shared_ptr<std::atomic<int>> count) : count_(std::move(count)) {
    count_->fetch_add(1);
}

mb_link_t::count_guard_t::~count_guard_t() { release_pause(*count_); }

bool mb_link_t::download_running() const { return downloads_->load() > 0; }

mb_link_t::live_block_guard_t::live_block_guard_t(mb_link_t& link, uint16_t start, uint16_t count)
    : blocks_(link.live_blocks_), block_(start, count) {
    std::lock_guard<std::mutex> g(blocks_->lock);
    blocks_->blocks.insert(block_);
}

mb_link_t::live_block_guard_t::~live_block_guard_t() {
    std::lock_guard<std::mutex> g(blocks_->lock);
    const auto it = blocks_->blocks.find(block_);
    if (it != blocks_->blocks.end()) blocks_->blocks.erase(it);
}

bool mb_link_t::poll_cut_short() { return worker1_.StopFlag() || polling_paused(); }

ConnectionSettings mb_link_t::connection_settings() const {
    ConnectionSettings s;
    s.port_settings = port_.settings();
    s.timeout = master_.response_timeout();
    s.block_id = default_slave_.load();
    return s;
}

void mb_link_t::set_link_status(const error_value_t& e) {
    std::lock_guard<std::mutex> g(status_lock_);
    status_ = e;
    failed_in_row_ = e ? failed_in_row_ + 1 : 0;
}

error_value_t mb_link_t::link_status() const {
    std::lock_guard<std::mutex> g(status_lock_);
    return status_;
}

void mb_link_t::set_line_observer(line_observer_t* observer) {
    port_.set_observer(observer);
    master_.set_observer(observer);
}

error_value_t mb_link_t::read_registers(uint16_t start, uint16_t count, uint16_t* dest, uint8_t slave) {
    mb_request_t req{};
    req.slave = slave ? slave : default_slave_.load();
    req.function = mb::kReadHoldingRegisters;
    req.start = start;
    req.quantity = count;
    req.data_length = 0;
    error_value_t e;
    master_.execute(req, e);
    if (e) {
        // One line per failed read, naming the block; flushed at once, so that
        // a file or pipe on standard output follows the line as it happens.
        if (g_read_diagnostics.load()) {
            std::printf("Чтение регистров %u..%u (адрес %u): %s\n", unsigned(start), unsigned(start) + count - 1,
                        unsigned(req.slave), text::utf8(e.describe()).c_str());
            std::fflush(stdout);
        }
        return e;
    }
    if (req.data_length != 2u * count) return app_error(app::kDriverLogicError);
    for (uint16_t i = 0; i < count; ++i)
        dest[i] = static_cast<uint16_t>((req.data[2 * i] << 8) | req.data[2 * i + 1]);
    return success();
}

error_value_t mb_link_t::write_registers(uint16_t start, uint16_t count, uint64_t value) {
    // The value holds at most four words; anything else would send bytes from
    // past its end.
    if (count == 0 || count > kMaxValueRegisters) return drv_error(kDrvBadRequestSize);
    mb_request_t req{};
    req.slave = default_slave_.load();
    req.function = mb::kWriteMultipleRegisters;
    req.start = start;
    req.quantity = count;
    req.data_length = static_cast<uint16_t>(2 * count);
    for (uint16_t i = 0; i < count; ++i) {
        const uint16_t w = static_cast<uint16_t>(value >> (16 * i));
        req.data[2 * i] = static_cast<uint8_t>(w >> 8);
        req.data[2 * i + 1] = static_cast<uint8_t>(w);
    }
    error_value_t e;
    master_.execute(req, e);
    return e;
}

error_value_t mb_link_t::queue_write(uint16_t start, uint16_t count, uint64_t value) {
    if (count == 0 || count > kMaxValueRegisters) return drv_error(kDrvBadRequestSize);
    ScopedLock_t g(link_lock_);
    pending_[start] = pending_write_t{value, count};
    return success();
}

size_t mb_link_t::pending_writes() const {
    ScopedLock_t g(link_lock_);
    return pending_.size();
}

error_value_t mb_link_t::read_block(uint16_t start, uint16_t count) {
    uint16_t words[mb::kMaxReadRegisters];
    if (count > mb::kMaxReadRegisters) return drv_error(kDrvBadRequestSize);
    const error_value_t e = read_registers(start, count, words);
    if (e) return e;
    params_.store_block(start, words, count, now_ms());
    return success();
}

error_value_t mb_link_t::read_param(mb_param_t& p, uint8_t slave) {
    uint16_t words[4] = {};
    const error_value_t e = read_registers(p.reg(), p.count(), words, slave);
    if (e) return e;
    params_.image.store(p.reg(), words, p.count());
    p.update_from(params_.image, now_ms());
    return success();
}

error_value_t mb_link_t::write_param(const mb_param_t& p, uint64_t value) {
    return write_registers(p.reg(), p.count(), value);
}

error_value_t mb_link_t::queue_param(const mb_param_t& p, uint64_t value) {
    return queue_write(p.reg(), p.count(), value);
}

error_value_t mb_link_t::read_identity() {
    const error_value_t e = read_param(params_.cfg_file_ver);
    if (e) return e;
    return read_block(params_.topic_identity.start, params_.topic_identity.count);
}

int64_t mb_link_t::poll() {
    const line_source_scope_t source(line_source_t::poll);
    if (!is_open()) {
        // Writes queued while closed, or still queued at closing, never go out.
        ScopedLock_t g(link_lock_);
        pending_.clear();
        // open() asks for the next turn at once.
        return kPollPeriodMs;
    }
    if (polling_paused()) return kPausedRecheckMs;
    const bool downloading = download_running();
    if (const int64_t wait = until_next_cycle(); wait > 0) return wait;
    cycle_start_ = now_ms();

    // The device failed under the open port: this check first opens it again.
    // Until that succeeds the check fails with the open's error.
    if (port_.failed()) {
        error_value_t e;
        port_.reopen(e);
        if (e) {
            params_.invalidate_all();
            set_link_status(e);
            worker1_.stop_event().wait(kCheckBackoffMs);
            return until_next_cycle();
        }
    }

    const error_value_t check = read_param(params_.factory_serial_id);
    // Everything is marked not read before the failure shows, so that no one
    // sees the failure together with values from before it.
    if (check) {
        params_.invalidate_all();
        set_link_status(check);
        worker1_.stop_event().wait(kCheckBackoffMs);
        return until_next_cycle();
    }

    std::map<uint16_t, pending_write_t> writes;
    {
        ScopedLock_t g(link_lock_);
        writes.swap(pending_);
    }
    // Each write is read back at once, so the parameters show what the device
    // now holds. Failures are left for the next cycle to show.
    // A pause that came meanwhile does not hold these back: they were taken
    // out of the map and would be lost.
    for (const auto& [start, w] : writes) {
        write_registers(start, w.count, w.value);
        read_block(start, w.count);
    }

    if (downloading) {
        std::set<std::pair<uint16_t, uint16_t>> live;
        {
            std::lock_guard<std::mutex> g(live_blocks_->lock);
            live.insert(live_blocks_->blocks.begin(), live_blocks_->blocks.end());
        }
        error_value_t live_failure;
        for (const auto& [start, count] : live) {
            if (poll_cut_short()) return until_next_cycle();
            const error_value_t e = read_block(start, count);
            if (e && !live_failure) live_failure = e;
        }
        set_link_status(live_failure);
        return until_next_cycle();
    }

    // The link is up only when the whole cycle was read: a block that fails
    // (a reply too long for the time-out, a device that refuses it) is the
    // link's status, so the link is never shown as established meanwhile.
    error_value_t first_failure;
    for (mb_topic_t* t : params_.topics) {
        if (poll_cut_short()) return until_next_cycle();
        const error_value_t e = read_block(t->start, t->count);
        if (e && !first_failure) first_failure = e;
    }
    set_link_status(first_failure);
    if (!first_failure) completed_cycles_.fetch_add(1);
    return until_next_cycle();
}

int64_t mb_link_t::until_next_cycle() const {
    if (cycle_start_ < 0) return 0;
    const int64_t period = download_running() ? kDownloadPollPeriodMs : kPollPeriodMs;
    return std::max<int64_t>(0, cycle_start_ + period - now_ms());
}
