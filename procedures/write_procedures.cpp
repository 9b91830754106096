#include "procedures/write_procedures.h"

#include <chrono>
#include <cstring>
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
        g.error_message(kErrorShowMs, text::format(kMaxText, "Параметр \"%s\" не был установлен\n(%s)", title.c_str(),
                                                   arg(e).c_str()));
        return e;
    }
    g.clear_message();
    g.status_text(text::format(kMaxText, "Параметр \"%s\" установлен\nСохраняем настройки...", title.c_str()));
    if (const error_value_t e = g.save_settings()) {
        // A failure, red on the message panel: the status line would pass
        // for success.
        const ustring_t t = text::format(kMaxText, "Параметр \"%s\" установлен, но настройки не сохранены\n(%s)",
                                         title.c_str(), arg(e).c_str());
        g.error_message(kErrorShowMs, t);
        return e;
    }
    g.status_text(text::format(kMaxText, "Параметр \"%s\" установлен\nНастройки сохранены", title.c_str()));
    return success();
}

void RunEnableAdjustmentMode(G_t& g) {
    g.status_text(u"Включение режима наладки...");
    if (const error_value_t e = g.write_parameter(g.params.command, codes::kCommandEnterAdjustment)) {
        g.error_message(kErrorShowMs,
                        text::format(kMaxText, "Включение режима наладки не удалось\n(%s)", arg(e).c_str()));
        return;
    }
    std::this_thread::sleep_for(kAdjustmentSettleTime);
    mb_link_t* l = g.link.load();
    const error_value_t e = l ? l->read_param(g.params.adjustment_mode_owner) : comport_error(kComNotOpen);
    if (e) {
        g.error_message(kErrorShowMs, text::format(kMaxText, "Не удалось прочитать состояние режима наладки\n(%s)",
                                                   arg(e).c_str()));
        return;
    }
    if (g.params.adjustment_mode_owner.read_equals(codes::kOwnerModbus)) {
        g.status_text(u"Режим наладки включен");
        g.clear_message();
    } else {
        g.status_text(u"Режим наладки не был включен\n");
    }
}

void RunCommand(G_t& g, const mb_param_t& p, uint16_t value, const ustring_t& title) {
    const std::string name = arg(title);
    g.status_text(text::format(kMaxText, "Отсылка команды \"%s\"...", name.c_str()));
    if (const error_value_t e = g.write_parameter(p, value)) {
        g.error_message(kErrorShowMs, text::format(kMaxText, "Команда \"%s\" не была отправлена\n(%s)", name.c_str(),
                                                   arg(e).c_str()));
        return;
    }
    g.clear_message();
    g.status_text(text::format(kMaxText, "Команда \"%s\" отправлена", name.c_str()));
}

}  // namespace procedures

// Every request is a single task on worker 1: a command and the adjustment-mode
// request ahead of it can then never be separated by a request of another
// thread, whichever thread makes the call.
void SetParamAndSave(const mb_param_t& p, uint64_t value) {
    G_t* g = &G_;
    g->post_to_worker1(make_task([g, &p, value] { (void)procedures::RunSetParamAndSave(*g, p, value); }));
}

void SendCommand(const mb_param_t& p, uint8_t value, std::optional<ustring_t> title) {
    G_t* g = &G_;
    ustring_t name = title ? *title : ustring_t();
    g->post_to_worker1(make_task([g, &p, value, name] {
        procedures::RunEnableAdjustmentMode(*g);
        procedures::RunCommand(*g, p, value, name);
    }));
}

void EnableAdjustmentMode() {
    G_t* g = &G_;
    g->post_to_worker1(make_task([g] { procedures::RunEnableAdjustmentMode(*g); }));
}

void SendPlainCommand(uint16_t value, std::optional<ustring_t> title) {
    G_t* g = &G_;
    ustring_t name = title ? *title : ustring_t();
    g->post_to_worker1(make_task([g, value, name] { procedures::RunCommand(*g, g->params.command, value, name); }));
}

void InstallAdjustmentModeProcedure() {
    G_.adjustment_mode_procedure = [] { procedures::RunEnableAdjustmentMode(G_); };
}
