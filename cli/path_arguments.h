#pragma once
// Paths named on the command line: input files read whole (a CRC's input, a data file, a JSON
// description) and protocol descriptions, where the reader gives the cause and the words for it are
// the tool's; and output
// files, checked while the command line is parsed, so that no work is done for a result that could
// not be saved.

#include "base/file_reader.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// Larger than any firmware or description; a bigger file is refused instead of read into memory.
inline constexpr uint64_t kMaxInputFileSize = uint64_t{1} << 30;

// Reads the whole file at `path` into `bytes`. On failure returns false and sets `why` to the path and
// the cause, e.g. "/tmp: not a regular file".
bool readInputFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& why);

// The words for a failed read: "no such file", "not a regular file", ...
const char* readFailureText(base::ReadStatus status);

// The words for a result of the protocol description reader (kRead…): "read", "damaged", "missing", ...
const char* protocolReadText(int readResult);

// For an output file option: refuses (a usage error, exit 2) a folder, or a path whose folder does not
// exist or takes no new file.
CLI::Validator writableOutputFile();

} // namespace cli
