// The device summary printed by luma10ctl info and watch, built from the
// parameter map after a poll cycle. Values not read show as "-".
#pragma once

#include <string>

#include <cstdint>

#include "model/params.h"

namespace cli {

// UTF-8 lines, each ending with a line break.
std::string DeviceReport(const ParamMap_t& m);

}  // namespace cli

class mb_link_t;

namespace cli {

struct Context;

// luma10ctl device-link without options: reads the device's own link
// settings afresh through the settings commands' session and prints them as
// key=value lines named as device-link's options (address, speed, wifi,
// wifi-channel, hart). Returns the exit code.
int ShowDeviceLink(Context& ctx);

// Applies the context's connection settings to link and opens the port.
// False (with the reason on stderr) when the port cannot be set up or opened.
bool OpenDevice(Context& ctx, mb_link_t& link);

// Waits until the link has completed a poll cycle beyond `after`: true then.
// False when two cycles in a row failed (status holds why: one lost or late
// reply is ridden over, as the poll cycle checks again) or no cycle
// completed in time; gives up early when stop() answers true.
enum class CycleWait { kCompleted, kCheckFailed, kTimedOut, kStopped };
CycleWait WaitForCycle(mb_link_t& link, uint64_t after, uint32_t limit_ms, bool (*stop)());

}  // namespace cli
