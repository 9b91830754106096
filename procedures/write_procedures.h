// The device-changing procedures of the windows: write one parameter and have
// the device store its settings, send a command after asking for adjustment
// mode, and the adjustment-mode request itself. Each call only queues a task
// on worker 1 and returns; the task reports every step through the status line
// and the message panel (posted to the window thread).
//
// Threads: every function here may be called from any thread, the window
// thread or a worker task alike. Nothing touches a control; the order of
// requests is the order of the calls, because worker 1 runs its queue in order
// and each request is one task.
#pragma once

#include <cstdint>
#include <optional>

#include "foundation/error.h"
#include "foundation/ustring.h"
#include "model/params.h"

class G_t;

// The register words of a 32-bit float, lowest word first, as write_param takes them.
uint64_t ParamValueFromFloat(float v);

// Writes value (register words, lowest first) into p, then the save-settings
// command.
void SetParamAndSave(G_t& g, const mb_param_t& p, uint64_t value);
// Queues the adjustment-mode request, then writes value into p. title names the
// command for the user; absent prints as an empty name.
void SendCommand(G_t& g, const mb_param_t& p, uint8_t value, std::optional<ustring_t> title);
// Queues the adjustment-mode request alone.
void EnableAdjustmentMode(G_t& g);
// The command of the main window: writes value into the command register
// without asking for adjustment mode first.
void SendPlainCommand(G_t& g, uint16_t value, std::optional<ustring_t> title);

// What a failed write means for the device. An exception reply is the
// device's own refusal: nothing was done. A request that never left (no port,
// a request the master refuses to build) did nothing either. Anything else —
// no reply, a garbled or corrupted reply — leaves it unknown whether the
// device carried the write out, and only a later read can tell.
enum class write_outcome_t { refused, not_sent, unknown };
write_outcome_t FailedWriteOutcome(const error_value_t& e);
// The failure sentences of a parameter write and of a command, by outcome:
// "Параметр "T" не был установлен\n(E)" and "Команда "T" не была отправлена\n(E)"
// when nothing was done, "Не известно, был ли параметр установлен "T"\n(E)" and
// "Не известно, была ли выполнена команда "T"\n(E)" when it is unknown.
ustring_t ParamWriteFailureText(const ustring_t& title, const error_value_t& e);
ustring_t CommandFailureText(const ustring_t& title, const error_value_t& e);
// The failure sentence of the save command after the write of parameter T
// went through: "Параметр "T" установлен, но настройки не сохранены\n(E)" when
// the device refused it or it never left, "Параметр "T" установлен, но не
// известно, сохранены ли настройки\n(E)" when its reply was lost.
ustring_t SaveFailureText(const ustring_t& title, const error_value_t& e);

// The worker-side bodies of the above, run on the calling thread (which must be
// a worker: they block on the line). Exposed for the tasks, for luma10ctl and
// for tests; RunSetParamAndSave and RunCommand return the first failure, or
// success.
namespace procedures {
error_value_t RunSetParamAndSave(G_t& g, const mb_param_t& p, uint64_t value);
void RunEnableAdjustmentMode(G_t& g);
error_value_t RunCommand(G_t& g, const mb_param_t& p, uint16_t value, const ustring_t& title);

// Gives adjustment mode back (command 21) when this program took it from the
// detector now connected and the detector still grants it to this link, so
// that closing the port leaves the detector as it was found. Says so on the
// status line, or shows the failure. True when the command went out and the
// device took it.
bool RunReleaseAdjustmentMode(G_t& g);
}  // namespace procedures

// Runs RunReleaseAdjustmentMode on worker 1 of the link and waits for it, at
// most until the time a read and a write may take has passed; returns at once
// when there is nothing to give back. For the closing of the port on the
// window thread (or a thread that plays it); never from worker 1.
void ReleaseAdjustmentModeBeforeClose(G_t& g);

