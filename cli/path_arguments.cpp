#include "cli/path_arguments.h"

#include "base/atomic_file.h"

namespace cli {

const char* readFailureText(base::ReadStatus status) {
    switch (status) {
    case base::ReadStatus::Ok:
        return "read";
    case base::ReadStatus::Missing:
        return "no such file";
    case base::ReadStatus::NotRegularFile:
        return "not a regular file (a folder, FIFO or device)";
    case base::ReadStatus::CannotOpen:
        return "cannot be read (no permission?)";
    case base::ReadStatus::TooLarge:
        return "larger than 1 GiB";
    }
    return "cannot be read";
}

bool readInputFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& why) {
    const base::ReadStatus status = base::readFileBytes(path, kMaxInputFileSize, bytes);
    if (status == base::ReadStatus::Ok)
        return true;
    why = path + ": " + readFailureText(status);
    return false;
}

CLI::Validator writableOutputFile() {
    return CLI::Validator(
        [](std::string& path) {
            std::string error;
            return base::canWriteFileAtomically(path, error) ? std::string() : error;
        },
        "FILE", "writable output file");
}

} // namespace cli
