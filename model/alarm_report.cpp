#include "model/alarm_report.h"

#include "model/codes.h"
#include "model/params.h"

namespace luma {

alarm_report_t alarm_report(const ParamMap_t& p, bool connected) {
    const param_snapshot_t am = p.alarms_mask.snapshot();
    const param_snapshot_t wm = p.warnings_mask.snapshot();
    alarm_report_t r;
    r.alarm_count = connected && am.is_read() ? codes::SetBitCount(am.u32()) : 0;
    r.warning_count = connected && wm.is_read() ? codes::SetBitCount(wm.u32()) : 0;
    r.alarms_title = text::format(64, "Аварии (%u)", r.alarm_count);
    r.warnings_title = text::format(64, "Предупреждения (%u)", r.warning_count);
    if (am.is_read()) r.alarms = codes::ErrorListText(am.u32());
    if (wm.is_read()) r.warnings = codes::WarningListText(wm.u32());
    return r;
}

}  // namespace luma
