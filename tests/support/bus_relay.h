#pragma once
// A shared bus for tests with several devices: the program under test opens busPath(); every byte it
// sends reaches each device line, and every byte a device sends reaches the program. Devices that
// answer only their own address never talk over each other.

#include "support/pty.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class BusRelay {
  public:
    // Opens each device line path (e.g. a simulator's pseudo-terminal); throws std::runtime_error when
    // one cannot be opened.
    explicit BusRelay(const std::vector<std::string>& devicePaths);
    ~BusRelay();
    BusRelay(const BusRelay&) = delete;
    BusRelay& operator=(const BusRelay&) = delete;

    const std::string& busPath() const { return m_bus.slavePath(); }

  private:
    void run();

    PseudoTerminal m_bus;
    std::vector<int> m_devices;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace testsupport
