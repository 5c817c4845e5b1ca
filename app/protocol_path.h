#pragma once
// The two forms of a profile's protocol description path.
//
// A file inside the program's folder is stored relative to it, as "\" followed by the rest of the path
// with "\" separators (the folder /opt/velmora and the file /opt/velmora/p/x.vpdf give "\p\x.vpdf"), so
// the setting still finds the file after the folder is moved and reads the same as on other systems.
// Any other path is stored as it is; an absolute path starts with "/" and is never taken for a stored
// relative one. Paths are UTF-8 and compared exactly.

#include <filesystem>
#include <string>
#include <string_view>

namespace app {

// The stored form of a chosen path: `chosen` trimmed of spaces and tabs, relative to `programDir` when it
// lies inside it. A path whose part inside the folder holds a "\" itself stays absolute, since the
// stored form could not tell it from a separator.
std::string StoreProtocolPath(std::string_view chosen, const std::filesystem::path& programDir);

// The path of a stored value: a value of at least two characters starting with "\" is turned into
// `programDir` + "/" + the rest with "/" separators; any other value (the single character "\"
// included) is returned unchanged.
std::string ExpandProtocolPath(std::string_view stored, const std::filesystem::path& programDir);

} // namespace app
