// Ctrl+C for console programs: after catch_interrupts(), SIGINT and SIGTERM
// only raise a flag that the program polls, so it can close its port and end
// cleanly instead of being killed mid-exchange.
#pragma once

namespace plat {

void catch_interrupts();
bool interrupted();

}  // namespace plat
