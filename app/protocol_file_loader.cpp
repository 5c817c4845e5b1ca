#include "app/protocol_file_loader.h"

#include "protocol/vpdf_reader.h"

namespace app {

void ProtocolFileLoader::clear() {
    protocol::ClearProtocol(m_protocol);
    // The exchange addresses the lists by fixed index, so they exist even without a description.
    protocol::PrepareActionLists(m_protocol);
}

bool ProtocolFileLoader::checkFile(const std::string& path) {
    if (path.empty())
        return true;
    std::uint32_t computed = 0;
    return protocol::CheckProtocolFileCRC(path, computed);
}

int ProtocolFileLoader::readFile(const std::string& path) {
    return protocol::ReadProtocolFile(m_protocol, path);
}

} // namespace app
