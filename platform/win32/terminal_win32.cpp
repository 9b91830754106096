#include "platform/terminal.h"

#include <windows.h>

namespace plat {

bool is_terminal(std_stream s) {
    const DWORD which = s == std_stream::input    ? STD_INPUT_HANDLE
                        : s == std_stream::output ? STD_OUTPUT_HANDLE
                                                  : STD_ERROR_HANDLE;
    // A console answers GetConsoleMode; a file or a pipe does not.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace plat
