#include "image/hex_file.h"

#include "base/atomic_file.h"
#include "base/file_reader.h"
#include "image/byte_journal.h"
#include "image/intel_hex_reader.h"
#include "image/intel_hex_writer.h"

#include <memory>

namespace image {

namespace {

// Intel HEX text of a full image is about 23 MiB; anything far beyond is not an image file.
constexpr uint64_t kMaxHexFileSize = 256ull * 1024 * 1024;

} // namespace

THEXFile::THEXFile(int32_t capacity) : TDUMPq7rEncodedFile(capacity) {}

FileResult THEXFile::loadFailure(const std::string& fileName, const std::string& reason) const {
    if (containerDamaged()) {
        FileResult result = FileResult::failure("Файл поврежден :" + fileName);
        result.damaged = true;
        return result;
    }
    std::string message = cannotOpenMessage(fileName);
    if (!reason.empty())
        message += " (" + reason + ")";
    return FileResult::failure(message, reason);
}

FileResult THEXFile::LoadFromFile(uint8_t fileType, int32_t address, bool append, const std::string& fileName,
                                  const std::function<bool(const THEXFile&)>& accept) {
    if (!append)
        return loadInPlace(fileType, address, append, fileName);
    // The load goes into the image itself; one that fails or is refused is undone: the state from
    // before comes back, and the bytes it overwrote from the journal.
    std::unique_ptr<THEXFile> before = stateWithoutBytes();
    ByteJournal journal;
    m_journal = &journal;
    FileResult result = loadInPlace(fileType, address, append, fileName);
    m_journal = nullptr;
    if (result && accept && !accept(*this))
        result = FileResult::failure({});
    if (!result)
        undoLoad(*before, journal);
    return result;
}

std::unique_ptr<THEXFile> THEXFile::stateWithoutBytes() {
    ImageBuffer data = std::move(Data);
    ImageBuffer filled = std::move(Filled);
    ImageBuffer raw = std::move(RawData);
    auto state = std::unique_ptr<THEXFile>(new THEXFile(*this));
    Data = std::move(data);
    Filled = std::move(filled);
    RawData = std::move(raw);
    return state;
}

void THEXFile::undoLoad(THEXFile& before, ByteJournal& journal) {
    journal.restore();
    before.Data = std::move(Data);
    before.Filled = std::move(Filled);
    before.RawData = std::move(RawData);
    *this = std::move(before);
}

FileResult THEXFile::loadInPlace(uint8_t fileType, int32_t address, bool append,
                                 const std::string& fileName) {
    if (fileType == kFileTypeDetect)
        fileType = detectFileType(fileName);
    FileResult result;
    switch (fileType) {
    case kFileTypeHex:
        result = LoadHexFile(address, fileName, append);
        break;
    case kFileTypeBinary:
    case kFileTypeEnvelope:
        result = LoadBinaryFile(fileName, address, append);
        // A file that was read but failed to decode says why; one that was not read already does.
        if (!result && (result.reason.empty() || containerDamaged()))
            result = loadFailure(fileName, decodeError());
        break;
    case kFileTypeMapBin:
        FileType = fileType;
        return FileResult::failure("Формат MAPBIN не поддерживается: " + fileName,
                                   "формат MAPBIN не поддерживается");
    default:
        FileType = fileType;
        return FileResult::failure(cannotOpenMessage(fileName) + " (неизвестный тип файла)",
                                   "неизвестный тип файла");
    }
    FileType = IsEnvelope ? kFileTypeEnvelope : fileType;
    return result;
}

FileResult THEXFile::LoadHexFile(int32_t address, const std::string& fileName, bool append) {
    if (!CanLoad())
        return loadFailure(fileName, {});
    if (!append) {
        Clear();
        FileName = fileName;
    }
    std::vector<uint8_t> text;
    const base::ReadStatus status = base::readFileBytes(fileName, kMaxHexFileSize, text);
    FileType = kFileTypeHex;
    if (status != base::ReadStatus::Ok) {
        Update();
        return loadFailure(fileName, status == base::ReadStatus::TooLarge ? "файл слишком велик" : "");
    }
    const IntelHexReadResult read =
        readIntelHex({reinterpret_cast<const char*>(text.data()), text.size()}, address,
                     [this](uint32_t at, const uint8_t* bytes, size_t count) {
                         placeBytes(static_cast<int32_t>(at), bytes, count);
                     });
    bool ok = read.ok();
    if (ok)
        ok = AfterLoad();
    Update();
    if (!read.ok())
        return loadFailure(fileName,
                           "строка " + std::to_string(read.line) + ": " + intelHexErrorText(read.error));
    return ok ? FileResult::success() : loadFailure(fileName, decodeError());
}

FileResult THEXFile::SaveHexFile(const std::string& fileName) {
    Update();
    bool written = false;
    if (BeforeSave())
        written = base::writeFileAtomically(fileName, writeIntelHex(savedImage())).ok();
    releaseSavedImage();
    if (!written)
        return FileResult::failure(cannotSaveMessage(fileName));
    AfterSave();
    return FileResult::success();
}

} // namespace image
