#include "model/params.h"
#include "foundation/ustring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

namespace {

TEST(ParamDecode, IntegerCodes) {
    EXPECT_EQ(decode_param_value(kTypeU8Lo, 0x1234, 0, 0, 0), 0x34u);
    EXPECT_EQ(decode_param_value(kTypeU8Hi, 0x1234, 0, 0, 0), 0x12u);
    EXPECT_EQ(decode_param_value(kTypeU16, 0x1234, 0, 0, 0), 0x1234u);
    EXPECT_EQ(decode_param_value(kTypeU16Swapped, 0x1234, 0, 0, 0), 0x3412u);
    EXPECT_EQ(decode_param_value(kTypeU32HiLo, 0x0001, 0x0002, 0, 0), 65538u);
    EXPECT_EQ(decode_param_value(kTypeU32LoHi, 0x0001, 0x0002, 0, 0), 131073u);
    EXPECT_EQ(decode_param_value(kTypeU32Bytes01, 0x1234, 0x5678, 0, 0), 0x34127856u);
    EXPECT_EQ(decode_param_value(kTypeU32Bytes10, 0x1234, 0x5678, 0, 0), 0x78563412u);
}

TEST(ParamDecode, NarrowCodesKeepTheUpperBytesAndUnknownCodesKeepAll) {
    const uint64_t old = 0xAABBCCDDEEFF0011ull;
    EXPECT_EQ(decode_param_value(kTypeU8Lo, 0x1234, 0, 0, old), 0xAABBCCDDEEFF0034ull);
    EXPECT_EQ(decode_param_value(kTypeU16, 0x1234, 0, 0, old), 0xAABBCCDDEEFF1234ull);
    EXPECT_EQ(decode_param_value(kTypeU32LoHi, 1, 2, 0, old), 0xAABBCCDD00020001ull);
    EXPECT_EQ(decode_param_value(13, 1, 2, 3, old), old);
    EXPECT_EQ(decode_param_value(-1, 1, 2, 3, old), old);
}

TEST(ParamDecode, FloatsUseTheSameWordOrders) {
    float f = 12.5f;
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    const uint16_t h = bits >> 16, l = bits & 0xFFFF;
    param_snapshot_t s;
    s.value = decode_param_value(kTypeF32HiLo, h, l, 0, 0);
    EXPECT_FLOAT_EQ(s.f32(), 12.5f);
    s.value = decode_param_value(kTypeF32LoHi, l, h, 0, 0);
    EXPECT_FLOAT_EQ(s.f32(), 12.5f);
    auto swap = [](uint16_t w) { return uint16_t((w << 8) | (w >> 8)); };
    s.value = decode_param_value(kTypeF32Bytes01, swap(h), swap(l), 0, 0);
    EXPECT_FLOAT_EQ(s.f32(), 12.5f);
    s.value = decode_param_value(kTypeF32Bytes10, swap(l), swap(h), 0, 0);
    EXPECT_FLOAT_EQ(s.f32(), 12.5f);
}

TEST(ParamDecode, PackedBcdDate) {
    param_snapshot_t s;
    s.value = decode_param_value(kTypeDateBcd, 0x0326, 0x1512, 0x5930, 0);
    EXPECT_EQ(s.byte(0), 26);  // year - 2000
    EXPECT_EQ(s.byte(1), 3);
    EXPECT_EQ(s.byte(2), 12);
    EXPECT_EQ(s.byte(3), 15);
    EXPECT_EQ(s.byte(4), 30);
    EXPECT_EQ(s.byte(5), 59);
}

TEST(ParamMap, DescriptorsRegisterInOrderWithKeysTitlesAndTypes) {
    ParamMap_t m;
    ASSERT_EQ(m.params.count(), 121u);
    EXPECT_EQ(m.params[0], &m.gas_concentration);
    EXPECT_EQ(m.params[2], &m.date_bcd);
    EXPECT_EQ(m.params[m.params.count() - 1], &m.wifi_enabled);
    EXPECT_EQ(text::utf8(ustring_t(m.date_bcd.title())), text::utf8(ustring_t(u"Дата и время")));
    EXPECT_EQ(text::utf8(ustring_t(m.factory_serial_id.key())), text::utf8(ustring_t(u"factory_serial_id")));
    EXPECT_EQ(text::utf8(ustring_t(m.coeffs_gas14.key())), text::utf8(ustring_t(u"coeffs_gas14")));
    EXPECT_EQ(text::utf8(ustring_t(m.coeffs_gas(14)->title())), text::utf8(ustring_t(u"Коэффициент коррекции оксида")));
    EXPECT_EQ(text::utf8(ustring_t(m.concentration.key())), text::utf8(ustring_t(u"")));
    EXPECT_EQ(m.factory_serial_id.type(), kTypeU32LoHi);
    EXPECT_EQ(m.sensor_type.type(), kTypeU8Lo);
    EXPECT_EQ(m.concentration.type(), kTypeF32LoHi);
    EXPECT_EQ(m.param_5047.reg(), 5047);
    EXPECT_FALSE(m.device_type.is_read());

    ASSERT_EQ(m.topics.count(), 3u);
    EXPECT_EQ(m.topics[0]->start, 1000);
    EXPECT_EQ(m.topics[0]->count, 38);
    EXPECT_EQ(m.topics[1]->start, 1151);
    EXPECT_EQ(m.topics[2]->start, 50180);
    EXPECT_EQ(m.topics[2]->count, 102);
}

TEST(ParamMap, DestructionUnregistersAndRegistrationIsOncePerPointer) {
    ParamList_t list;
    auto a = std::make_unique<mb_param_t>(list, u"a", u"", 1, 1);
    mb_param_t b(list, u"b", u"", 2, 1);
    mb_param_t c(list, u"c", u"", 3, 1);
    a.reset();
    ASSERT_EQ(list.count(), 2u);
    EXPECT_EQ(list[0], &b);
    EXPECT_EQ(list[1], &c);
}

TEST(ParamMap, BlockUpdateTouchesOnlyDescriptorsWhollyInside) {
    ParamMap_t m;
    for (uint32_t r = 50180; r <= 50281; ++r) m.image.set(uint16_t(r), uint16_t(r));
    m.image.set(3005, 7);
    EXPECT_GT(m.update_block(50180, 102, 42), 0u);
    EXPECT_EQ(m.dac_test_enabled.time(), 42);
    EXPECT_EQ(m.wifi_enabled.time(), 42);
    EXPECT_EQ(m.date_bcd.time(), 42);
    EXPECT_EQ(m.wifi_enabled.snapshot().u16(), 50281);
    EXPECT_FALSE(m.mipex_calibration_point.is_read());

    // Identity block: every identity parameter, but not cfg_file_ver (1037).
    m.update_block(1151, 14, 43);
    for (mb_param_t* p : {&m.device_type, &m.factory_serial_id, &m.factory_date, &m.firmware_ver_major,
                          &m.firmware_ver_build, &m.sensor_type, &m.mipex_type, &m.sensor_guid1,
                          &m.sensor_guid2, &m.sensor_guid3})
        EXPECT_EQ(p->time(), 43) << text::utf8(ustring_t(p->key()));
    EXPECT_FALSE(m.cfg_file_ver.is_read());

    // Overlap only: a block ending inside factory_serial_id leaves it alone.
    m.invalidate_all();
    m.update_block(1151, 2, 44);
    EXPECT_EQ(m.device_type.time(), 44);
    EXPECT_FALSE(m.factory_serial_id.is_read());
}

TEST(ParamMap, InvalidateKeepsValueAndReadEqualsNeedsATimeStamp) {
    ParamMap_t m;
    const uint16_t words[] = {0x1234, 2};
    m.store_block(50276, words, 1, 5);
    EXPECT_TRUE(m.adjustment_mode_owner.read_equals(0x1234));
    EXPECT_FALSE(m.adjustment_mode_owner.read_equals(2));
    EXPECT_EQ(m.invalidate_all(), m.params.count());
    EXPECT_FALSE(m.adjustment_mode_owner.read_equals(0x1234));
    EXPECT_EQ(m.adjustment_mode_owner.snapshot().u16(), 0x1234);
}

// A worker publishes (value, time) pairs whose halves are derived from one
// counter; the reader must never see a mixed pair or a torn value.
TEST(ParamPublication, ReaderNeverSeesTornOrMismatchedPairs) {
    ParamList_t list;
    mb_param_t p(list, u"", u"", 0, 2);
    std::atomic<bool> stop{false};
    auto pattern = [](uint64_t n) { return (n << 32) | (~n & 0xFFFFFFFFull); };
    auto writer = [&](uint64_t first) {
        for (uint64_t n = first; !stop.load(std::memory_order_relaxed); n += 2) p.publish(pattern(n), int64_t(n));
    };
    std::thread w1(writer, 1), w2(writer, 2);
    uint64_t bad = 0, changes = 0;
    int64_t last = 0;
    // Reads until the writers have moved the value many times, or for ten
    // seconds on a busy machine.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (long i = 0; changes < 20000 && ((i & 1023) != 0 || std::chrono::steady_clock::now() < end); ++i) {
        const param_snapshot_t s = p.snapshot();
        if (s.time == last) continue;
        last = s.time;
        ++changes;
        if (s.value != pattern(uint64_t(s.time))) ++bad;
    }
    stop = true;
    w1.join();
    w2.join();
    EXPECT_EQ(bad, 0u);
    EXPECT_GT(changes, 100u);
}

}  // namespace
