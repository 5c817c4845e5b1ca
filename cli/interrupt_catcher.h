#pragma once
// Ctrl-C during a device command: the first asks the running operation to cancel (a wait for the
// device's answer ends within one wait slice), a second ends the program at once with the cancelled
// exit status; the kernel closes the port.

namespace cli {

class InterruptCatcher {
  public:
    InterruptCatcher();
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;
    bool interrupted() const { return interruptRequested(); }

    // True once Ctrl-C was pressed while a catcher is installed; a line's wait hook.
    static bool interruptRequested();
};

} // namespace cli
