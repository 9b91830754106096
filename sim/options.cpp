// Command line of luma10-sim.
#include <charconv>
#include <cstring>

#include "platform/dirs.h"
#include "platform/files.h"
#include "sim/simulator.h"

namespace sim {

const char* help_text() {
    return
        "luma10-sim — имитатор газоанализаторов ЛУМА-10 на линии Modbus RTU.\n"
        "\n"
        "Создаёт псевдотерминал (или открывает настоящий порт) и отвечает на запросы\n"
        "функций 3 и 16 как один или несколько газоанализаторов. Первая строка вывода —\n"
        "путь к устройству линии, который открывает конфигуратор.\n"
        "\n"
        "Использование: luma10-sim [параметры]\n"
        "               luma10-sim --send СОКЕТ КОМАНДА...\n"
        "\n"
        "Линия:\n"
        "  --com N             зарегистрировать линию как COM N в папке портов (ссылка\n"
        "                      удаляется при выходе)\n"
        "  --device ПУТЬ       работать через настоящий последовательный порт вместо\n"
        "                      псевдотерминала\n"
        "  --speed БОД         скорость линии (по умолчанию 9600)\n"
        "  --parity N|E|O      чётность (по умолчанию N)\n"
        "  --stop-bits 1|2     стоповые биты (по умолчанию 1)\n"
        "  --echo              возвращать каждый принятый байт, как двухпроводный\n"
        "                      адаптер RS-485\n"
        "  --line-timing       время линии: запрос «идёт по проводу» своё время, ответ\n"
        "                      выдаётся по байту за время символа (старт + 8 бит + бит\n"
        "                      чётности + стоповые)\n"
        "  --turnaround МС     пауза перед ответом (по умолчанию 0)\n"
        "  --switch-early      новый адрес или скорость Modbus вступают в силу до ответа\n"
        "                      на запись (по умолчанию — после ответа)\n"
        "  --any-speed         не сверять скорость и чётность, заданные конфигуратором\n"
        "                      на псевдотерминале (по умолчанию запросы на другой\n"
        "                      скорости или чётности не понимаются, как на проводе)\n"
        "\n"
        "Устройства:\n"
        "  --address A         газоанализатор с адресом A (1..247); можно повторять —\n"
        "                      у каждого свои регистры и свой заводской номер\n"
        "                      (по умолчанию один, с адресом 1)\n"
        "  --foreign A         чужое устройство с адресом A: на любой запрос отвечает\n"
        "                      исключением\n"
        "  --owner 0..3        кто держит режим наладки при запуске: 0 никто, 1 консоль,\n"
        "                      2 Modbus, 3 HART\n"
        "  --state ФАЙЛ        сохранять настройки по команде 2 в файл и читать их при\n"
        "                      запуске\n"
        "  --sensor-type N     тип датчика (регистр 1157, по умолчанию 0)\n"
        "  --mipex-type N      тип модуля MIPEX (регистр 1158, по умолчанию 3)\n"
        "  --concentration X   концентрация при запуске, %НКПР (по умолчанию 0)\n"
        "  --drift X           размах медленного дрейфа концентрации (по умолчанию 0.3)\n"
        "  --calibration-time МС  длительность калибровки датчика (по умолчанию 3000)\n"
        "  --calibration-error N  первая калибровка датчика завершится ошибкой N (4..8)\n"
        "  --save-fault refuse|silent  команду сохранения настроек (2) отвергать\n"
        "                      исключением 4 или оставлять без ответа; настройки\n"
        "                      не сохраняются, остальные запросы обслуживаются\n"
        "  --trend-delay МС    подготовка блока тренда (по умолчанию 30)\n"
        "\n"
        "Журналы (записи строятся детерминированно из зерна):\n"
        "  --seed N            зерно (по умолчанию 1)\n"
        "  --records N         число записей во всех журналах сразу\n"
        "  --threshold1-records N, --threshold2-records N, --alarm-records N,\n"
        "  --setup-records N, --config-records N, --trend-records N\n"
        "                      число записей в отдельном журнале\n"
        "  --trend-day         тренд — рабочий день с записью в минуту: подъём выше\n"
        "                      порога 1 утром и спад, температура меняется за сутки\n"
        "                      (без --trend-records — 1440 записей, одни сутки)\n"
        "\n"
        "Неисправности с запуска:\n"
        "  --silent            не отвечать\n"
        "  --late МС           отвечать с опозданием на МС\n"
        "  --corrupt-crc       портить CRC ответов\n"
        "  --noise             слать шум вместо ответов\n"
        "  --drop-after N      закрыть линию после N запросов\n"
        "\n"
        "Прочее:\n"
        "  --verbose           журнал каждого запроса и ответа в шестнадцатеричном виде\n"
        "                      (в поток ошибок)\n"
        "  --trace             то же, что --verbose, и смысл каждого кадра: адрес,\n"
        "                      функция, регистры, параметры и их значения, исключения\n"
        "  --control СОКЕТ     управляющий сокет (локальный, потоковый, доступен только\n"
        "                      владельцу): одна команда в строке, ответ — строки\n"
        "                      текста; заменяется только брошенный сокет, но не файл\n"
        "  --send СОКЕТ КОМАНДА...  отправить команду работающему имитатору и вывести\n"
        "                      ответ\n"
        "  --help              эта справка\n"
        "\n"
        "Команды управляющего сокета (A — текущий адрес газоанализатора):\n"
        "  status                       путь линии, скорость, счётчики, устройства\n"
        "  silent on|off|N              молчать (N — только на N следующих запросов)\n"
        "  late on|off|N|ms МС          опаздывать с ответом; ms задаёт опоздание\n"
        "  corrupt on|off|N             портить CRC\n"
        "  noise on|off|N               слать шум\n"
        "  clear                        снять все неисправности\n"
        "  drop                         закрыть линию (как выдернутый кабель)\n"
        "  restore                      открыть линию снова (новый путь псевдотерминала)\n"
        "  conc A X                     задать концентрацию\n"
        "  temp A X                     задать температуру\n"
        "  owner A 0..3                 задать владельца режима наладки\n"
        "  calibration A 3..8           исход следующей калибровки датчика\n"
        "  save A ok|refuse|silent [N]  команда сохранения: исполнять, отвергать\n"
        "                               или не отвечать (N — только N следующих)\n"
        "  output A                     ток токового выхода, мА\n"
        "  alarms A МАСКА, warnings A МАСКА   текущие ошибки и предупреждения\n"
        "  records A ЖУРНАЛ N           число записей журнала (threshold1, threshold2,\n"
        "                               alarms, setup, config, trend)\n"
        "  get A РЕГИСТР                прочитать регистр\n"
        "  set A РЕГИСТР ЗНАЧЕНИЕ       записать регистр без проверок\n"
        "  help                         список команд\n"
        "Например: luma10-sim --send /tmp/luma.sock conc 1 35.5\n"
        "\n"
        "Завершение: Ctrl+C (SIGINT) или SIGTERM.\n";
}

namespace {

template <typename T>
bool number(const char* s, T& out, T lo, T hi) {
    T v{};
    const char* end = s + std::strlen(s);
    auto r = std::from_chars(s, end, v);
    if (r.ec != std::errc() || r.ptr != end || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool real(const char* s, double& out) {
    // Independent of the locale: a point is the separator under any settings.
    const char* end = s + std::strlen(s);
    double v = 0;
    auto r = std::from_chars(s, end, v);
    if (s == end || r.ec != std::errc() || r.ptr != end) return false;
    out = v;
    return true;
}

}  // namespace

bool parse_options(int argc, const char* const* argv, Options_t& o, bool& help, std::string& error) {
    help = false;
    bool addresses_given = false;
    bool trend_records_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) return nullptr;
            return argv[++i];
        };
        auto bad = [&](const char* what) {
            error = "неверное значение " + a + (what ? std::string(": ") + what : std::string());
            return false;
        };
        const char* v = nullptr;
        auto need = [&]() {
            v = value();
            if (!v) error = "у параметра " + a + " нет значения";
            return v != nullptr;
        };
        uint32_t u = 0;
        // The value as a whole number in lo..hi, into u.
        auto whole = [&](uint32_t lo, uint32_t hi, const char* what) {
            return need() && (number<uint32_t>(v, u, lo, hi) || bad(what));
        };
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--echo") {
            o.echo = true;
        } else if (a == "--line-timing") {
            o.line_timing = true;
        } else if (a == "--switch-early") {
            o.switch_early = true;
        } else if (a == "--any-speed") {
            o.check_master_settings = false;
        } else if (a == "--trend-day") {
            o.records.trend_day = true;
            if (!trend_records_given) o.records.trend = kTrendDayRecords;
        } else if (a == "--silent") {
            o.silent = true;
        } else if (a == "--corrupt-crc") {
            o.corrupt_crc = true;
        } else if (a == "--noise") {
            o.noise = true;
        } else if (a == "--verbose" || a == "-v") {
            o.verbose = true;
        } else if (a == "--trace") {
            o.trace = true;
        } else if (a == "--address" || a == "--foreign") {
            if (!whole(1, 247, "адрес 1..247")) return false;
            if (a == "--address") {
                if (!addresses_given) o.addresses.clear();
                addresses_given = true;
                o.addresses.push_back(uint8_t(u));
            } else {
                o.foreign.push_back(uint8_t(u));
            }
        } else if (a == "--device") {
            if (!need()) return false;
            o.device_path = v;
        } else if (a == "--com") {
            if (!whole(1, 255, "номер 1..255")) return false;
            o.com = u;
        } else if (a == "--speed") {
            if (!whole(50, 4000000, nullptr)) return false;
            o.speed = u;
        } else if (a == "--parity") {
            if (!need()) return false;
            const char c = char(std::toupper(static_cast<unsigned char>(v[0])));
            if (v[1] || (c != 'N' && c != 'E' && c != 'O')) return bad("N, E или O");
            o.parity = c;
        } else if (a == "--stop-bits") {
            if (!whole(1, 2, "1 или 2")) return false;
            o.stop_bits = u;
        } else if (a == "--turnaround") {
            if (!whole(0, 60000, nullptr)) return false;
            o.turnaround_ms = u;
        } else if (a == "--owner") {
            if (!whole(0, 3, "0..3")) return false;
            o.owner = int(u);
        } else if (a == "--state") {
            if (!need()) return false;
            // The file itself may be new; its folder must be there, or every
            // save command would fail unseen.
            const std::string path = v;
            const size_t slash = path.rfind('/');
            const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
            if (path.empty() || path.back() == '/') return bad("нужно имя файла");
            if (plat::is_dir(path)) return bad("это папка, нужно имя файла");
            // The saves replace the file; a device, a FIFO or a link is not
            // to be replaced by a file.
            if (!plat::is_absent(path) && !plat::is_regular_file(path)) return bad("это не обычный файл");
            if (!plat::is_dir(folder)) {
                error = "папка файла состояния не найдена: " + folder;
                return false;
            }
            o.state_file = path;
        } else if (a == "--seed") {
            if (!whole(0, UINT32_MAX, nullptr)) return false;
            o.seed = u;
        } else if (a == "--records" || a == "--threshold1-records" || a == "--threshold2-records" ||
                   a == "--alarm-records" || a == "--setup-records" || a == "--config-records" ||
                   a == "--trend-records") {
            if (!whole(0, 100000000, nullptr)) return false;
            if (a == "--records") o.records.set_all(u);
            else if (a == "--threshold1-records") o.records.threshold1 = u;
            else if (a == "--threshold2-records") o.records.threshold2 = u;
            else if (a == "--alarm-records") o.records.alarms = u;
            else if (a == "--setup-records") o.records.setup = u;
            else if (a == "--config-records") o.records.config = u;
            else o.records.trend = u;
            trend_records_given = trend_records_given || a == "--trend-records" || a == "--records";
        } else if (a == "--sensor-type" || a == "--mipex-type") {
            if (!whole(0, 255, "0..255")) return false;
            (a == "--sensor-type" ? o.sensor_type : o.mipex_type) = uint16_t(u);
        } else if (a == "--concentration" || a == "--drift") {
            if (!need()) return false;
            double d;
            // Written so that NaN, which fails every comparison, is refused too.
            if (!real(v, d) || !(d >= 0 && d <= kMaxConcentration)) return bad("0..1000");
            (a == "--drift" ? o.drift : o.concentration) = d;
        } else if (a == "--calibration-time" || a == "--trend-delay" || a == "--late" || a == "--drop-after") {
            if (!whole(0, 3600000, nullptr)) return false;
            if (a == "--calibration-time") o.calibration_ms = u;
            else if (a == "--trend-delay") o.trend_delay_ms = u;
            else if (a == "--late") o.late_ms = u ? u : 1;
            else o.drop_after = u;
        } else if (a == "--calibration-error") {
            if (!whole(4, 8, "4..8")) return false;
            o.calibration_error = u;
        } else if (a == "--save-fault") {
            if (!need()) return false;
            const std::string f = v;
            if (f != "refuse" && f != "silent") return bad("refuse или silent");
            o.save_fault = f == "refuse" ? SaveFault_t::kRefused : SaveFault_t::kSilent;
        } else if (a == "--control") {
            if (!need()) return false;
            if (!*v) return bad("нужен путь сокета");
            o.control_path = v;
        } else {
            error = "неизвестный параметр " + a;
            return false;
        }
    }
    // Two stations on one address would answer together and garble the line.
    std::vector<uint8_t> all = o.addresses;
    all.insert(all.end(), o.foreign.begin(), o.foreign.end());
    for (size_t i = 0; i < all.size(); ++i)
        for (size_t j = i + 1; j < all.size(); ++j)
            if (all[i] == all[j]) {
                error = "адрес " + std::to_string(all[i]) + " задан дважды";
                return false;
            }
    if (o.addresses.empty() && o.foreign.empty()) {
        error = "на линии нет ни одного устройства";
        return false;
    }
    return true;
}

}  // namespace sim
