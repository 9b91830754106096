#include "cli/device_report.h"

#include <cstdio>

#include "foundation/ustring.h"
#include "model/codes.h"

namespace cli {

namespace {

constexpr const char* kNotRead = "-";

void line(std::string& out, const char* caption, const std::string& value) {
    out += caption;
    out += ": ";
    out += value;
    out += '\n';
}

std::string number(const param_snapshot_t& s, uint32_t v) {
    return s.is_read() ? std::to_string(v) : kNotRead;
}

// Mask texts end each entry with a line break; indent them under their count.
void mask_lines(std::string& out, const char* caption, const param_snapshot_t& mask, bool errors) {
    if (!mask.is_read()) {
        line(out, caption, kNotRead);
        return;
    }
    line(out, caption, std::to_string(codes::SetBitCount(mask.u32())));
    const ustring_t texts = errors ? codes::ErrorListText(mask.u32()) : codes::WarningListText(mask.u32());
    std::string all = text::utf8(texts);
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find('\n', pos);
        if (end == std::string::npos) end = all.size();
        if (end > pos) out += "  " + all.substr(pos, end - pos) + "\n";
        pos = end + 1;
    }
}

}  // namespace

std::string DeviceReport(const ParamMap_t& m) {
    std::string out;
    const param_snapshot_t serial = m.factory_serial_id.snapshot();
    const param_snapshot_t fw = m.firmware_ver_major.snapshot();
    const param_snapshot_t type = m.device_type.snapshot();
    const param_snapshot_t sensor = m.sensor_type.snapshot();
    const param_snapshot_t mipex = m.mipex_type.snapshot();
    const param_snapshot_t gas = m.mipex_work_gas.snapshot();
    const param_snapshot_t conc = m.concentration.snapshot();
    const param_snapshot_t th1 = m.Threshold_Warn.snapshot();
    const param_snapshot_t th2 = m.Threshold_Alarm.snapshot();
    const param_snapshot_t owner = m.adjustment_mode_owner.snapshot();
    const param_snapshot_t wifi = m.wifi_enabled.snapshot();
    const param_snapshot_t channel = m.wifi_channel.snapshot();
    const param_snapshot_t address = m.ModbusSettings_Id.snapshot();
    const param_snapshot_t baud = m.ModbusSettings_Baud.snapshot();

    line(out, "Заводской номер", number(serial, serial.u32()));
    line(out, "Версия ПО",
         fw.is_read() ? text::utf8(text::format(32, "%u.%u", fw.u16() / 10u, fw.u16() % 10u)) : kNotRead);
    line(out, "Тип устройства", number(type, type.u16()));
    line(out, "Тип сенсора", number(sensor, sensor.u8()));
    line(out, "Тип MIPEX", number(mipex, mipex.u8()));
    std::string c = kNotRead;
    if (conc.is_read()) {
        c = text::utf8(text::format(64, "%0.1f", double(conc.f32())));
        if (sensor.is_read() && mipex.is_read() && gas.is_read()) {
            const std::string unit = text::utf8(codes::UnitText(mipex.u8(), sensor.u8(), gas.u16()));
            if (!unit.empty()) c += " " + unit;
        }
    }
    line(out, "Концентрация", c);
    line(out, "Порог 1", number(th1, th1.u16()));
    line(out, "Порог 2", number(th2, th2.u16()));
    mask_lines(out, "Аварии", m.alarms_mask.snapshot(), true);
    mask_lines(out, "Предупреждения", m.warnings_mask.snapshot(), false);
    line(out, "Режим наладки",
         owner.is_read() ? std::to_string(owner.u16()) + " (" +
                               text::to_utf8(codes::AdjustmentModeState(owner.u16())) + ")"
                         : kNotRead);
    std::string w = kNotRead;
    if (wifi.is_read()) {
        w = wifi.u16() ? "включён" : "выключен";
        if (channel.is_read()) w += ", канал " + std::to_string(channel.u16());
    }
    line(out, "WiFi", w);
    line(out, "Адрес Modbus", number(address, address.u16()));
    line(out, "Скорость Modbus", baud.is_read() ? text::utf8(codes::SpeedCodeText(baud.u16())) : kNotRead);
    return out;
}

}  // namespace cli

#include "cli/command.h"
#include "cli/connection.h"
#include "cli/device_session.h"
#include "model/mb_link.h"
#include "platform/thread.h"

namespace cli {

int ShowDeviceLink(Context& ctx) {
    DeviceSession s;
    if (!s.open(ctx)) return 1;
    ParamMap_t& p = G_.params;
    for (mb_param_t* param : {&p.ModbusSettings_Id, &p.ModbusSettings_Baud, &p.wifi_enabled, &p.wifi_channel,
                              &p.Hart_Id})
        if (const error_value_t e = s.run([&] { return s.link().read_param(*param); })) return report(e);
    const uint16_t baud = p.ModbusSettings_Baud.snapshot().u16();
    std::printf("address=%u\n", unsigned(p.ModbusSettings_Id.snapshot().u16()));
    std::printf("speed=%s\n", text::utf8(codes::SpeedCodeText(baud)).c_str());
    std::printf("wifi=%s\n", p.wifi_enabled.snapshot().u16() ? "on" : "off");
    std::printf("wifi-channel=%u\n", unsigned(p.wifi_channel.snapshot().u16()));
    std::printf("hart=%u\n", unsigned(p.Hart_Id.snapshot().u16()));
    return 0;
}

bool OpenDevice(Context& ctx, mb_link_t& link) {
    link.set_device_path(ctx.device_path);
    ustring_t text;
    if (link.apply(ctx.settings, &text) || link.open(&text)) {
        // The link's port message starts with the operation's name on a line
        // of its own (for the message panel); the tool's form is
        // "<category>: <message>", as for every other failure.
        std::u16string_view message = text.view();
        if (const size_t end = message.find(u'\n'); end != message.npos) message.remove_prefix(end + 1);
        std::fprintf(stderr, "%s\n", text::utf8(ustring_t(message)).c_str());
        return false;
    }
    return true;
}

// A single failed cycle may be one reply lost to noise or late on a busy
// machine; the next cycle asks again.
constexpr uint32_t kFailedCyclesToGiveUp = 2;

CycleWait WaitForCycle(mb_link_t& link, uint64_t after, uint32_t limit_ms, bool (*stop)()) {
    constexpr uint32_t kStepMs = 20;
    for (uint32_t waited = 0; waited < limit_ms; waited += kStepMs) {
        if (link.completed_cycles() > after) return CycleWait::kCompleted;
        if (link.link_status() && link.failed_cycles_in_row() >= kFailedCyclesToGiveUp) return CycleWait::kCheckFailed;
        if (stop && stop()) return CycleWait::kStopped;
        plat::sleep_ms(kStepMs);
    }
    return CycleWait::kTimedOut;
}

}  // namespace cli
