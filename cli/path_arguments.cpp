#include "cli/path_arguments.h"

#include "base/write_failure_text.h"
#include "cli/text_table.h"
#include "protocol/vpdf_reader.h"

namespace cli {

const char* readFailureText(base::ReadStatus status) {
    static constexpr TextFor<base::ReadStatus> kTexts[] = {
        {base::ReadStatus::Ok, "read"},
        {base::ReadStatus::Missing, "no such file"},
        {base::ReadStatus::NotRegularFile, "not a regular file (a folder, FIFO or device)"},
        {base::ReadStatus::CannotOpen, "cannot be read (no permission?)"},
        {base::ReadStatus::TooLarge, "larger than 1 GiB"},
    };
    return textFor(status, kTexts, "cannot be read");
}

const char* protocolReadText(int readResult) {
    static constexpr TextFor<int> kTexts[] = {
        {protocol::kReadOk, "read"},
        {protocol::kReadDamaged, "damaged"},
        {protocol::kReadUnreadable, "exists but cannot be read (no permission, or not a regular file)"},
    };
    return textFor(readResult, kTexts, "missing");
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
        [](std::string& path) { return base::writeFailureTextEnglish(base::canWriteFileAtomically(path)); },
        "FILE", "writable output file");
}

} // namespace cli
