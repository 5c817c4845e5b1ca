#pragma once
// The program's own version record: the same 64-byte record a firmware image carries, built into the
// program, so the splash window and the about box show the program's version the way the version
// panel shows a firmware's.

#include "image/version_record.h"

#include <string>

namespace app {

// The built-in record: owner "VELMORA", the project's major, minor and patch numbers as Major, Minor
// and Build, release and date unknown.
const image::VersionRecord& programVersionRecord();

// The record's version text ("1.00", "1.02b3"), or "NONE" when the record does not hold a version.
std::string programVersionText();

} // namespace app
