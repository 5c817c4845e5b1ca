#include "image/dump_file.h"

#include "base/atomic_file.h"
#include "base/file_reader.h"
#include "image/byte_journal.h"
#include "image/hex_text.h"

#include <algorithm>
#include <cstring>

namespace image {

namespace {

// Marks are mostly 0 or mostly 1 in long runs, and a scan crosses up to 8 MiB of them several times a
// load: whole blocks are compared with zeros by memcmp (vectorised), bytes only inside the block
// that holds the mark.
constexpr int32_t kScanBlock = 4096;
constexpr uint8_t kZeroBlock[kScanBlock] = {};

bool zeroBlock(const uint8_t* marks) {
    return std::memcmp(marks, kZeroBlock, kScanBlock) == 0;
}

// Index of the first non-zero mark in [from, to), or `to`.
int32_t findFilled(const uint8_t* marks, int32_t from, int32_t to) {
    int32_t a = from;
    while (a + kScanBlock <= to && zeroBlock(marks + a))
        a += kScanBlock;
    for (; a < to; ++a)
        if (marks[a] != 0)
            return a;
    return to;
}

// Index of the last non-zero mark in [from, to), or from - 1.
int32_t findLastFilled(const uint8_t* marks, int32_t from, int32_t to) {
    int32_t a = to;
    while (a - kScanBlock >= from && zeroBlock(marks + a - kScanBlock))
        a -= kScanBlock;
    for (; a > from; --a)
        if (marks[a - 1] != 0)
            return a - 1;
    return from - 1;
}

// Index of the first zero mark in [from, to), or `to`.
int32_t findEmpty(const uint8_t* marks, int32_t from, int32_t to) {
    const void* hit = std::memchr(marks + from, 0, static_cast<size_t>(to - from));
    return hit ? static_cast<int32_t>(static_cast<const uint8_t*>(hit) - marks) : to;
}

} // namespace

std::string cannotOpenMessage(const std::string& path) {
    return "Не могу открыть файл: " + path;
}

namespace {

FileResult binaryLoadFailure(const std::string& path, const std::string& reason) {
    return FileResult::failure(cannotOpenMessage(path) + " (" + reason + ")", reason);
}

} // namespace
std::string cannotSaveMessage(const std::string& path) {
    return "Не могу сохранить файл: " + path;
}

TDUMPFile::TDUMPFile() : TDUMPFile(kMaxImageSize) {}

TDUMPFile::TDUMPFile(int32_t capacity)
    : CRCGenerator(32, 0x04C11DB7u, 0xFFFFFFFFu, true, false, 0xFFFFFFFFu),
      Capacity(std::clamp(capacity, 0, kMaxImageSize)), Data(kImageBufferSize), Filled(kImageBufferSize) {}

TDUMPFile::~TDUMPFile() = default;

bool TDUMPFile::AfterLoad() {
    Rescan();
    return true;
}

void TDUMPFile::Update() {
    Rescan();
    if (AutoCRC)
        CheckImage();
}

void TDUMPFile::CheckImage() {
    CalcCRC();
}

void TDUMPFile::Clear() {
    StartAddr = Capacity;
    EndAddr = 0;
    FileName.clear();
    Length = 0;
    BlockCount = 0;
    CRC = 0;
    std::memset(Data.data(), kEmptyByte, static_cast<size_t>(Capacity));
    std::memset(Filled.data(), 0, Filled.size());
    Segments.clear();
    Update();
}

void TDUMPFile::FindRange(int32_t low, int32_t high) {
    low = std::clamp(low, 0, kMaxImageSize);
    high = std::min(high, kMaxImageSize);
    StartAddr = -1;
    EndAddr = -1;
    if (high >= low) {
        const int32_t first = findFilled(Filled.data(), low, high + 1);
        if (first <= high) {
            StartAddr = first;
            EndAddr = findLastFilled(Filled.data(), first, high + 1);
        }
    }
    Length = EndAddr - StartAddr + 1;
    BuildSegments();
}

void TDUMPFile::BuildSegments() {
    Segments.clear();
    FilledCount = 0;
    if (StartAddr < 0 || EndAddr < StartAddr)
        return;
    const int32_t end = std::min(EndAddr, kMaxImageSize) + 1;
    int32_t a = StartAddr;
    while (a < end) {
        const int32_t runStart = findFilled(Filled.data(), a, end);
        if (runStart >= end)
            break;
        const int32_t runEnd = findEmpty(Filled.data(), runStart, end);
        Segments.push_back({runStart, runEnd - runStart});
        FilledCount += runEnd - runStart;
        a = runEnd;
    }
}

void TDUMPFile::MarkNonBlank() {
    std::memset(Filled.data(), 0, static_cast<size_t>(Capacity));
    const uint8_t* begin = Data.data();
    const uint8_t* end = begin + Capacity;
    const uint8_t* first = std::find_if(begin, end, [](uint8_t b) { return b != kEmptyByte; });
    if (first != end) {
        const uint8_t* last = end - 1;
        while (*last == kEmptyByte)
            --last;
        StartAddr = static_cast<int32_t>(first - begin);
        EndAddr = static_cast<int32_t>(last - begin);
    }
    if (StartAddr >= 0 && EndAddr >= StartAddr && EndAddr < Capacity)
        std::memset(Filled.data() + StartAddr, 1, static_cast<size_t>(EndAddr - StartAddr + 1));
    Length = EndAddr - StartAddr + 1;
    BuildSegments();
}

uint32_t TDUMPFile::CalcCRC() {
    CRC = CalcCRCWith(CRCGenerator);
    return CRC;
}

uint32_t TDUMPFile::CalcCRCWith(base::TCRCGenerator& generator) const {
    generator.Reset();
    if (StartAddr >= 0 && Length > 0 && StartAddr + Length <= kImageBufferSize)
        generator.AddBytes(Data.data() + StartAddr, Length);
    return generator.CRC();
}

void TDUMPFile::SetCRCParams(int32_t width, uint32_t polynom, uint32_t xorValue, bool tableSwap,
                             bool reflected, uint32_t initial) {
    CRCGenerator.SetParameters(width, polynom, xorValue, tableSwap, reflected, initial);
    Update();
}

void TDUMPFile::SetCRCParams(const ImageCrcParams& params) {
    SetCRCParams(params.width, params.polynom, params.xorValue, params.swap, params.reflected,
                 params.initial);
}

void TDUMPFile::placeBytes(int32_t address, const uint8_t* bytes, size_t count) {
    if (count == 0)
        return;
    keepForUndo(Data, static_cast<size_t>(address), count);
    keepForUndo(Filled, static_cast<size_t>(address), count);
    std::memcpy(Data.data() + address, bytes, count);
    std::memset(Filled.data() + address, 1, count);
}

void TDUMPFile::keepForUndo(ImageBuffer& buffer, size_t offset, size_t count) {
    if (m_journal)
        m_journal->keep(buffer, offset, count);
}

bool TDUMPFile::LoadFromStream(int32_t address, std::span<const uint8_t> bytes, bool append) {
    if (!CanLoad())
        return false;
    if (!append)
        Clear();
    address = std::max(address, 0);
    if (static_cast<int64_t>(address) + static_cast<int64_t>(bytes.size()) > kMaxImageSize)
        return false;
    placeBytes(address, bytes.data(), bytes.size());
    FileName.clear();
    const bool ok = AfterLoad();
    Update();
    return ok;
}

FileResult TDUMPFile::LoadBinaryFile(const std::string& fileName, int32_t address, bool append) {
    if (!CanLoad())
        return FileResult::failure(cannotOpenMessage(fileName));
    if (!append)
        Clear();
    address = std::max(address, 0);
    std::vector<uint8_t> bytes;
    switch (base::readFileBytes(fileName, static_cast<uint64_t>(kMaxImageSize - address), bytes)) {
    case base::ReadStatus::Ok:
        break;
    case base::ReadStatus::TooLarge:
        return binaryLoadFailure(fileName, "файл не помещается в образ выше адреса " +
                                               AddrToHex0x(static_cast<uint32_t>(address)));
    case base::ReadStatus::Missing:
    case base::ReadStatus::NotRegularFile:
    case base::ReadStatus::CannotOpen:
        return binaryLoadFailure(fileName, "файла нет, он не читается или это не обычный файл");
    }
    placeBytes(address, bytes.data(), bytes.size());
    if (!append)
        FileName = fileName;
    const bool ok = AfterLoad();
    Update();
    return ok ? FileResult::success() : FileResult::failure(cannotOpenMessage(fileName));
}

ImageView TDUMPFile::wholeImage() const {
    return {Data.data(), Filled.data(), StartAddr, EndAddr};
}

ImageView TDUMPFile::savedImage() const {
    return wholeImage();
}

bool TDUMPFile::writeBinary(const std::string& fileName) const {
    const ImageView view = savedImage();
    const size_t size = view.endAddr >= 0 ? static_cast<size_t>(view.endAddr) + 1 : 0;
    return base::writeFileAtomically(fileName, {reinterpret_cast<const char*>(view.data), size}).ok();
}

FileResult TDUMPFile::SaveBinaryFile(const std::string& fileName) {
    Update();
    const bool written = BeforeSave() && writeBinary(fileName);
    releaseSavedImage();
    if (!written)
        return FileResult::failure(cannotSaveMessage(fileName));
    AfterSave();
    return FileResult::success();
}

} // namespace image
