#include "cli/command.h"

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

std::string unknown_option(const Command& cmd, const std::vector<std::string>& args) {
    // The command's options as names, and whether each takes a value.
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
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        // Not an option: a plain argument, or a negative number (the
        // command's own check refuses it with its range).
        if (a.size() < 2 || a[0] != '-' || (a[1] >= '0' && a[1] <= '9')) continue;
        bool found = false;
        for (const auto& [name, takes_value] : known) {
            if (a != name) continue;
            found = true;
            if (takes_value) ++i;  // its value may look like an option
        }
        if (!found) return "неизвестный параметр: " + a;
    }
    return {};
}
const std::vector<Command>& commands() { return registry(); }

}  // namespace cli
