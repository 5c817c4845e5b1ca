#include "base/raw_terminal.h"

#include <termios.h>

namespace base {

void makeRawTerminal(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &tio);
}

} // namespace base
