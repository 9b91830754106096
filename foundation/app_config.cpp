#include "foundation/app_config.h"

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <cmath>
#include <limits>
#include <cstdint>

#include "foundation/safe_file.h"
#include "platform/paths.h"

namespace {

using Json = rapidjson::Value;

const Json* member(const Json* obj, const char* key) {
    if (!obj || !obj->IsObject()) return nullptr;
    auto it = obj->FindMember(key);
    return it == obj->MemberEnd() ? nullptr : &it->value;
}

// An unsigned field: a non-negative integer as is, a real number truncated
// toward zero; either then cut to the field's width without a range check.
// Negative numbers, fractions, numbers the field cannot hold and non-numbers
// are unreadable: a value is never cut to fit (port 300 would become 44, a
// time-out of 65537 ms would become 1).
template <typename T>
bool read_unsigned(const Json* v, T& out) {
    if (!v) return false;
    uint64_t u;
    if (v->IsUint64()) {
        u = v->GetUint64();
    } else if (v->IsDouble()) {
        double d = v->GetDouble();
        if (!std::isfinite(d) || d < 0.0 || d >= 18446744073709551616.0 || d != std::floor(d)) return false;
        u = static_cast<uint64_t>(d);
    } else {
        return false;
    }
    if (u > std::numeric_limits<T>::max()) return false;
    out = static_cast<T>(u);
    return true;
}

bool read_flag(const Json* v, uint8_t& out) {
    if (!v) return false;
    if (v->IsBool()) {
        out = v->GetBool() ? 1 : 0;
        return true;
    }
    if (v->IsDouble()) {
        out = v->GetDouble() != 0.0 ? 1 : 0;
        return true;
    }
    return false;
}

// Only a real number (with a decimal point or exponent) counts; it is brought
// into the accepted range and rounded to two decimals.
bool read_balloon(const Json* v, double& out) {
    if (!v || !v->IsDouble()) return false;
    double d = v->GetDouble();
    if (!std::isfinite(d)) return false;
    if (d < kBalloonStrengthMin) d = kBalloonStrengthMin;
    if (d > kBalloonStrengthMax) d = kBalloonStrengthMax;
    out = std::round(d * 100.0) / 100.0;
    return true;
}

bool read_connection(const Json* conn, ConnectionSettings& out) {
    ConnectionSettings c;  // start-up values, not the record's
    const Json* driver = member(conn, "driver_config");
    const Json* port = member(driver, "port_config");
    com_port_settings_t& p = c.port_settings;
    // An address outside 1..247 is unreadable, never cut to fit: 256 would
    // become 0, the broadcast.
    uint64_t block_id = 0;
    bool ok = read_unsigned(member(conn, "block_id"), block_id) && block_id >= kBlockIdMin && block_id <= kBlockIdMax;
    c.block_id = static_cast<uint8_t>(block_id);
    ok = read_unsigned(member(port, "port"), p.port) && ok;
    ok = read_unsigned(member(port, "speed"), p.speed) && ok;
    ok = read_unsigned(member(port, "parity"), p.parity) && ok;
    ok = read_unsigned(member(port, "stop_bits"), p.stop_bits) && ok;
    if (!read_flag(member(port, "permanent_echo"), p.permanent_echo)) p.permanent_echo = 0;
    ok = read_unsigned(member(port, "before_send_delay"), p.before_send_delay) && ok;
    ok = read_unsigned(member(driver, "timeout"), c.timeout) && ok;
    if (ok) out = c;
    return ok;
}

}  // namespace

std::string ConfigFilePath() {
    const std::string dir = plat::config_dir();
    return dir.empty() ? std::string() : dir + "/" + plat::program_name() + ".json";
}

std::string ConfiguratorConfigFilePath() {
    const std::string dir = plat::config_dir();
    return dir.empty() ? std::string() : dir + "/luma10.json";
}

bool SettingsFromJson(const std::string& json, AppSettings_t& settings) {
    // Iterative parsing keeps the call stack flat however deeply the text
    // nests, so a hostile or damaged file cannot overflow it.
    rapidjson::Document doc;
    // A byte that is not UTF-8 makes the text malformed, wherever it stands.
    doc.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag>(json.data(), json.size());
    if (doc.HasParseError()) return false;
    const Json* app = member(&doc, "app_config");
    if (!app || !app->IsObject()) return false;
    read_connection(member(app, "connection"), settings.connection);
    read_balloon(member(member(app, "params"), "balloon_strength"), settings.balloon_strength);
    return true;
}

