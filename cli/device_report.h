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
