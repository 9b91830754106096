#include "model/app_state.h"

#include "foundation/app_config.h"
#include "foundation/time_services.h"
#include "link/errors.h"
#include "model/codes.h"
#include "model/mb_link.h"
#include "platform/time.h"

G_t G_;

namespace {

constexpr uint32_t kInfoMessageMs = 10000;

}  // namespace

G_t::G_t() = default;
G_t::~G_t() = default;

bool G_t::is_port_open() const {
    mb_link_t* l = link.load();
    return l && l->is_open();
}

bool G_t::is_connected() const { return is_port_open() && params.device_type.is_read(); }

bool G_t::adjustment_mode_on() const { return is_connected() && params.adjustment_mode_owner.read_equals(codes::kOwnerModbus); }

bool G_t::adjustment_mode_off() const { return is_connected() && params.adjustment_mode_owner.read_equals(codes::kOwnerNone); }

error_value_t G_t::write_parameter(const mb_param_t& p, uint64_t value) {
    mb_link_t* l = link.load();
    if (!l) return comport_error(kComNotOpen);
    return l->write_param(p, value);
}

error_value_t G_t::save_settings() { return write_parameter(params.command, codes::kCommandSaveSettings); }

void G_t::post_to_worker1(ITask* task) {
    if (mb_link_t* l = link.load()) l->worker1().PostTask(task);
    else delete task;
}

void G_t::post_to_worker2(ITask* task) {
    if (mb_link_t* l = link.load()) l->worker2().PostTask(task);
    else delete task;
}

ITask* G_t::add_periodic_task(ITask* task, int64_t period_ms) {
    if (mb_link_t* l = link.load()) return l->worker1().AddPeriodicTask(task, period_ms);
    delete task;
    return nullptr;
}

void G_t::remove_periodic_task(ITask* handle) {
    if (mb_link_t* l = link.load()) l->worker1().RemovePeriodicTask(handle);
}

void G_t::post_to_window(std::function<void(IWindowSide&)> fn) {
    if (!window_poster) return;
    // The main window is looked up when the task runs on the window thread,
    // not now: it may appear or go away in between.
    window_poster([this, fn = std::move(fn)] {
        if (IWindowSide* w = main_window.load()) fn(*w);
    });
}

void G_t::status_text(const ustring_t& text) {
    post_to_window([text](IWindowSide& w) { w.show_status_text(text, Tick64()); });
}

void G_t::info_message(const ustring_t& text) {
    post_to_window([text](IWindowSide& w) { w.show_info_message(text, kInfoMessageMs); });
}

void G_t::error_message(uint32_t hide_after_ms, const ustring_t& text) {
    post_to_window([text, hide_after_ms](IWindowSide& w) { w.show_error_message(text, hide_after_ms); });
}

void G_t::clear_message() {
    post_to_window([](IWindowSide& w) { w.clear_message(); });
}

void G_t::hold(const void* key, uint32_t ms) { hold(key, ms, plat::tick32()); }

void G_t::hold(const void* key, uint32_t ms, uint32_t now) {
    hold_off_[key] = now + ms;
    read_back_.erase(key);
}

void G_t::hold_until(const void* key, uint32_t ms, std::function<bool()> read_back) {
    hold(key, ms);
    if (read_back) read_back_[key] = std::move(read_back);
}

bool G_t::can_update_control(const void* key) { return can_update_control(key, plat::tick32()); }

bool G_t::can_update_control(const void* key, uint32_t now) {
    uint32_t& deadline = hold_off_[key];
    // Compared as a signed distance so that a deadline past the 32-bit wrap of
    // the tick still holds until it is reached.
    if (deadline != 0 && static_cast<int32_t>(deadline - now) >= 0) {
        const auto it = read_back_.find(key);
        if (it == read_back_.end() || !it->second()) return false;
    }
    deadline = 0;
    read_back_.erase(key);
    return true;
}

bool G_t::apply_connection_settings(const ConnectionSettings& settings, ustring_t* text) {
    mb_link_t* l = link.load();
    if (!l) return false;
    std::lock_guard<std::mutex> g(settings_lock_);
    const bool ok = !l->apply(settings, text).is_error();
    connection_settings_ = l->connection_settings();
    return ok;
}

ConfigLoad_t G_t::load_config(const std::string& path) {
    AppSettings_t s;
    s.connection = connection_settings();
    s.balloon_strength = calibration_gas_concentration;
    ConfigLoad_t loaded = LoadSettings(s, path);
    set_connection_settings(s.connection);
    calibration_gas_concentration = s.balloon_strength;
    return loaded;
}

void G_t::save_config(const std::string& path) const {
    AppSettings_t s;
    s.connection = connection_settings();
    s.balloon_strength = calibration_gas_concentration;
    SaveSettings(s, path);
}

ConnectionSettings G_t::connection_settings() const {
    std::lock_guard<std::mutex> g(settings_lock_);
    return connection_settings_;
}

void G_t::set_connection_settings(const ConnectionSettings& settings) {
    std::lock_guard<std::mutex> g(settings_lock_);
    connection_settings_ = settings;
}
