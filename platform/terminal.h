// Whether a standard stream goes to a terminal, for console output that draws
// a progress bar on a terminal and writes plain lines into files and pipes.
#pragma once

namespace plat {

enum class std_stream { input, output, error };

bool is_terminal(std_stream s);

}  // namespace plat
