#pragma once
// The protocol description as the profile code needs it: discard it, check a file's trailer, read a
// file. The program's implementation works on the main window's loaded description; tests script it.
// Paths are UTF-8.

#include <string>

namespace app {

class ProtocolLoader {
  public:
    virtual ~ProtocolLoader() = default;
    // Discards the loaded description and leaves the eleven empty action lists "0" to "10".
    virtual void clear() = 0;
    // The integrity check of a protocol file: true when it passes. An empty path and a missing or
    // unreadable file pass (opening says why); a file fails when its stored checksum does not match.
    virtual bool checkFile(const std::string& path) = 0;
    // Reads the file into the loaded description: 0 success, -1 damaged, -2 missing, -3 unreadable
    // (exists, but no permission, a folder, a FIFO).
    virtual int readFile(const std::string& path) = 0;
};

} // namespace app
