#include "image/dump_versioned_file.h"

#include "image/compat_list.h"

#include <algorithm>
#include <cstring>

namespace image {

TDUMPVersionedFile::TDUMPVersionedFile(int32_t capacity) : TDUMPFile(capacity) {}

void TDUMPVersionedFile::resetVersion() {
    Version = emptyVersionRecord();
    VersionPos = -1;
    CListPos = -1;
    CList.clear();
    CListBad = false;
}

bool TDUMPVersionedFile::AfterLoad() {
    TDUMPFile::AfterLoad();
    FindVersion();
    return true;
}

void TDUMPVersionedFile::FindVersion() {
    VersionPos = FindVersionRecord(Data.data(), static_cast<int64_t>(EndAddr) + 1, Version);
    const CompatListMatch list = findCompatList(Data.data(), static_cast<int64_t>(Data.size()), EndAddr);
    CListPos = list.position;
    CList = list.entries;
    CListBad = list.crcBad;
}

void TDUMPVersionedFile::WriteVersion(std::span<uint8_t> target) {
    if (VersionPos >= 0)
        WriteVersionRecord(target.data(), static_cast<int64_t>(target.size()), Version);
    if (CListPos >= 0 && static_cast<size_t>(CListPos) + 8 <= target.size()) {
        const size_t n = target[static_cast<size_t>(CListPos) + 7];
        const size_t crcAt = static_cast<size_t>(CListPos) + 8 + 2 * n;
        if (crcAt + 4 <= target.size()) {
            const uint32_t crc = standardCrc32(target.data() + CListPos + 7, 1 + 2 * n);
            for (size_t i = 0; i < 4; ++i)
                target[crcAt + i] = static_cast<uint8_t>(crc >> (8 * i));
        }
    }
}

bool TDUMPVersionedFile::BeforeSave() {
    m_saveFromScratch = false;
    if (VersionPos < 0 && CListPos < 0)
        return true;
    // The list block may reach past EndAddr; copy enough to hold it.
    int64_t end = static_cast<int64_t>(EndAddr) + 1;
    if (CListPos >= 0)
        end = std::max<int64_t>(end, CListPos + compatListBlockSize(CList.size()));
    end = std::min<int64_t>(end, static_cast<int64_t>(Data.size()));
    m_saveData.assign(Data.data(), Data.data() + end);
    m_saveFilled.assign(Filled.data(), Filled.data() + end);
    WriteVersion(m_saveData);
    m_saveStart = StartAddr;
    m_saveEnd = EndAddr;
    m_saveFromScratch = true;
    return true;
}

ImageView TDUMPVersionedFile::savedImage() const {
    if (!m_saveFromScratch)
        return wholeImage();
    return {m_saveData.data(), m_saveFilled.data(), m_saveStart, m_saveEnd};
}

void TDUMPVersionedFile::releaseSavedImage() {
    m_saveData = std::vector<uint8_t>();
    m_saveFilled = std::vector<uint8_t>();
    m_saveFromScratch = false;
}

void TDUMPVersionedFile::Update() {
    TDUMPFile::Update();
    if (IsVersionPresent(Version) && static_cast<uint32_t>(Length) != Version.ImageSize())
        Status |= kStatusSizeMismatch;
    else
        Status &= static_cast<uint8_t>(~kStatusSizeMismatch);
}

void TDUMPVersionedFile::feedRecordWithoutCrc(const VersionRecord& record) {
    static constexpr uint8_t kBlankCrc[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    VersionCRC.AddBytes(record.bytes.data(), 54);
    VersionCRC.AddBytes(kBlankCrc, 4);
    VersionCRC.AddBytes(record.bytes.data() + 58, 6);
}

void TDUMPVersionedFile::CheckImage() {
    TDUMPFile::CheckImage();
    Status &= static_cast<uint8_t>(~kStatusDamaged);
    if (VersionPos < 0)
        return;
    VersionCRC.Reset();
    // Only bytes inside 0 .. EndAddr are fed, so an empty or narrowed range reads nothing outside.
    const int64_t first = std::max<int32_t>(StartAddr, 0);
    const int64_t last = EndAddr;
    if (last >= 0) {
        const int64_t beforeEnd = std::min<int64_t>(VersionPos, last + 1);
        if (beforeEnd > first)
            VersionCRC.AddBytes(Data.data() + first, beforeEnd - first);
    }
    feedRecordWithoutCrc(Version);
    const int64_t after = std::max<int64_t>(static_cast<int64_t>(VersionPos) + kVersionRecordSize, first);
    if (last >= after)
        VersionCRC.AddBytes(Data.data() + after, last - after + 1);
    if (VersionCRC.CRC() != Version.ImageCRC())
        Status |= kStatusDamaged;
}

void TDUMPVersionedFile::Clear() {
    resetVersion();
    TDUMPFile::Clear();
}

} // namespace image
