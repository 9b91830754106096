#include "platform/terminal.h"

#include <unistd.h>

namespace plat {

bool is_terminal(std_stream s) {
    const int fd = s == std_stream::input ? STDIN_FILENO : s == std_stream::output ? STDOUT_FILENO : STDERR_FILENO;
    return ::isatty(fd) == 1;
}

}  // namespace plat
