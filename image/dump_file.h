#pragma once
// TDUMPFile: the memory image. A byte buffer indexed by device address with one filled mark per
// byte, the filled range, the runs of filled bytes (segments) and a CRC over the range.
//
// The image knows no file format except raw binary bytes; the derived levels add the version
// record (TDUMPVersionedFile), the packed envelope (TDUMPq7rEncodedFile) and Intel HEX files
// (THEXFile). They hook into loading and saving through the virtual operations below:
//   load:  CanLoad -> (Clear unless appending) -> bytes and marks written -> AfterLoad -> Update
//   save:  Update -> BeforeSave -> the bytes of savedImage() written -> releaseSavedImage -> AfterSave
// A save never changes the image: BeforeSave prepares what is written in a scratch buffer, which is
// let go before the save returns.
//
// Nothing raises; operations that can fail return a boolean or a FileResult.

#include "base/crc_generator.h"
#include "image/file_result.h"
#include "image/image_buffer.h"
#include "image/image_crc_params.h"
#include "image/image_view.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace image {

class ByteJournal;

// One run of consecutive filled addresses.
struct Segment {
    int32_t Start = 0;
    int32_t Count = 0;
    bool operator==(const Segment&) const = default;
};

class TDUMPFile {
  public:
    // Capacity 0x800000.
    TDUMPFile();
    // Capacity := min(capacity, 0x800000). Data and Filled hold zeros until the first Clear;
    // the CRC generator computes the standard CRC-32 until SetCRCParams is called.
    explicit TDUMPFile(int32_t capacity);
    virtual ~TDUMPFile();

    // --- Fields (read by the other subsystems; Data and Filled are also written by device reads
    // and the dump view, which then call Update) ---
    bool AutoCRC = false;             // Update also recomputes the CRC and runs CheckImage
    base::TCRCGenerator CRCGenerator; // generator used for CRC
    std::string FileName;             // file last loaded (native path, UTF-8); empty after Clear
    int32_t StartAddr = 0;            // lowest filled address in the range, -1 when none
    int32_t EndAddr = 0;              // highest filled address in the range, -1 when none
    int32_t FilledCount = 0;          // filled bytes from StartAddr to EndAddr
    int32_t Length = 0;               // EndAddr - StartAddr + 1 (1 when empty)
    int32_t BlockCount = 0;           // device pages of the range; set by the file workflow
    int32_t Capacity = 0;             // usable size, at most 0x800000
    ImageBuffer Data;                 // 0x800001 bytes, index = device address
    ImageBuffer Filled;               // 0x800001 marks: 1 = holds data, 0 = empty
    std::vector<Segment> Segments;    // runs of filled addresses in the range, ascending
    uint32_t CRC = 0;                 // last value computed by CalcCRC
    bool Encoded = false;             // loaded from a packed envelope

    // --- Hooks ---
    virtual bool CanLoad() { return true; }
    // Rescan; true.
    virtual bool AfterLoad();
    // True when the image can be saved; prepares savedImage().
    virtual bool BeforeSave() { return true; }
    virtual bool AfterSave() { return true; }
    // Rescan; then, with AutoCRC, CheckImage.
    virtual void Update();
    // CalcCRC.
    virtual void CheckImage();
    // StartAddr := Capacity, EndAddr := 0, FileName, Length, BlockCount and CRC cleared; Data
    // [0 .. Capacity-1] := 0xFF; all marks cleared; Segments emptied; then Update.
    virtual void Clear();

    // --- Range and segments ---
    // Range := the first and last filled addresses in Low .. High (each clamped to 0 .. 0x800000);
    // Length := EndAddr - StartAddr + 1; BuildSegments. Marks outside the window stay set.
    void FindRange(int32_t low, int32_t high);
    void Rescan() { FindRange(0, kMaxImageSize); }
    // Rebuilds the marks from the data: every address from the first to the last byte below
    // Capacity that is not 0xFF is marked filled (0xFF bytes between them included). When every
    // byte is 0xFF the previous range is kept and marked, if it lies inside the buffer.
    void MarkNonBlank();
    // Segments and FilledCount from the marks between StartAddr and EndAddr.
    void BuildSegments();
    int32_t SegmentCount() const { return static_cast<int32_t>(Segments.size()); }

    // --- CRC ---
    // Resets CRCGenerator, feeds Data[StartAddr .. StartAddr + Length - 1] (nothing when the range
    // is empty), stores the result in CRC and returns it.
    uint32_t CalcCRC();
    // The same with the caller's generator; CRC is not changed.
    uint32_t CalcCRCWith(base::TCRCGenerator& generator) const;
    void SetAutoCRC(bool value) { AutoCRC = value; }
    // Hands the parameters to CRCGenerator, then Update.
    void SetCRCParams(int32_t width, uint32_t polynom, uint32_t xorValue, bool tableSwap, bool reflected,
                      uint32_t initial);
    void SetCRCParams(const ImageCrcParams& params);

    // --- Loading and saving ---
    // Places `bytes` at Address (negative counts as 0) and marks them; FileName := empty. Clears
    // first unless appending. Fails when CanLoad refuses, or when Address + size would pass
    // 0x800000 (then nothing is placed; a non-appending load has already cleared the image).
    // Otherwise the result is that of AfterLoad; Update runs in every case after the bytes are placed.
    bool LoadFromStream(int32_t address, std::span<const uint8_t> bytes, bool append);
    // LoadFromStream(0, bytes, false).
    bool LoadWholeStream(std::span<const uint8_t> bytes) { return LoadFromStream(0, bytes, false); }
    // Raw binary file at Address (negative counts as 0); clears first unless appending. A file
    // larger than the room above Address fails before any byte is placed. FileName := the path
    // unless appending. The result is that of AfterLoad; Update runs after the bytes are placed.
    // Messages: "Не могу открыть файл: " + path.
    FileResult LoadBinaryFile(const std::string& fileName, int32_t address, bool append);
    // Update, BeforeSave, then Data[0 .. EndAddr] of the saved image written from address 0 through
    // a temporary file renamed over the target. Messages: "Не могу сохранить файл: " + path.
    FileResult SaveBinaryFile(const std::string& fileName);

  protected:
    TDUMPFile(const TDUMPFile&) = default;
    TDUMPFile& operator=(const TDUMPFile&) = default;
    TDUMPFile(TDUMPFile&&) = default;
    TDUMPFile& operator=(TDUMPFile&&) = default;

    // What a save writes: the image itself unless BeforeSave prepared something else.
    virtual ImageView savedImage() const;
    // Lets go of what BeforeSave prepared, which can be as large as the image.
    virtual void releaseSavedImage() {}
    ImageView wholeImage() const;
    // Marks Filled[address .. address + count - 1] and copies the bytes; the caller checked the range.
    void placeBytes(int32_t address, const uint8_t* bytes, size_t count);
    // Keeps buffer[offset .. offset + count - 1] as it is now when the load in progress may be undone.
    void keepForUndo(ImageBuffer& buffer, size_t offset, size_t count);

    ByteJournal* m_journal = nullptr; // set while a load on top of the contents may still be undone

  private:
    // Data[0 .. EndAddr] of savedImage() as a raw binary file.
    bool writeBinary(const std::string& fileName) const;
};

// "Не могу открыть файл: " + path and "Не могу сохранить файл: " + path.
std::string cannotOpenMessage(const std::string& path);
std::string cannotSaveMessage(const std::string& path);

} // namespace image
