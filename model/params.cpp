#include "model/params.h"

#include <cstring>
#include <thread>

void RegisterImage::store(uint16_t reg, const uint16_t* words, size_t count) {
    for (size_t i = 0; i < count && reg + i < kSize; ++i) set(static_cast<uint16_t>(reg + i), words[i]);
}

namespace {

inline uint32_t lo(uint16_t r) { return r & 0xFFu; }
inline uint32_t hi(uint16_t r) { return r >> 8; }
inline uint64_t bcd(uint32_t b) { return (b >> 4) * 10 + (b & 15); }

// Replaces the low `bytes` bytes of old_value with bits.
inline uint64_t merge_low(uint64_t old_value, uint64_t bits, int bytes) {
    const uint64_t mask = (uint64_t(1) << (8 * bytes)) - 1;
    return (old_value & ~mask) | (bits & mask);
}

// The 32 bits of codes 4..7 (and of the floats 8..11 built the same way).
uint32_t bits32(int32_t code, uint16_t r0, uint16_t r1) {
    switch (code) {
        case kTypeU32HiLo: return (uint32_t(r0) << 16) | r1;
        case kTypeU32LoHi: return (uint32_t(r1) << 16) | r0;
        case kTypeU32Bytes01: return (lo(r0) << 24) | (hi(r0) << 16) | (lo(r1) << 8) | hi(r1);
        default: return (lo(r1) << 24) | (hi(r1) << 16) | (lo(r0) << 8) | hi(r0);
    }
}

}  // namespace

uint64_t decode_param_value(int32_t type, uint16_t r0, uint16_t r1, uint16_t r2, uint64_t old_value) {
    switch (type) {
        case kTypeU8Lo: return merge_low(old_value, lo(r0), 1);
        case kTypeU8Hi: return merge_low(old_value, hi(r0), 1);
        case kTypeU16: return merge_low(old_value, r0, 2);
        case kTypeU16Swapped: return merge_low(old_value, (lo(r0) << 8) | hi(r0), 2);
        case kTypeU32HiLo:
        case kTypeU32LoHi:
        case kTypeU32Bytes01:
        case kTypeU32Bytes10: return merge_low(old_value, bits32(type, r0, r1), 4);
        case kTypeF32HiLo:
        case kTypeF32LoHi:
        case kTypeF32Bytes01:
        case kTypeF32Bytes10: return merge_low(old_value, bits32(type - 4, r0, r1), 4);
        case kTypeDateBcd: {
            const uint64_t b = bcd(lo(r0)) | bcd(hi(r0)) << 8 | bcd(lo(r1)) << 16 | bcd(hi(r1)) << 24 |
                               bcd(lo(r2)) << 32 | bcd(hi(r2)) << 40;
            return merge_low(old_value, b, 6);
        }
        default: return old_value;
    }
}

