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
