#pragma once
// A pseudo-terminal pair for tests that need a real serial line: the program under test opens the
// slave path like a serial device, the test (or a simulated device) talks on the master side.
//
// Both sides are put in raw mode. The pair keeps its own slave descriptor open for its whole life, so
// the master stays readable and writable while the program under test opens and closes the slave path.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

class PseudoTerminal {
  public:
    // Opens the pair; throws std::runtime_error when the system refuses.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Path of the slave side, e.g. "/dev/pts/7": what a serial port component opens.
    const std::string& slavePath() const { return m_slavePath; }
    // Descriptors, for code that wants to poll or hand the master to a server library.
    int masterFd() const { return m_master; }
    int slaveFd() const { return m_slave; }

    // Writes every byte to the master side (the program under test reads them). False on an error.
    bool write(std::span<const std::uint8_t> bytes);
    bool write(std::string_view bytes);

    // Reads from the master side until `count` bytes arrived or `timeout` passed in total.
    std::vector<std::uint8_t> read(std::size_t count, std::chrono::milliseconds timeout);

    // Reads from the master side until nothing arrives for `gap` (at most `limit` in total).
    // Returns everything collected; empty when nothing came within the first `gap`.
    std::vector<std::uint8_t> readUntilGap(std::chrono::milliseconds gap,
                                           std::chrono::milliseconds limit = std::chrono::seconds(10));

    // Discards whatever is waiting on the master side.
    void drain();

    // Closes the pair's own slave descriptor (to observe what happens when nobody holds the slave).
    void closeSlave();

  private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

} // namespace testsupport
