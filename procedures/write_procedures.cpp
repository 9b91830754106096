#include "procedures/write_procedures.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "link/errors.h"
#include "model/app_state.h"
#include "model/codes.h"
#include "model/mb_link.h"

namespace {

constexpr uint32_t kErrorShowMs = 10000;
// The device needs a moment after the request before its owner register says
// who holds the mode.
constexpr auto kAdjustmentSettleTime = std::chrono::milliseconds(100);

// A printf "%s" argument from a UTF-16 text.
std::string arg(const ustring_t& s) { return text::utf8(s); }
std::string arg(const char16_t* s) { return s ? text::to_utf8(s) : std::string(); }

constexpr size_t kMaxText = 2048;

std::string arg(const error_value_t& e) { return text::utf8(window_message_text(e)); }

}  // namespace

write_outcome_t FailedWriteOutcome(const error_value_t& e) {
    if (e.category == &mb_category()) return write_outcome_t::refused;
    if (e.same(comport_error(kComNotOpen)) || e.same(comport_error(kComOpenFailed)) ||
        e.same(drv_error(kDrvBadRequestSize)) || e.same(drv_error(kDrvUnsupportedFunction)))
        return write_outcome_t::not_sent;
    return write_outcome_t::unknown;
}

ustring_t ParamWriteFailureText(const ustring_t& title, const error_value_t& e) {
    const char* form = FailedWriteOutcome(e) == write_outcome_t::unknown
                           ? "Не известно, был ли параметр установлен \"%s\"\n(%s)"
                           : "Параметр \"%s\" не был установлен\n(%s)";
    return text::format(kMaxText, form, arg(title).c_str(), arg(e).c_str());
}

ustring_t CommandFailureText(const ustring_t& title, const error_value_t& e) {
    const char* form = FailedWriteOutcome(e) == write_outcome_t::unknown
                           ? "Не известно, была ли выполнена команда \"%s\"\n(%s)"
                           : "Команда \"%s\" не была отправлена\n(%s)";
    return text::format(kMaxText, form, arg(title).c_str(), arg(e).c_str());
}

ustring_t SaveFailureText(const ustring_t& title, const error_value_t& e) {
    const char* form = FailedWriteOutcome(e) == write_outcome_t::unknown
                           ? "Параметр \"%s\" установлен, но не известно, сохранены ли настройки\n(%s)"
                           : "Параметр \"%s\" установлен, но настройки не сохранены\n(%s)";
    return text::format(kMaxText, form, arg(title).c_str(), arg(e).c_str());
}

