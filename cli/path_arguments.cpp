#include "cli/path_arguments.h"

#include "protocol/atomic_file.h"

namespace cli {

const char* readFailureText(protocol::ReadStatus status) {
    switch (status) {
    case protocol::ReadStatus::Ok:
        return "read";
    case protocol::ReadStatus::Missing:
        return "no such file";
    case protocol::ReadStatus::NotRegularFile:
        return "not a regular file (a folder, FIFO or device)";
    case protocol::ReadStatus::CannotOpen:
        return "cannot be read (no permission?)";
    case protocol::ReadStatus::TooLarge:
        return "larger than 1 GiB";
    }
    return "cannot be read";
}

bool readInputFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& why) {
    const protocol::ReadStatus status = protocol::readFileBytes(path, kMaxInputFileSize, bytes);
    if (status == protocol::ReadStatus::Ok)
        return true;
    why = path + ": " + readFailureText(status);
    return false;
}

CLI::Validator writableOutputFile() {
    return CLI::Validator(
        [](std::string& path) {
            std::string error;
            return protocol::canWriteFileAtomically(path, error) ? std::string() : error;
        },
        "FILE", "writable output file");
}

} // namespace cli
