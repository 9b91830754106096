// Whether two settings agree in every value the configuration file holds.
#pragma once

#include "foundation/app_config.h"

inline bool same(const AppSettings_t& a, const AppSettings_t& b) {
    const auto &p = a.connection.port_settings, &q = b.connection.port_settings;
    return p.speed == q.speed && p.before_send_delay == q.before_send_delay && p.port == q.port &&
           p.parity == q.parity && p.stop_bits == q.stop_bits && p.permanent_echo == q.permanent_echo &&
           a.connection.timeout == b.connection.timeout && a.connection.block_id == b.connection.block_id &&
           a.balloon_strength == b.balloon_strength;
}
