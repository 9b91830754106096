#include "cli/command.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <utility>

namespace cli {

namespace {
// Function-local so that registrars in other files can run before main in any order.
std::vector<Command>& registry() {
    static std::vector<Command> list;
    return list;
}
}  // namespace

void register_command(const Command& cmd) { registry().push_back(cmd); }

namespace {
// The command's options as names, and whether each takes a value.
std::vector<std::pair<std::string, bool>> option_list(const Command& cmd) {
    std::vector<std::pair<std::string, bool>> known;
    const std::string list = cmd.options ? cmd.options : "";
    for (size_t pos = 0; pos < list.size();) {
        size_t end = list.find(' ', pos);
        if (end == std::string::npos) end = list.size();
        std::string name = list.substr(pos, end - pos);
        const bool takes_value = !name.empty() && name.back() == '=';
        if (takes_value) name.pop_back();
        if (!name.empty()) known.emplace_back(name, takes_value);
        pos = end + 1;
    }
    return known;
}
}  // namespace

bool is_command_option(const Command& cmd, const std::string& name, bool* takes_value) {
    for (const auto& [n, tv] : option_list(cmd))
        if (n == name) {
            if (takes_value) *takes_value = tv;
            return true;
        }
    return false;
}

const std::string& Options::value(const std::string& name) const {
    static const std::string none;
    const auto it = values.find(name);
    return it == values.end() ? none : it->second;
}

std::string parse_options(const Command& cmd, const std::vector<std::string>& args, Options& out) {
    const std::vector<std::pair<std::string, bool>> known = option_list(cmd);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        // Not an option: a plain argument, or a negative number (the
        // command's own check refuses it with its range).
        if (a.size() < 2 || a[0] != '-' || (a[1] >= '0' && a[1] <= '9')) {
            out.positional.push_back(a);
            continue;
        }
        const size_t eq = a.find('=');
        const std::string name = a.substr(0, eq);
        const auto it = std::find_if(known.begin(), known.end(), [&](const auto& k) { return k.first == name; });
        if (it == known.end()) return "неизвестный параметр: " + a;
        const bool takes_value = it->second;
        std::string value;
        if (eq != std::string::npos) {
            if (!takes_value) return "параметр " + name + " не принимает значения: " + a;
            value = a.substr(eq + 1);
        } else if (takes_value) {
            if (i + 1 >= args.size()) return "нет значения у " + name;
            value = args[++i];
        }
        // A second value would silently replace the first.
        if (!out.values.emplace(name, value).second) return "параметр " + name + " задан дважды";
        out.order.push_back(name);
    }
    return {};
}

std::string whole_range(long min, long max) {
    return "целое число от " + std::to_string(min) + " до " + std::to_string(max);
}

bool parse_decimal(const std::string& text, double& out) {
    const char* const first = text.data();
    const char* const last = first + text.size();
    // from_chars in fixed format reads no sign other than '-', no exponent,
    // no hexadecimal, no infinity or NaN spelled as such.
    const char* digits = first != last && *first == '-' ? first + 1 : first;
    if (digits == last || !(std::isdigit(static_cast<unsigned char>(*digits)) || *digits == '.')) return false;
    double v = 0;
    const auto [end, ec] = std::from_chars(first, last, v, std::chars_format::fixed);
    if (ec != std::errc() || end != last || !std::isfinite(v)) return false;
    out = v;
    return true;
}

const std::vector<Command>& commands() { return registry(); }

}  // namespace cli
