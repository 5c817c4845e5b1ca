#pragma once
// TDUMPVersionedFile: the memory image with the version record and compatibility list found
// inside it. Every load finds them (AfterLoad -> FindVersion); every Update with AutoCRC checks
// the image against the record's CRC (Damaged) and its size (SizeMismatch).

#include "image/dump_file.h"
#include "image/version_record.h"

#include <span>
#include <vector>

namespace image {

inline constexpr uint8_t kStatusDamaged = 0x01;      // the image CRC does not match ImageCRC
inline constexpr uint8_t kStatusSizeMismatch = 0x04; // Length differs from ImageSize

class TDUMPVersionedFile : public TDUMPFile {
  public:
    TDUMPVersionedFile() : TDUMPVersionedFile(kMaxImageSize) {}
    explicit TDUMPVersionedFile(int32_t capacity);

    uint8_t Status = 0;                           // kStatus* bits
    base::TCRC32Generator VersionCRC;             // standard CRC-32 for ImageCRC, the list CRC and SWID
    int32_t VersionPos = -1;                      // offset of the record, -1 = none
    int32_t CListPos = -1;                        // offset of the compatibility list block, -1 = none
    VersionRecord Version = emptyVersionRecord(); // the record found, or the empty record
    std::vector<uint16_t> CList;                  // compatibility list entries
    bool CListBad = false;                        // the list's stored CRC does not match

    bool Damaged() const { return (Status & kStatusDamaged) != 0; }
    bool SizeMismatch() const { return (Status & kStatusSizeMismatch) != 0; }
    uint32_t SWID() const { return CalcSWID(Version); }

    // Base AfterLoad, then FindVersion; true.
    bool AfterLoad() override;
    // Prepares the saved bytes: the image with Version written back over its record and the list
    // CRC refreshed (WriteVersion on a copy); the image itself is not changed.
    bool BeforeSave() override;
    // Base Update; then SizeMismatch := (record present and Length != ImageSize).
    void Update() override;
    // CalcCRC; Damaged := the record's ImageCRC differs from the CRC-32 of StartAddr .. EndAddr with
    // the record's CRC field read as FF FF FF FF. Nothing outside 0 .. EndAddr is read.
    void CheckImage() override;
    // Resets the record and the list, then the base Clear.
    void Clear() override;

    // Record and list in Data[0 .. EndAddr] (the list may extend past EndAddr, not past Data).
    virtual void FindVersion();
    // Writes Version over the first record in `target` and refreshes the CRC of the list block at
    // CListPos when it lies inside `target`.
    virtual void WriteVersion(std::span<uint8_t> target);

  protected:
    TDUMPVersionedFile(const TDUMPVersionedFile&) = default;
    TDUMPVersionedFile& operator=(const TDUMPVersionedFile&) = default;
    TDUMPVersionedFile(TDUMPVersionedFile&&) = default;
    TDUMPVersionedFile& operator=(TDUMPVersionedFile&&) = default;

    ImageView savedImage() const override;
    void releaseSavedImage() override;
    void resetVersion();
    // Feeds VersionCRC with the record bytes 0..53, four 0xFF bytes and bytes 58..63.
    void feedRecordWithoutCrc(const VersionRecord& record);

    // Scratch copy a save writes from, let go when the save returns.
    std::vector<uint8_t> m_saveData;
    std::vector<uint8_t> m_saveFilled;
    int32_t m_saveStart = -1;
    int32_t m_saveEnd = -1;
    bool m_saveFromScratch = false;
};

} // namespace image
