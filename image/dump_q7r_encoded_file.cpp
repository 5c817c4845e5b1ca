#include "image/dump_q7r_encoded_file.h"

#include "image/arc.h"
#include "image/compat_list.h"
#include "image/running_sum_coder.h"

#include <algorithm>
#include <cstring>

namespace image {

namespace {

constexpr char kFirmwareName[] = "firmware";

} // namespace

TDUMPq7rEncodedFile::TDUMPq7rEncodedFile(int32_t capacity) : TDUMPVersionedFile(capacity) {}

void TDUMPq7rEncodedFile::forgetEnvelope() {
    IsEnvelope = false;
    Encoded = false;
    Header.fill(0);
}

void TDUMPq7rEncodedFile::findEnvelopeList(uint32_t listAt) {
    // The list window is 256 bytes at T, cut at the end of the loaded bytes.
    const int64_t loaded = static_cast<int64_t>(EndAddr) + 1;
    const int64_t size = std::clamp<int64_t>(loaded - listAt, 0, kEnvelopeListWindow);
    std::vector<uint8_t> window(Data.data() + listAt, Data.data() + listAt + size);
    runningSumDecode(window);
    const CompatListMatch list = findCompatList(window.data(), size, size);
    CListPos = list.position;
    CList = list.entries;
    CListBad = list.crcBad;
}

bool TDUMPq7rEncodedFile::decodeEnvelope() {
    const int64_t loaded = static_cast<int64_t>(EndAddr) + 1;
    const std::span<const uint8_t> bytes(Data.data(), static_cast<size_t>(std::max<int64_t>(loaded, 0)));
    if (loaded < kEnvelopeSizeAt + 4) {
        m_decodeError = "конверт короче своего заголовка";
        return false;
    }
    if (loaded > kMaxImageSize) {
        m_decodeError = "конверт больше 0x800000 байт";
        return false;
    }
    const uint32_t total = readLe32(bytes.data() + kEnvelopeSizeAt);
    if (total < static_cast<uint32_t>(kEnvelopeSizeAt + 4) || total > loaded) {
        m_decodeError = "размер конверта указывает за пределы файла";
        return false;
    }
    IsEnvelope = true;
    Encoded = true;
    EnvVersion = emptyVersionRecord();
    Header = decodeEnvelopeHeader(bytes.data() + kEnvelopeHeaderAt);
    Packed = loaded > kEnvelopePackedAt && bytes[kEnvelopePackedAt] == 1;

    if (!Packed) {
        findEnvelopeList(total);
        RawLength = static_cast<int32_t>(total);
        keepForUndo(RawData, 0, total);
        std::memcpy(RawData.data(), bytes.data(), total);
        return true;
    }

    m_envRecordFound = decodeEnvelopeRecord(bytes.data() + kEnvelopeRecordAt, EnvVersion);
    findEnvelopeList(total);
    RawLength = static_cast<int32_t>(loaded);
    keepForUndo(RawData, 0, bytes.size());
    std::memcpy(RawData.data(), bytes.data(), bytes.size());

    if (!packedLayoutFits(bytes)) {
        m_decodeError = "поля конверта указывают за пределы файла";
        return false;
    }
    TArc arc;
    std::vector<uint8_t> unpacked;
    if (!arc.Unpack(bytes, unpacked)) {
        m_containerDamaged = arc.ErrorCode() == ArcError::BadCrc;
        m_decodeError =
            m_containerDamaged ? "контрольная сумма конверта не совпадает" : "данные конверта повреждены";
        return false;
    }
    if (unpacked.size() > static_cast<size_t>(kMaxImageSize)) {
        m_decodeError = "распакованный образ больше 0x800000 байт";
        return false;
    }
    keepForUndo(Data, 0, unpacked.size());
    keepForUndo(Filled, 0, Filled.size());
    if (!unpacked.empty())
        std::memcpy(Data.data(), unpacked.data(), unpacked.size());
    std::memset(Filled.data(), 1, unpacked.size());
    std::memset(Filled.data() + unpacked.size(), 0, Filled.size() - unpacked.size());
    return true;
}

bool TDUMPq7rEncodedFile::AfterLoad() {
    Rescan();
    m_containerDamaged = false;
    m_decodeError.clear();
    if (!hasEnvelopeMagic({Data.data(), static_cast<size_t>(std::max<int32_t>(EndAddr + 1, 0))})) {
        forgetEnvelope();
        return TDUMPVersionedFile::AfterLoad();
    }
    if (!decodeEnvelope()) {
        forgetEnvelope();
        return false;
    }
    return TDUMPVersionedFile::AfterLoad();
}

void TDUMPq7rEncodedFile::FindVersion() {
    if (!IsEnvelope) {
        TDUMPVersionedFile::FindVersion();
        return;
    }
    if (Packed) {
        // A record counts as present by its markers, as in any other file.
        VersionPos = m_envRecordFound ? 0 : -1;
        Version = EnvVersion;
        return;
    }
    if (decodeEnvelopeRecord(Data.data() + kEnvelopeRecordAt, Version)) {
        VersionPos = kEnvelopeRecordAt;
    } else {
        Version = emptyVersionRecord();
        VersionPos = -1;
    }
}

void TDUMPq7rEncodedFile::WriteVersion(std::span<uint8_t> target) {
    if (!IsEnvelope) {
        TDUMPVersionedFile::WriteVersion(target);
        return;
    }
    if (Packed) {
        EnvVersion = Version;
        return;
    }
    if (target.size() >= static_cast<size_t>(kEnvelopeRecordAt + kVersionRecordSize))
        encodeInto(target.data() + kEnvelopeRecordAt, Version.bytes.data(), Version.bytes.size());
}

bool TDUMPq7rEncodedFile::encodePacked() {
    const size_t size = EndAddr >= 0 ? static_cast<size_t>(EndAddr) + 1 : 0;
    TArc arc;
    if (!arc.Pack({Data.data(), size}, m_saveData, kFirmwareName))
        return false;
    if (CListPos >= 0) {
        const std::vector<uint8_t> block = codedCompatList(CList);
        m_saveData.insert(m_saveData.end(), block.begin(), block.end());
    }
    if (m_saveData.size() > static_cast<size_t>(kMaxImageSize) ||
        m_saveData.size() < static_cast<size_t>(kEnvelopeRecordAt + kVersionRecordSize))
        return false;
    encodeInto(m_saveData.data() + kEnvelopeRecordAt, EnvVersion.bytes.data(), EnvVersion.bytes.size());
    encodeInto(m_saveData.data() + kEnvelopeHeaderAt, Header.data(), Header.size());
    m_saveFilled.assign(m_saveData.size(), 1);
    m_saveStart = 0;
    m_saveEnd = static_cast<int32_t>(m_saveData.size()) - 1;
    return true;
}

bool TDUMPq7rEncodedFile::encodeUnpacked() {
    if (EndAddr < kEnvelopeSizeAt + 3)
        return false;
    const size_t size = static_cast<size_t>(EndAddr) + 1;
    m_saveData.assign(Data.data(), Data.data() + size);
    m_saveFilled.assign(Filled.data(), Filled.data() + size);
    m_saveStart = StartAddr;
    m_saveEnd = EndAddr;
    WriteVersion(m_saveData);
    encodeInto(m_saveData.data() + kEnvelopeHeaderAt, Header.data(), Header.size());
    if (CListPos < 0)
        return true;

    const size_t listAt = readLe32(m_saveData.data() + kEnvelopeSizeAt);
    const size_t windowSize = listAt < size ? std::min<size_t>(size - listAt, kEnvelopeListWindow) : 0;
    std::vector<uint8_t> window(m_saveData.begin() + static_cast<ptrdiff_t>(std::min(listAt, size)),
                                m_saveData.begin() +
                                    static_cast<ptrdiff_t>(std::min(listAt, size) + windowSize));
    runningSumDecode(window);
    const CompatListMatch found = findCompatList(window.data(), static_cast<int64_t>(window.size()),
                                                 static_cast<int64_t>(window.size()));
    const std::vector<uint8_t> block = codedCompatList(CList);
    size_t at = size;
    if (found.position >= 0)
        at = listAt + static_cast<size_t>(found.position);
    if (at + block.size() > static_cast<size_t>(kMaxImageSize))
        return false;
    if (at + block.size() > m_saveData.size()) {
        // Bytes past the loaded range are written by a binary save but carry no marks.
        m_saveData.resize(at + block.size(), kEmptyByte);
        m_saveFilled.resize(at + block.size(), 0);
        m_saveEnd = static_cast<int32_t>(m_saveData.size()) - 1;
    }
    std::copy(block.begin(), block.end(), m_saveData.begin() + static_cast<ptrdiff_t>(at));
    return true;
}

bool TDUMPq7rEncodedFile::BeforeSave() {
    m_saveFromScratch = false;
    if (!IsEnvelope)
        return true;
    if (!(Packed ? encodePacked() : encodeUnpacked()))
        return false;
    m_saveFromScratch = true;
    return true;
}

void TDUMPq7rEncodedFile::CheckImage() {
    if (!IsEnvelope) {
        TDUMPVersionedFile::CheckImage();
        if (m_containerDamaged)
            Status |= kStatusDamaged;
        return;
    }
    // The CRC over the image is kept up to date for envelopes too: the status line and the
    // protocol variable APP_CRC show it.
    CalcCRC();
    Status &= static_cast<uint8_t>(~kStatusDamaged);
    // Without a record there is no CRC to hold the envelope to, as for any other file.
    if (Packed ? !m_envRecordFound : VersionPos < 0)
        return;
    const VersionRecord& record = Packed ? EnvVersion : Version;
    std::vector<uint8_t> coded;
    std::vector<uint8_t> plain;
    if (CListPos >= 0) {
        coded = codedCompatList(CList);
        plain = serializeCompatList(CList);
    }
    // Envelopes in the field carry the list block fed either coded or plain; either one holds.
    const std::span<const uint8_t> raw(RawData.data(), static_cast<size_t>(std::max(RawLength, 0)));
    if (envelopeImageCrc(raw, Header, record, coded) != record.ImageCRC() &&
        envelopeImageCrc(raw, Header, record, plain) != record.ImageCRC())
        Status |= kStatusDamaged;
}

void TDUMPq7rEncodedFile::DropEnvelope() {
    if (IsEnvelope && !Packed) {
        // The firmware of an unpacked envelope is what lies between its fields and its list block.
        // Left out bytes read as empty, so a binary save does not write them either.
        std::memset(Filled.data(), 0, kEnvelopeFixedSize);
        std::memset(Data.data(), kEmptyByte, kEnvelopeFixedSize);
        if (RawLength < EndAddr + 1) {
            const auto tail = static_cast<size_t>(EndAddr + 1 - RawLength);
            std::memset(Filled.data() + RawLength, 0, tail);
            std::memset(Data.data() + RawLength, kEmptyByte, tail);
        }
    }
    forgetEnvelope();
    m_containerDamaged = false;
    Rescan();
    FindVersion();
    Update();
}

void TDUMPq7rEncodedFile::Clear() {
    // New contents (a device read, a cleared buffer) are no envelope: a save must write them as they
    // are. An envelope's own load sets the state again after its Clear.
    m_containerDamaged = false;
    m_envRecordFound = false;
    forgetEnvelope();
    Packed = false;
    RawLength = 0;
    EnvVersion = emptyVersionRecord();
    TDUMPVersionedFile::Clear();
}

} // namespace image
