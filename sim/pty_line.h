#pragma once
// The device's end of the serial line: a pseudo-terminal whose far end (the slave path) the
// program under test opens as its serial port.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace sim {

class PtyLine {
  public:
    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // Opens the pair in raw mode. The line keeps a descriptor of the far end open itself, so that the
    // program may open and close the port any number of times. False with a message in `error`.
    bool open(std::string& error);

    // Makes `path` a symbolic link to the far end, replacing an existing symbolic link there (never
    // another kind of file). The link is removed when the line closes. False with a message.
    bool link(const std::filesystem::path& path, std::string& error);

    // Path of the far end, e.g. "/dev/pts/7".
    const std::string& farPath() const { return m_farPath; }
    // The near end, non-blocking, for poll and read.
    int fd() const { return m_near; }

    // Writes every byte, waiting while the far end's queue is full, until `deadline`. Returns the
    // number of bytes written (fewer when the deadline passed or the line failed).
    std::size_t write(std::span<const std::uint8_t> bytes, std::chrono::steady_clock::time_point deadline);

    // Closes both ends and removes the link: the program sees the line hang up.
    void close();

  private:
    int m_near = -1;
    int m_far = -1;
    std::string m_farPath;
    std::filesystem::path m_link;
};

} // namespace sim
