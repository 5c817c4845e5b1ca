#include "support/paths.h"

#include <cstdlib>
#include <stdexcept>

namespace testsupport {

std::filesystem::path sourceDir() {
    return VELMORA_SOURCE_DIR;
}
std::filesystem::path binaryDir() {
    return VELMORA_BINARY_DIR;
}
std::filesystem::path toolPath(const std::string& name) {
    return binaryDir() / name;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

} // namespace testsupport
