#include "model/concentration_poll.h"

#include "model/mb_link.h"
#include "model/params.h"

namespace luma {

poll_result_t poll_address(mb_link_t& link, uint8_t address) {
    ParamMap_t& p = link.params();
    poll_result_t r;
    r.address = address;
    p.gas_concentration.invalidate();
    p.sensor_temperature.invalidate();
    // One retry: a single lost frame on a long line should not paint the
    // address red.
    r.concentration_error = link.read_param(p.gas_concentration, address);
    if (r.concentration_error) r.concentration_error = link.read_param(p.gas_concentration, address);
    const param_snapshot_t c = p.gas_concentration.snapshot();
    r.concentration_read = !r.concentration_error && c.is_read();
    r.concentration = c.f32();
    if (!r.concentration_error) {
        r.temperature_error = link.read_param(p.sensor_temperature, address);
        const param_snapshot_t t = p.sensor_temperature.snapshot();
        r.temperature_read = !r.temperature_error && t.is_read();
        r.temperature = t.f32();
    } else {
        r.temperature_error = r.concentration_error;
    }
    return r;
}

ustring_t concentration_text(const poll_result_t& r) {
    if (r.concentration_read) return text::format(32, "%0.1lf", double(r.concentration));
    if (r.concentration_error) return ustring_t(r.concentration_error.message());
    return ustring_t();
}

ustring_t temperature_text(const poll_result_t& r) {
    if (r.temperature_read) return text::format(32, "%0.1lf°C", double(r.temperature));
    if (r.temperature_error) return ustring_t(r.temperature_error.message());
    return ustring_t();
}

}  // namespace luma
