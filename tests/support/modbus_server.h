#pragma once
// A small MODBUS-RTU server built on libmodbus, answering on the master side of a pseudo-terminal:
// a device none of our code wrote. It serves holding registers (function codes 03, 06, 16 and the
// rest libmodbus implements) until stopped.

#include "support/pty.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace testsupport {

class ModbusRtuServer {
  public:
    // Serves `registerCount` holding registers from address 0 as slave `slaveId`; starts at once.
    // Throws std::runtime_error when libmodbus refuses.
    ModbusRtuServer(PseudoTerminal& pty, int slaveId, int registerCount);
    ~ModbusRtuServer();
    ModbusRtuServer(const ModbusRtuServer&) = delete;
    ModbusRtuServer& operator=(const ModbusRtuServer&) = delete;

    std::uint16_t holdingRegister(int index) const;
    void setHoldingRegister(int index, std::uint16_t value);
    // Requests answered so far (those addressed to another slave or with a bad CRC are not).
    int requestsServed() const { return m_served; }
    void stop();

  private:
    void run();

    modbus_t* m_ctx = nullptr;
    modbus_mapping_t* m_map = nullptr;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_served{0};
    mutable std::mutex m_mutex;
    std::thread m_thread;
};

} // namespace testsupport