float param_snapshot_t::f32() const {
    const uint32_t bits = u32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

mb_param_t::mb_param_t(ParamList_t& list, const char16_t* key, const char16_t* title, uint16_t reg, uint16_t count)
    : key_(key ? key : u""), title_(title ? title : u""), reg_(reg), count_(count), list_(&list) {
    for (mb_param_t* p : list)
        if (p == this) return;
    list.append(this);
}

mb_param_t::~mb_param_t() {
    for (size_t i = 0; i < list_->count(); ++i)
        if ((*list_)[i] == this) {
            list_->remove_at(i);
            break;
        }
}

uint32_t mb_param_t::begin_write() {
    uint32_t s = seq_.load(std::memory_order_relaxed);
    for (;;) {
        if (s & 1u) {
            // Another worker is writing this descriptor: wait for it.
            std::this_thread::yield();
            s = seq_.load(std::memory_order_relaxed);
            continue;
        }
        if (seq_.compare_exchange_weak(s, s + 1, std::memory_order_acquire, std::memory_order_relaxed)) break;
    }
    return s + 1;
}

void mb_param_t::end_write(uint32_t seq) { seq_.store(seq + 1, std::memory_order_release); }

// Value and time are stored with release order: a reader that sees either of
// them also sees the odd counter stored before, and retries.
void mb_param_t::publish(uint64_t value, int64_t time) {
    const uint32_t s = begin_write();
    value_.store(value, std::memory_order_release);
    time_.store(time, std::memory_order_release);
    end_write(s);
}

void mb_param_t::update_from(const RegisterImage& image, int64_t now) {
    const uint16_t r0 = image.get(reg_);
    const uint16_t r1 = count_ > 1 ? image.get(static_cast<uint16_t>(reg_ + 1)) : 0;
    const uint16_t r2 = count_ > 2 ? image.get(static_cast<uint16_t>(reg_ + 2)) : 0;
    const uint32_t s = begin_write();
    // Bytes the type does not cover keep the previous value's bytes.
    value_.store(decode_param_value(type(), r0, r1, r2, value_.load(std::memory_order_relaxed)),
                 std::memory_order_release);
    time_.store(now, std::memory_order_release);
    end_write(s);
}

void mb_param_t::invalidate() {
    const uint32_t s = begin_write();
    time_.store(0, std::memory_order_release);
    end_write(s);
}

param_snapshot_t mb_param_t::snapshot() const {
    param_snapshot_t snap;
    for (;;) {
        const uint32_t s1 = seq_.load(std::memory_order_acquire);
        if (s1 & 1u) {
            std::this_thread::yield();
            continue;
        }
        // Acquire loads keep the second counter load after them.
        snap.value = value_.load(std::memory_order_acquire);
        snap.time = time_.load(std::memory_order_acquire);
        if (seq_.load(std::memory_order_relaxed) == s1) return snap;
    }
}

bool mb_param_t::read_equals(uint16_t x) const {
    const param_snapshot_t snap = snapshot();
    return snap.is_read() && snap.u16() == x;
}

#define LUMA_U16_(s) u##s
#define LUMA_U16(s) LUMA_U16_(s)
#define LUMA_INIT_PARAM(name, keyed, title, reg, count, type) name(params, keyed ? LUMA_U16(#name) : u"", title, reg, count),

ParamMap_t::ParamMap_t() : LUMA_DEVICE_PARAMS(LUMA_INIT_PARAM) topic_config{1000, 38} {
#define LUMA_TYPE_PARAM(name, keyed, title, reg, count, type) name.set_type(type);
    LUMA_DEVICE_PARAMS(LUMA_TYPE_PARAM)
#undef LUMA_TYPE_PARAM
    topics.append(&topic_config);
    topics.append(&topic_identity);
    topics.append(&topic_state);
}

#undef LUMA_INIT_PARAM

ParamMap_t::~ParamMap_t() = default;

size_t ParamMap_t::update_block(uint32_t start, uint32_t count, int64_t now) {
    size_t n = 0;
    for (mb_param_t* p : params)
        if (p->inside(start, count)) {
            p->update_from(image, now);
            ++n;
        }
    return n;
}

size_t ParamMap_t::invalidate_all() {
    for (mb_param_t* p : params) p->invalidate();
    return params.count();
}

size_t ParamMap_t::store_block(uint16_t start, const uint16_t* words, size_t count, int64_t now) {
    image.store(start, words, count);
    return update_block(start, static_cast<uint32_t>(count), now);
}

mb_param_t* ParamMap_t::coeffs_gas(int n) {
    mb_param_t* const table[14] = {&coeffs_gas1, &coeffs_gas2,  &coeffs_gas3,  &coeffs_gas4,  &coeffs_gas5,
                                   &coeffs_gas6, &coeffs_gas7,  &coeffs_gas8,  &coeffs_gas9,  &coeffs_gas10,
                                   &coeffs_gas11, &coeffs_gas12, &coeffs_gas13, &coeffs_gas14};
    return n >= 1 && n <= 14 ? table[n - 1] : nullptr;
}
