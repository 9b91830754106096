#include "cli/command.h"

namespace cli {

namespace {
// Function-local so that registrars in other files can run before main in any order.
std::vector<Command>& registry() {
    static std::vector<Command> list;
    return list;
}
}  // namespace

void register_command(const Command& cmd) { registry().push_back(cmd); }
const std::vector<Command>& commands() { return registry(); }

}  // namespace cli
