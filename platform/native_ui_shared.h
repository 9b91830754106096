// What both native UI layers share beneath their system calls: who holds the
// layer, and the pixel rules of their 0xAARRGGBB surfaces (straight, not
// premultiplied, alpha).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace plat::ui {

// The holders of the layer: the first Acquire starts it, the last Release
// stops it; a start that fails leaves it unheld.
class Holders {
public:
    template <typename Start>
    bool acquire(Start start) {
        std::lock_guard<std::mutex> g(m_);
        if (count_ > 0) return ++count_, true;
        if (!start()) return false;
        count_ = 1;
        return true;
    }
    template <typename Stop>
    void release(Stop stop) {
        std::lock_guard<std::mutex> g(m_);
        if (count_ == 0 || --count_ > 0) return;
        stop();
    }
    bool held() const {
        std::lock_guard<std::mutex> g(m_);
        return count_ > 0;
    }

private:
    mutable std::mutex m_;
    int count_ = 0;
};

namespace pixels {

// Magenta is the transparent colour of the pictures: it turns fully
// transparent, every other pixel opaque. True when some pixel was magenta.
inline bool apply_colour_key(uint32_t* px, size_t n) {
    bool keyed = false;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t rgb = px[i] & 0xFFFFFF;
        if (rgb == 0xFF00FF) {
            px[i] = 0;
            keyed = true;
        } else {
            px[i] = rgb | 0xFF000000;
        }
    }
    return keyed;
}

// Source over destination.
inline uint32_t over(uint32_t s, uint32_t d) {
    const uint32_t a = s >> 24;
    if (a == 255) return s;
    if (a == 0) return d;
    uint32_t out = 0;
    for (int sh = 0; sh < 24; sh += 8) {
        const uint32_t c0 = (d >> sh) & 255, c1 = (s >> sh) & 255;
        out |= ((c1 * a + c0 * (255 - a)) / 255) << sh;
    }
    const uint32_t da = d >> 24;
    return out | ((a + da * (255 - a) / 255) << 24);
}

}  // namespace pixels
}  // namespace plat::ui
