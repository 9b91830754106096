// luma10ctl journal trend --plot FILE.png: the downloaded trend drawn as the
// journals window draws its chart, written as a PNG. A build without the
// native drawing layer (LUMA_GUI off) has no charts and says so.
#pragma once

#include <string>

#include "foundation/containers.h"
#include "model/journal_records.h"

class mb_link_t;

namespace cli {

// Whether this build can draw charts.
bool plot_available();
// What a build without charts answers to --plot (exit code 2).
int plot_unavailable();
// Reads the four thresholds from the device (worker 2; a threshold that
// cannot be read is left out of the chart) and writes the chart of the
// records to path as a new PNG file. The exit code: 0, or 1 with the reason
// on standard error.
int plot_trend(mb_link_t& link, const Array_T<luma::item7_t>& records, const std::string& path);

}  // namespace cli
