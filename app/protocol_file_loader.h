#pragma once
// The program's protocol loader: works on the main window's protocol description with the protocol
// file reader.

#include "app/protocol_loader.h"
#include "protocol/protocol_description.h"

namespace app {

class ProtocolFileLoader : public ProtocolLoader {
  public:
    // `protocol` is borrowed and must outlive the loader.
    explicit ProtocolFileLoader(protocol::TProtocol& protocol) : m_protocol(protocol) {}

    // ClearProtocol, then eleven empty action lists "0" to "10".
    void clear() override;
    // CheckProtocolFileCRC; an empty path passes.
    bool checkFile(const std::string& path) override;
    // ReadProtocolFile: 0, -1 (damaged), -2 (missing) or -3 (unreadable).
    int readFile(const std::string& path) override;

  private:
    protocol::TProtocol& m_protocol;
};

} // namespace app
