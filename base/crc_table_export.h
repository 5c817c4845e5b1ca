#pragma once
// The CRC table export: the generator's 256 table entries as C source text.
//
// 33 lines, each ended by a line feed: the header "usigned int CRC_table[256]={" (spelled so, as
// files made before rely on it), then 32 lines of eight entries, each line 14 spaces and every entry
// followed by ","; the last line ends in "};" instead of its final ",". An entry is "0x" and four
// upper-case hexadecimal digits of its low 16 bits for a 16-bit generator, "0x" and eight digits
// otherwise.

#include "base/atomic_file.h"
#include "base/crc_generator.h"

#include <filesystem>
#include <string>

namespace base {

// The export text of the generator's current table.
std::string crcTableExportText(const TCRCGenerator& generator);

// Writes the export text to `path` through a temporary file and a rename; a failure leaves an
// existing file untouched.
WriteResult writeCrcTableExport(const std::filesystem::path& path, const TCRCGenerator& generator);

} // namespace base
