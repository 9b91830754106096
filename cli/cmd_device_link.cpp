// luma10ctl device-link --address N | --speed BAUD | --wifi on|off |
// --wifi-channel N | --hart N: the device's own link settings, changed as the
// link settings window changes them. The speed and the address go through
// the window's change procedure, which switches this program's connection
// along with the device; every step's text is printed on stderr as the window
// shows it, and the command exits 1 when the device is lost.
#include <cstdio>

#include "cli/connection.h"
#include "cli/session.h"
#include "model/codes.h"
#include "procedures/settings_procedures.h"
#include "procedures/write_procedures.h"

namespace {

// Without an option: reads the device's own link settings afresh and prints
// them as key=value lines named as the command's options.
int show_device_link(cli::Context& ctx) {
    cli::Session s;
    if (!s.open(ctx)) return 1;
    ParamMap_t& p = G_.params;
    for (mb_param_t* param : {&p.ModbusSettings_Id, &p.ModbusSettings_Baud, &p.wifi_enabled, &p.wifi_channel,
                              &p.Hart_Id})
        if (const error_value_t e = s.run([&] { return s.link().read_param(*param); })) return cli::report(e);
    const uint16_t baud = p.ModbusSettings_Baud.snapshot().u16();
    std::printf("address=%u\n", unsigned(p.ModbusSettings_Id.snapshot().u16()));
    std::printf("speed=%s\n", text::utf8(codes::SpeedCodeText(baud)).c_str());
    std::printf("wifi=%s\n", p.wifi_enabled.snapshot().u16() ? "on" : "off");
    std::printf("wifi-channel=%u\n", unsigned(p.wifi_channel.snapshot().u16()));
    std::printf("hart=%u\n", unsigned(p.Hart_Id.snapshot().u16()));
    return 0;
}

int run_device_link(cli::Context& ctx) {
    // Without an option, as thresholds, clock and gas: the values in force.
    if (ctx.args.empty()) return show_device_link(ctx);
    const cli::Options& a = ctx.options;
    if (!a.positional.empty()) return cli::usage_error("device-link: лишний аргумент " + a.positional[0]);
    if (a.order.size() != 1)
        return cli::usage_error("device-link: одно из --address, --speed, --wifi, --wifi-channel, --hart");
    const std::string option = a.order[0];
    const std::string value = a.value(option);
    long n = 0;
    if (option == "--address" && !cli::parse_number(value, 1, 247, n))
        return cli::usage_error("device-link --address: допустимо 1..247");
    if (option == "--speed") {
        long baud;
        n = -1;
        if (cli::parse_number(value, 1, 1000000, baud))
            for (size_t i = 0; i < codes::kSpeedCount; ++i)
                if (codes::kSpeedTable[i] == unsigned(baud)) n = long(i);
        if (n < 0)
            return cli::usage_error(
                "device-link --speed: 1200, 2400, 4800, 9600, 19200, 38400, 57600 или 115200");
    }
    if (option == "--wifi" && value != "on" && value != "off")
        return cli::usage_error("device-link --wifi: on или off");
    if (option == "--wifi-channel" && !cli::parse_number(value, 1, 12, n))
        return cli::usage_error("device-link --wifi-channel: допустимо 1..12");
    if (option == "--hart" && !cli::parse_number(value, 0, 15, n))
        return cli::usage_error("device-link --hart: допустимо 0..15");

    cli::Session s;
    if (!s.open(ctx)) return 1;
    ParamMap_t& p = G_.params;
    error_value_t result;
    if (option == "--address" || option == "--speed") {
        s.ensure_adjustment_mode();
        mb_param_t& param = option == "--speed" ? p.ModbusSettings_Baud : p.ModbusSettings_Id;
        link_change_side_t side;
        side.on_window_thread = [&s](const std::function<void()>& fn) { s.call(fn); };
        const uint16_t v = uint16_t(n);
        result = s.run([&] { return procedures::RunLinkSettingChange(G_, param, v, v, side); });
    } else if (option == "--wifi") {
        const bool on = value == "on";
        result = s.run([&] {
            procedures::RunCommand(G_, G_.params.command, on ? codes::kCommandWifiOn : codes::kCommandWifiOff,
                                   ustring_t(on ? u"Включение WiFi" : u"Отключение WiFi"));
            return success();
        });
    } else {
        s.ensure_adjustment_mode();
        const mb_param_t& param = option == "--hart" ? p.Hart_Id : p.wifi_channel;
        const uint16_t v = uint16_t(n);
        result = s.run([&] { return procedures::RunSetParamAndSave(G_, param, v); });
    }
    return result || s.error_shown() ? 1 : 0;
}

// --address and --speed after the command name are the device's new values;
// before it they are the connection's, as for every command.
constexpr const char* kOwnOptions = "--address= --speed= --wifi= --wifi-channel= --hart=";

}  // namespace

LUMA_CLI_COMMAND_WITH_OPTIONS("device-link",
                 "device-link [--address АДРЕС | --speed БОД | --wifi on|off | --wifi-channel КАНАЛ | --hart "
                 "АДРЕС]  связь устройства (Modbus, WiFi, HART): показать или изменить",
                 run_device_link, kOwnOptions);
