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
void SetParamAndSave(const mb_param_t& p, uint64_t value);
// Queues the adjustment-mode request, then writes value into p. title names the
// command for the user; absent prints as an empty name.
void SendCommand(const mb_param_t& p, uint8_t value, std::optional<ustring_t> title);
// Queues the adjustment-mode request alone.
void EnableAdjustmentMode();
// The command of the main window: writes value into the command register
// without asking for adjustment mode first.
void SendPlainCommand(uint16_t value, std::optional<ustring_t> title);

// The worker-side bodies of the above, run on the calling thread (which must be
// a worker: they block on the line). Exposed for the tasks, for luma10ctl and
// for tests; RunSetParamAndSave returns the first failure, or success.
namespace procedures {
error_value_t RunSetParamAndSave(G_t& g, const mb_param_t& p, uint64_t value);
void RunEnableAdjustmentMode(G_t& g);
void RunCommand(G_t& g, const mb_param_t& p, uint16_t value, const ustring_t& title);
}  // namespace procedures

// Makes the application state's enable-adjustment-mode hand-over run the
// request above (start-up calls it once).
void InstallAdjustmentModeProcedure();
