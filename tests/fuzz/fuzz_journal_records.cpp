// Journal records decoded from arbitrary register contents, exactly as a
// download builds them from the device's record block, then turned into the
// screen text and both export forms.
//
// Input: a journal selector, then the block's registers, two bytes each (high
// byte first, as on the wire).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/containers.h"
#include "model/journal_download.h"
#include "model/journal_export.h"
#include "model/journal_records.h"
#include "model/params.h"

using namespace luma;

namespace {

ParamMap_t& params() {
    static ParamMap_t* p = new ParamMap_t;  // lives until exit, like the program's own
    return *p;
}

void check_export(const std::string& bytes) {
    if (bytes.size() < 3 || std::memcmp(bytes.data(), "\xEF\xBB\xBF", 3) != 0) std::abort();
    // Line feeds stay single bytes: no carriage return may appear.
    if (bytes.find('\r') != std::string::npos) std::abort();
}

template <typename Item>
void decode_and_export(const ParamMap_t& p) {
    const Item r = selected_record<Item>(p);
    (void)record_text(r);
    Array_T<Item> list;
    list.append(r);
    list.append(r);
    check_export(export_bytes(list, export_format::csv, "C"));
    check_export(export_bytes(list, export_format::text, "C"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    ParamMap_t& p = params();
    struct Block {
        const mb_param_t& first;
        const mb_param_t& last;
    };
    const Block blocks[] = {
        {p.threshold1_log_count, p.threshold1_log_concentration},
        {p.threshold2_log_count, p.threshold2_log_concentration},
        {p.alarm_log_count, p.alarm_log_code},
        {p.setup_log_count, p.setup_log_quadratic_exposure},
        {p.config_log_count, p.config_log_code},
        {p.counter_threshold1, p.counter_quadratic_exposure},
        {p.trend_count, p.trend_temperature},
    };
    const int kind = data[0] % 7;
    const Block& b = blocks[kind];
    const uint16_t start = b.first.reg();
    const size_t count = size_t(b.last.reg() + b.last.count() - start);
    std::vector<uint16_t> words(count, 0);
    for (size_t i = 0; i < count && 2 * i + 2 < size; ++i) words[i] = uint16_t(data[1 + 2 * i] << 8 | data[2 + 2 * i]);
    p.store_block(start, words.data(), words.size(), 1);

    switch (journal_kind(kind)) {
    case journal_kind::threshold1: decode_and_export<item1_t>(p); break;
    case journal_kind::threshold2: decode_and_export<item2_t>(p); break;
    case journal_kind::alarms: decode_and_export<item3_t>(p); break;
    case journal_kind::setup: decode_and_export<item4_t>(p); break;
    case journal_kind::config: decode_and_export<item6_t>(p); break;
    case journal_kind::counters: {
        const counters_t c = counters_from_params(p);
        (void)counters_text(c);
        check_export(export_bytes(c, export_format::csv, "C"));
        check_export(export_bytes(c, export_format::text, "C"));
        break;
    }
    default: decode_and_export<item7_t>(p); break;
    }
    return 0;
}
