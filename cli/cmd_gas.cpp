// luma10ctl gas [NAME|INDEX] [--coefficient INDEX VALUE]: prints the working
// gas and the correction coefficients; chooses a gas (refused, as in the gas
// window, while its coefficient is absent); or writes one coefficient.
#include <cmath>
#include <cstdio>

#include "cli/connection.h"
#include "cli/session.h"
#include "model/codes.h"
#include "procedures/settings_procedures.h"
#include "procedures/write_procedures.h"

namespace {

// Index of a gas by its number or its name as the gas list shows it, in
// capitals or small letters alike ("пропан" finds "Пропан").
bool gas_index(const std::string& t, long& out) {
    if (cli::parse_number(t, 0, long(codes::kGasCount) - 1, out)) return true;
    const ustring_t wanted = text::to_lower(text::u16(t));
    for (size_t i = 0; i < codes::kGasCount; ++i)
        if (wanted == text::to_lower(ustring_t(codes::GasTableB(i).name))) {
            out = long(i);
            return true;
        }
    return false;
}

bool parse_coefficient(const std::string& t, double& v) { return cli::parse_decimal(t, v) && ValidCoefficient(v); }

void print_gases() {
    ParamMap_t& p = G_.params;
    const unsigned gas = p.mipex_work_gas.snapshot().u16();
    std::printf("gas=%u %s\n", gas, text::utf8(codes::GasNameText(gas)).c_str());
    std::printf("0 %s 1.000\n", text::to_utf8(codes::GasTableB(0).name).c_str());
    for (size_t i = 1; i < codes::kGasCount; ++i) {
        const std::string name = text::to_utf8(codes::GasTableB(i).name);
        const float c = p.coeffs_gas(int(i))->snapshot().f32();
        if (GasCoefficientPresent(p, i)) std::printf("%zu %s %.3f\n", i, name.c_str(), double(c));
        else std::printf("%zu %s %.3f (нет калибровки)\n", i, name.c_str(), double(c));
    }
}

int run_gas(cli::Context& ctx) {
    // --coefficient takes two values: its index here, its value positional.
    const cli::Options& a = ctx.options;
    long index = -1, coefficient_index = -1;
    double coefficient = 0;
    if (a.has("--coefficient")) {
        if (a.positional.size() != 1 || !cli::parse_number(a.value("--coefficient"), 1, 14, coefficient_index) ||
            !parse_coefficient(a.positional[0], coefficient))
            return cli::usage_error("gas --coefficient НОМЕР ЗНАЧЕНИЕ: НОМЕР 1..14, ЗНАЧЕНИЕ десятичное число от 0");
    } else if (a.positional.size() > 1) {
        return cli::usage_error("gas: один газ, имя или номер 0..14");
    } else if (a.positional.size() == 1 && !gas_index(a.positional[0], index)) {
        return cli::usage_error("gas: неизвестный газ " + a.positional[0] + " (имя или номер 0..14)");
    }

    cli::Session s;
    if (!s.open(ctx)) return 1;
    ParamMap_t& p = G_.params;
    if (coefficient_index > 0) {
        s.ensure_adjustment_mode();
        const mb_param_t& param = *p.coeffs_gas(int(coefficient_index));
        const uint64_t v = ParamValueFromFloat(float(coefficient));
        if (s.run([&] { return procedures::RunSetParamAndSave(G_, param, v); })) return 1;
        return s.error_shown() ? 1 : 0;
    }
    if (index < 0) {
        print_gases();
        return 0;
    }
    if (index > 0 && !GasCoefficientPresent(p, size_t(index))) {
        std::fprintf(stderr, "%s\n", text::utf8(GasRefusalText(size_t(index))).c_str());
        return 1;
    }
    s.ensure_adjustment_mode();
    const uint16_t v = uint16_t(index);
    if (s.run([&] { return procedures::RunSetParamAndSave(G_, p.mipex_work_gas, v); })) return 1;
    return s.error_shown() ? 1 : 0;
}

}  // namespace

LUMA_CLI_COMMAND_WITH_OPTIONS("gas", "gas [ГАЗ] [--coefficient НОМЕР ЗНАЧЕНИЕ]  газ (имя или номер 0..14) и коэффициенты коррекции", run_gas, "--coefficient=");
