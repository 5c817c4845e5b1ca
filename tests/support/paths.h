#pragma once
// Locations the tests need: the source tree (test data, examples) and the build tree (the tools).

#include <filesystem>
#include <string>

namespace testsupport {

std::filesystem::path sourceDir();
std::filesystem::path binaryDir();
// Path of a built tool such as "velmora-cli" or "velmora-sim".
std::filesystem::path toolPath(const std::string& name);

// A fresh, empty folder removed when the object goes away.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

  private:
    std::filesystem::path m_path;
};

} // namespace testsupport