uint64_t ParamValueFromFloat(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

namespace procedures {

error_value_t RunSetParamAndSave(G_t& g, const mb_param_t& p, uint64_t value) {
    const std::string title = arg(p.title());
    g.status_text(text::format(kMaxText, "Установка параметра \"%s\"...", title.c_str()));
    if (const error_value_t e = g.write_parameter(p, value)) {
        g.error_message(kErrorShowMs, ParamWriteFailureText(ustring_t(p.title() ? p.title() : u""), e));
        return e;
    }
    g.clear_message();
    g.status_text(text::format(kMaxText, "Параметр \"%s\" установлен\nСохраняем настройки...", title.c_str()));
    if (const error_value_t e = g.save_settings()) {
        // A failure, red on the message panel: the status line would pass
        // for success.
        g.error_message(kErrorShowMs, SaveFailureText(ustring_t(p.title() ? p.title() : u""), e));
        return e;
    }
    g.status_text(text::format(kMaxText, "Параметр \"%s\" установлен\nНастройки сохранены", title.c_str()));
    return success();
}

void RunEnableAdjustmentMode(G_t& g) {
    g.status_text(u"Включение режима наладки...");
    mb_link_t* l = g.link.load();
    // Whether the mode was held by this link before the request: only a mode
    // this program takes is given back when the port closes.
    if (l && !g.params.adjustment_mode_owner.snapshot().is_read()) (void)l->read_param(g.params.adjustment_mode_owner);
    const bool held_before = g.params.adjustment_mode_owner.read_equals(codes::kOwnerModbus);
    if (const error_value_t e = g.write_parameter(g.params.command, codes::kCommandEnterAdjustment)) {
        g.error_message(kErrorShowMs,
                        text::format(kMaxText, "Включение режима наладки не удалось\n(%s)", arg(e).c_str()));
        return;
    }
    std::this_thread::sleep_for(kAdjustmentSettleTime);
    const error_value_t e = l ? l->read_param(g.params.adjustment_mode_owner) : comport_error(kComNotOpen);
    if (e) {
        g.error_message(kErrorShowMs, text::format(kMaxText, "Не удалось прочитать состояние режима наладки\n(%s)",
                                                   arg(e).c_str()));
        return;
    }
    if (g.params.adjustment_mode_owner.read_equals(codes::kOwnerModbus)) {
        if (!held_before) {
            param_snapshot_t serial = g.params.factory_serial_id.snapshot();
            if (!serial.is_read() && !l->read_param(g.params.factory_serial_id))
                serial = g.params.factory_serial_id.snapshot();
            // Without the detector's factory number the mode cannot be tied
            // to it; it is then given back to whatever detector answers.
            g.adjustment_mode_taken.store(G_t::kTakenFlag | (serial.is_read() ? serial.u32() : 0));
        }
        g.status_text(u"Режим наладки включен");
        g.clear_message();
    } else {
        g.status_text(u"Режим наладки не был включен\n");
    }
}

error_value_t RunCommand(G_t& g, const mb_param_t& p, uint16_t value, const ustring_t& title) {
    const std::string name = arg(title);
    g.status_text(text::format(kMaxText, "Отсылка команды \"%s\"...", name.c_str()));
    if (const error_value_t e = g.write_parameter(p, value)) {
        g.error_message(kErrorShowMs, CommandFailureText(title, e));
        return e;
    }
    g.clear_message();
    g.status_text(text::format(kMaxText, "Команда \"%s\" отправлена", name.c_str()));
    return success();
}

namespace {

// A read that rides over one lost or garbled reply, as the poll cycle does
// over one failed check.
error_value_t ReadTwice(mb_link_t& l, mb_param_t& p) {
    error_value_t e = l.read_param(p);
    if (e && FailedWriteOutcome(e) == write_outcome_t::unknown) e = l.read_param(p);
    return e;
}

}  // namespace

bool RunReleaseAdjustmentMode(G_t& g) {
    const uint64_t taken = g.adjustment_mode_taken.load();
    mb_link_t* l = g.link.load();
    if (!(taken & G_t::kTakenFlag) || !l || !l->is_open()) return false;
    auto fail = [&](const error_value_t& e) {
        g.error_message(kErrorShowMs,
                        text::format(kMaxText, "Не удалось отключить режим наладки\n(%s)", arg(e).c_str()));
        return false;
    };
    // Only the detector that granted the mode gets the command, and only
    // while it still grants it to this link: a mode the device has dropped,
    // or that the console has taken since, is not this program's to end.
    if (const error_value_t e = ReadTwice(*l, g.params.factory_serial_id)) return fail(e);
    const uint32_t serial = uint32_t(taken);
    if (serial != 0 && g.params.factory_serial_id.snapshot().u32() != serial) {
        g.adjustment_mode_taken.store(0);
        return false;
    }
    if (const error_value_t e = ReadTwice(*l, g.params.adjustment_mode_owner)) return fail(e);
    if (!g.params.adjustment_mode_owner.read_equals(codes::kOwnerModbus)) {
        g.adjustment_mode_taken.store(0);
        return false;
    }
    const error_value_t e = g.write_parameter(g.params.command, codes::kCommandLeaveAdjustment);
    if (e && !(FailedWriteOutcome(e) == write_outcome_t::unknown && !ReadTwice(*l, g.params.adjustment_mode_owner) &&
               !g.params.adjustment_mode_owner.read_equals(codes::kOwnerModbus)))
        return fail(e);
    g.adjustment_mode_taken.store(0);
    g.status_text(u"Режим наладки отключен");
    return true;
}

}  // namespace procedures

// Every request is a single task on worker 1: a command and the adjustment-mode
// request ahead of it can then never be separated by a request of another
// thread, whichever thread makes the call.
void SetParamAndSave(G_t& g, const mb_param_t& p, uint64_t value) {
    G_t* app = &g;
    g.post_to_worker1(make_task([app, &p, value] { (void)procedures::RunSetParamAndSave(*app, p, value); }));
}

void SendCommand(G_t& g, const mb_param_t& p, uint8_t value, std::optional<ustring_t> title) {
    G_t* app = &g;
    ustring_t name = title ? *title : ustring_t();
    g.post_to_worker1(make_task([app, &p, value, name] {
        procedures::RunEnableAdjustmentMode(*app);
        (void)procedures::RunCommand(*app, p, value, name);
    }));
}

void EnableAdjustmentMode(G_t& g) {
    G_t* app = &g;
    g.post_to_worker1(make_task([app] { procedures::RunEnableAdjustmentMode(*app); }));
}

void SendPlainCommand(G_t& g, uint16_t value, std::optional<ustring_t> title) {
    G_t* app = &g;
    ustring_t name = title ? *title : ustring_t();
    g.post_to_worker1(
        make_task([app, value, name] { (void)procedures::RunCommand(*app, app->params.command, value, name); }));
}

void ReleaseAdjustmentModeBeforeClose(G_t& g) {
    mb_link_t* l = g.link.load();
    if (!l || !l->is_open() || !(g.adjustment_mode_taken.load() & G_t::kTakenFlag) || l->worker1().StopFlag()) return;
    struct done_t {
        std::mutex mu;
        std::condition_variable cv;
        bool done = false;
    };
    // Shared with the task: a wait that gives up leaves it to a task that
    // may still run.
    auto d = std::make_shared<done_t>();
    G_t* gp = &g;
    l->worker1().Post([gp, d] {
        procedures::RunReleaseAdjustmentMode(*gp);
        std::lock_guard<std::mutex> lk(d->mu);
        d->done = true;
        d->cv.notify_all();
    });
    // Worker 1 may be in the middle of a poll cycle; then come two reads, a
    // retry each, and the write.
    const auto limit = std::chrono::milliseconds(5000 + 8 * uint32_t(l->response_timeout()));
    std::unique_lock<std::mutex> lk(d->mu);
    d->cv.wait_for(lk, limit, [&] { return d->done; });
}
