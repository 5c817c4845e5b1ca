#pragma once
// Raw mode for a terminal descriptor (a pseudo-terminal side or a serial device): bytes pass
// unchanged, nothing is echoed or edited as lines, the modem lines are ignored and the receiver is on.

namespace base {

// Leaves a descriptor that is not a terminal as it is.
void makeRawTerminal(int fd);

} // namespace base
