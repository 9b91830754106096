// The basic commands: list the serial ports, read and write holding registers.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "cli/connection.h"
#include "link/errors.h"
#include "link/modbus.h"
#include "model/app_state.h"
#include "model/codes.h"

namespace {

// Longest blocks one frame carries.
constexpr long kMaxRead = mb::kMaxReadRegisters;
constexpr long kMaxWrite = mb::kMaxWriteRegisters;

int cmd_ports(cli::Context& ctx) {
    if (!ctx.args.empty()) return cli::usage_error("ports не принимает аргументов");
    com_port_t::enumerate_ports([](unsigned n, const std::string& path) {
        std::printf("COM%u %s\n", n, path.c_str());
    });
    return 0;
}

int cmd_read(cli::Context& ctx) {
    long start, count;
    if (ctx.args.size() != 2 || !cli::parse_number(ctx.args[0], 0, 65535, start) ||
        !cli::parse_number(ctx.args[1], 1, kMaxRead, count))
        return cli::usage_error("read НАЧАЛО КОЛИЧЕСТВО: НАЧАЛО 0..65535, КОЛИЧЕСТВО 1..125");
    if (start + count > 65536) return cli::usage_error("read: блок выходит за регистр 65535");
    cli::Connection link;
    if (error_value_t err = link.open(ctx)) return cli::report(err, link.open_failure_reason());
    uint16_t values[kMaxRead];
    if (error_value_t err = link.read_registers(uint16_t(start), uint16_t(count), values)) return cli::report(err);
    for (long i = 0; i < count; ++i) std::printf("%ld %u\n", start + i, unsigned(values[i]));
    return 0;
}

int cmd_write(cli::Context& ctx) {
    long start;
    size_t count = ctx.args.size() < 1 ? 0 : ctx.args.size() - 1;
    if (count < 1 || count > size_t(kMaxWrite) || !cli::parse_number(ctx.args[0], 0, 65535, start))
        return cli::usage_error("write НАЧАЛО ЗНАЧЕНИЕ...: НАЧАЛО 0..65535, от 1 до 123 значений 0..65535");
    if (start + long(count) > 65536) return cli::usage_error("write: блок выходит за регистр 65535");
    uint16_t values[kMaxWrite];
    for (size_t i = 0; i < count; ++i) {
        long v;
        if (!cli::parse_number(ctx.args[i + 1], 0, 65535, v))
            return cli::usage_error("write: недопустимое значение " + ctx.args[i + 1]);
        values[i] = uint16_t(v);
    }
    cli::Connection link;
    if (error_value_t err = link.open(ctx)) return cli::report(err, link.open_failure_reason());
    if (error_value_t err = link.write_registers(uint16_t(start), uint16_t(count), values)) {
        cli::report(err);
        // The detector refuses settings with "illegal function" while this
        // master does not hold its adjustment mode.
        if (err == mb_error(1))
            std::fprintf(stderr, "Подсказка: настройки записываются только в режиме наладки; включите его "
                                 "командой %u: luma10ctl write %u %u\n", unsigned(codes::kCommandEnterAdjustment),
                         unsigned(G_.params.command.reg()), unsigned(codes::kCommandEnterAdjustment));
        return 1;
    }
    return 0;
}

}  // namespace

LUMA_CLI_COMMAND("ports", "ports                        список COM-портов", cmd_ports);
LUMA_CLI_COMMAND("read", "read НАЧАЛО КОЛИЧЕСТВО       чтение регистров (функция 3)", cmd_read);
LUMA_CLI_COMMAND("write", "write НАЧАЛО ЗНАЧЕНИЕ...     запись регистров (функция 16)", cmd_write);
