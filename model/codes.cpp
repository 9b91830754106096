#include "model/codes.h"

#include <bit>

namespace codes {
namespace {

const char16_t* const kErrorTexts[kErrorTextCount] = {
    u"e0 - Ошибка инициализации сенсора MIPEX\n",
    u"e1 - Неподходящие условия для измерения - превышена скорость изменения температуры измеряемой среды\n",
    u"e2 - Сенсор MIPEX неисправен\n",
    u"e3 - Сенсор MIPEX не отвечает\n",
    u"e4 - Ошибка передачи данных между ЛУМА и сенсором MIPEX\n",
    u"e5 - Ошибка загрузки настройки/калибровки\n",
    u"e6 - Ошибка сохранения настройки/калибровки\n",
    u"e7 - Неизвестен тип датчика (не смог прочитать)\n",
    u"e8 - Неправильный тип датчика - ошибка пользователя при настройке\n",
    u"e9 - В датчике не прописан тип - не введены данные при настройке\n",
    u"e10 - ЦАП токового выхода не откалиброван\n",
    u"e11 - АЦП не откалиброван\n",
    u"e12 - Сбой устройства - не совпала контрольная сумма\n",
    u"e13 - Повреждение цепи подключения датчика\n",
};

const char16_t* const kWarningTexts[kWarningTextCount] = {
    u"w0 - Пониженная точность измерения\n",
    u"w1 - Слишком частый опрос датчика\n",
    u"w2 - Выполняется инициализация\n",
    u"w3 - Выполняется самодиагностика\n",
    u"w4 - Датчик в режиме сохранения\n",
};

// Alarm-journal status codes: error eN is N + 1, warning wN is N + 15.
const char16_t* const kStatusTexts[] = {
    u"- OK ",
    u"e0 - Ошибка инициализации MIPEX",
    u"e1 - Неподходящие условия для измерения",
    u"e2- MIPEX неисправен ",
    u"e3 - MIPEX не отвечает ",
    u"e4 - Ошибка передачи ЛУМА ",
    u"e5 - Ошибка загрузки настройки/калибровки",
    u"e6 - Ошибка сохранения настройки/калибровки",
    u"e7 - Неизвестен тип датчика (не смог прочитать)",
    u"e8 - Неправильный тип датчика",
    u"e9 - В датчике не прописан тип",
    u"e10 - ЦАП не откалиброван ",
    u"e11 - АЦП не откалиброван ",
    u"e12 - Сбой устройства ",
    u"e13 - Повреждение цепи подключения датчика",
    u"w0- Пониженная точность измерения",
    u"w1- Слишком частый опрос датчика",
    u"w2- Выполняется инициализация",
    u"w3- Выполняется самодиагностика",
    u"w4- Датчик в режиме сохранения",
    u"ef-  ",
};

const char16_t* const kChangeTexts[] = {
    u"Ничего не изменилось",
    u"Изменен рабочий газ",
    u"Изменена настройка аналогового выхода",
    u"Изменен порог 1",
    u"Изменен порог 2",
    u"Изменена блокировка аварии",
    u"Очищены тренды концентрации",
    u"Очищены журналы",
};

const gas_row_t kGasA[kGasCount] = {
    {u"", u""},
    {u"Метан", u"CH4"},
    {u"Этилен", u"C2H4"},
    {u"Этан", u"C2H6"},
    {u"Пропан", u"C3H8"},
    {u"Н-бутан", u"C4H10"},
    {u"Изобутан", u"iC4H10"},
    {u"Н-пентан", u"C5H12"},
    {u"Изопентан", u"iC5H12"},
    {u"Н-гексан", u"C6H14"},
    {u"Бензол", u"C6H6"},
    {u"Водород", u"H2"},
    {u"Аммиак", u"NH3"},
    {u"Оксид углерода", u"CO"},
    {u"Винилхлорид", u"C2H3Cl"},
};

// Toluene's formula is written with a zero ("C6H50H") exactly as the detector's
// gas list has it; the selection window and the journals must match the device.
const gas_row_t kGasB[kGasCount] = {
    {u"Пропан", u"C3H8"},
    {u"Метан", u"CH4"},
    {u"Этан", u"C2H6"},
    {u"Н-бутан", u"C4H10"},
    {u"Пентан", u"C5H12"},
    {u"Гексан", u"C6H14"},
    {u"Изобутан", u"iC4H10"},
    {u"Изопентан", u"iC5H12"},
    {u"Этилен", u"C2H4"},
    {u"Пропилен", u"C3H6"},
    {u"Бензол", u"C6H6"},
    {u"Гептан", u"C7H16"},
    {u"Метанол", u"CH3OH"},
    {u"Толуол", u"C6H50H"},
    {u"Оксид этилена", u"C2H4O"},
};

const gas_row_t kNoGas = {u"", u""};

ustring_t join_bits(uint32_t mask, const char16_t* const* texts, unsigned count) {
    ustring_t out;
    for (unsigned bit = 0; bit < count; ++bit)
        if (mask & (1u << bit)) out += texts[bit];
    return out;
}

}  // namespace

const char16_t* ErrorBitText(unsigned bit) { return bit < kErrorTextCount ? kErrorTexts[bit] : u""; }
const char16_t* WarningBitText(unsigned bit) { return bit < kWarningTextCount ? kWarningTexts[bit] : u""; }

ustring_t ErrorListText(uint32_t mask) { return join_bits(mask, kErrorTexts, kErrorTextCount); }
ustring_t WarningListText(uint32_t mask) { return join_bits(mask, kWarningTexts, kWarningTextCount); }

unsigned SetBitCount(uint32_t mask) { return static_cast<unsigned>(std::popcount(mask)); }

const char16_t* StatusCodeText(uint32_t code) {
    constexpr uint32_t n = sizeof kStatusTexts / sizeof kStatusTexts[0];
    return code < n ? kStatusTexts[code] : u"";
}

ustring_t ChangeCodeText(uint16_t code) {
    constexpr uint16_t n = sizeof kChangeTexts / sizeof kChangeTexts[0];
    if (code < n) return ustring_t(kChangeTexts[code]);
    return text::format(64, "Неизвестный код изменения: %u", static_cast<unsigned>(code));
}

const gas_row_t& GasTableA(size_t index) { return index < kGasCount ? kGasA[index] : kNoGas; }
const gas_row_t& GasTableB(size_t index) { return index < kGasCount ? kGasB[index] : kNoGas; }

const char16_t* AdjustmentModeState(uint16_t owner) {
    switch (owner) {
        case kOwnerNone: return u"отключен";
        case kOwnerConsole: return u"уже включен для консоли";
        case kOwnerModbus: return u"включен";
        case kOwnerHart: return u"уже включен для HART";
        default: return u"уже включен для другого интерфейса";
    }
}

ustring_t GasNameText(uint32_t index) {
    if (index < kGasCount) return ustring_t(kGasB[index].name);
    return text::format(64, "недопустимый номер газа %u", static_cast<unsigned>(index));
}

ustring_t SpeedCodeText(uint32_t code) {
    if (code < kSpeedCount) return text::from_uint(kSpeedTable[code]);
    return text::format(64, "недопустимый код скорости %u", static_cast<unsigned>(code));
}

ustring_t UnitText(uint8_t mipex_type, uint8_t sensor_type, uint32_t work_gas) {
    ustring_t out;
    if (sensor_type == 1) {
        // The thermocatalytic sensor measures its working gas in %LEL.
        out = kUnitLel;
        if (work_gas < kGasCount) out += GasTableA(work_gas).formula;
        return out;
    }
    if (sensor_type >= 2) return out;

    // MIPEX module: the module type decides the unit and which gas it reports.
    switch (mipex_type) {
    case 8: case 25: case 255:
        return out;
    case 2: case 4: case 6: case 12: case 21:
        // Carbon-monoxide modules measure a volume fraction.
        out = kUnitVolume;
        out += GasTableA(13).formula;
        return out;
    case 3: case 16: case 17: case 22: case 23:
        // Multi-gas modules report the selected gas, propane by default.
        out = kUnitLel;
        out += work_gas < kGasCount ? GasTableB(work_gas).formula : u"C3H8";
        return out;
    default:
        break;
    }
    out = kUnitLel;
    if (mipex_type == 5 || mipex_type == 24 || (mipex_type >= 26 && mipex_type <= 254))
        out += GasTableA(0).formula;  // row 0 is empty: the unit alone
    else
        out += GasTableA(1).formula;  // methane modules
    return out;
}

}  // namespace codes