std::string SettingsToJson(const AppSettings_t& s) {
    const com_port_settings_t& p = s.connection.port_settings;
    // A value that JSON cannot hold would spoil the whole file.
    double balloon = std::isfinite(s.balloon_strength) ? s.balloon_strength : AppSettings_t{}.balloon_strength;

    rapidjson::StringBuffer buf;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> w(buf);
    w.StartObject();
    w.Key("app_config");
    w.StartObject();
    w.Key("connection");
    w.StartObject();
    w.Key("block_id");
    w.Uint(s.connection.block_id);
    w.Key("driver_config");
    w.StartObject();
    w.Key("port_config");
    w.StartObject();
    w.Key("port");
    w.Uint(p.port);
    w.Key("speed");
    w.Uint(p.speed);
    w.Key("parity");
    w.Uint(p.parity);
    w.Key("stop_bits");
    w.Uint(p.stop_bits);
    w.Key("permanent_echo");
    w.Bool(p.permanent_echo != 0);
    w.Key("before_send_delay");
    w.Uint(p.before_send_delay);
    w.EndObject();
    w.Key("timeout");
    w.Uint(s.connection.timeout);
    w.EndObject();
    w.EndObject();
    w.Key("params");
    w.StartObject();
    w.Key("balloon_strength");
    w.Double(balloon);
    w.EndObject();
    w.EndObject();
    w.EndObject();
    return std::string(buf.GetString(), buf.GetSize());
}

namespace {

const char* const kStartUpValues = "Действуют начальные настройки.";

// The outcome of a read that has happened (read is what the file system
// answered); for a file read, applies it to settings. saves: the program
// writes the file at exit, so a malformed or oversized file is renamed to
// <path>.bad first, and the message says what happens at exit.
ConfigLoad_t settle(plat::ReadResult read, const std::string& path, const std::string& bytes,
                    AppSettings_t& settings, bool saves) {
    ConfigLoad_t r;
    const std::string file = "Файл настроек " + path;
    const std::string kept = saves ? " При выходе он не заменяется." : "";
    switch (read) {
    case plat::ReadResult::absent:
        return r;
    case plat::ReadResult::not_regular:
        r.outcome = ConfigLoad_t::kNotRegular;
        r.save_at_exit = false;
        r.message = file + " не прочитан: это не обычный файл. " + kStartUpValues + kept;
        return r;
    case plat::ReadResult::failed:
        r.outcome = ConfigLoad_t::kUnreadable;
        r.save_at_exit = false;
        r.message = file + " не прочитан: " + plat::error_text(plat::last_error()) + ". " + kStartUpValues + kept;
        return r;
    case plat::ReadResult::too_large:
        r.outcome = ConfigLoad_t::kTooLarge;
        r.message = file + " не прочитан: он больше " + std::to_string(kConfigFileMaxBytes / 1024) + " КиБ.";
        break;
    case plat::ReadResult::read:
        // An empty file is what a user's "touch" leaves: no settings yet.
        if (bytes.empty()) return r;
        if (SettingsFromJson(bytes, settings)) {
            r.outcome = ConfigLoad_t::kLoaded;
            // A link the user made is read through, but a save would put a
            // file in its place.
            if (saves && !plat::is_regular_file(path)) {
                r.save_at_exit = false;
                r.message = file + " — ссылка: настройки прочитаны из неё, но при выходе не сохраняются.";
            }
            return r;
        }
        r.outcome = ConfigLoad_t::kMalformed;
        r.message = file + " повреждён (это не JSON настроек в UTF-8).";
        break;
    }
    // Malformed or oversized: the save at exit would put the start-up values
    // in its place, so the user's file is kept aside first.
    if (!saves) {
        r.save_at_exit = false;
        r.message += std::string(" ") + kStartUpValues;
        return r;
    }
    const std::string bad = path + ".bad";
    if (plat::rename_file(path, bad)) {
        r.message += " Он сохранён как " + bad + ". " + kStartUpValues;
    } else {
        r.save_at_exit = false;
        r.message += " Сохранить его как " + bad + " не удалось (" + plat::error_text(plat::last_error()) + "). " +
                     kStartUpValues + kept;
    }
    return r;
}

ConfigLoad_t no_folder(bool saves) {
    ConfigLoad_t r;
    r.outcome = ConfigLoad_t::kNoFolder;
    r.save_at_exit = false;
    const std::string why = plat::config_dir_problem();
    r.message = (why.empty() ? std::string("Нет папки настроек") : why) + ". " + kStartUpValues +
                (saves ? " Настройки не сохраняются." : "");
    return r;
}

}  // namespace

ConfigLoad_t LoadSettings(AppSettings_t& settings, const std::string& path) {
    if (path.empty()) return no_folder(true);
    std::string bytes;
    const plat::ReadResult read = ReadFileSafely(path, bytes, kConfigFileMaxBytes);
    return settle(read, path, bytes, settings, true);
}

ConfigLoad_t ReadSettingsFile(const std::string& path, AppSettings_t& settings) {
    if (path.empty()) return no_folder(false);
    std::string bytes;
    const plat::ReadResult read = plat::read_regular_file(path, kConfigFileMaxBytes, bytes);
    return settle(read, path, bytes, settings, false);
}

void SaveSettings(const AppSettings_t& settings, const std::string& path) {
    if (path.empty()) return;
    WriteFileSafely(path, SettingsToJson(settings));
}
