#pragma once
// TArc: the single-entry container that forms the body of a packed envelope, holding one image
// compressed with the "-lh5-" method.
//
// Container layout (little-endian numbers; offsets in bytes):
//   0    "KTLA"
//   4    32 bytes left for the envelope's header text (zero here)
//   36   64-byte version record placeholder, running-sum coded (the envelope overwrites 4..99)
//   100  container CRC: CRC-32 step from 0xFFFFFFFF over bytes 104 .. T-1, no final inversion
//   104  T, the size of the container
//   108  0;  112  1 (packed);  116  8 zero bytes;  124  entry count (1)
//   128  name length L, name (each byte inverted), original size, data offset D, data end
//        (one past the last compressed byte, plus 1), path length P, path (inverted), 4 zero
//        bytes, 1 zero byte
//   D = 147 + L + P: the "-lh5-" stream, up to T
// Streams are in-memory byte buffers; nothing here touches files.

#include "image/lh5_decoder.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace image {

struct ArcEntry {
    std::string Name;      // code page 1251 bytes, at most 255
    std::string Path;      // code page 1251 bytes, at most 255
    uint32_t Size = 0;     // uncompressed size
    uint32_t FieldPos = 0; // position of the entry's data offset field in the container
};

// The container's own error code, as the envelope reads it.
enum class ArcError : uint8_t {
    None = 0,
    BadCrc = 7, // the container's CRC does not match (or the container is cut short)
};

// Why the last Unpack failed, for messages and logs.
enum class ArcFailure {
    None,
    NotContainer, // no "KTLA" magic
    BadCrc,       // CRC mismatch, or the stored size T points outside the input
    BadEntry,     // the entry header or the data range lies outside the container
    TooLarge,     // the original size exceeds kMaxOrigSize
    BadData,      // the compressed stream is corrupt, truncated or missing
};

class TArc {
  public:
    static constexpr uint32_t kMaxOrigSize = 0x800000; // the memory image's capacity

    TArc() = default;

    // Compresses all of `InStream` into a fresh container in `OutStream` (its old contents are
    // replaced) with one entry named `Name` (code page 1251 bytes, cut to 255) and path "\".
    // Returns false, leaving `OutStream` untouched, when the input is too large for the
    // container's 32-bit fields (2 GiB or more).
    bool Pack(std::span<const uint8_t> InStream, std::vector<uint8_t>& OutStream, std::string_view Name);

    // Checks the container in `InStream` and restores its first entry into `OutStream`.
    // Returns true when exactly the original size was restored. On false `OutStream` is left
    // as it was, ErrorCode() is BadCrc when the CRC check failed (else None) and failure()
    // tells the reason. Never reads outside `InStream`; never produces more than kMaxOrigSize
    // bytes. A corrupt stream under a matching CRC gives false with ErrorCode() None.
    bool Unpack(std::span<const uint8_t> InStream, std::vector<uint8_t>& OutStream);

    ArcError ErrorCode() const { return m_errorCode; }
    ArcFailure failure() const { return m_failure; }
    // failure() in English, with the decoder's cause for BadData, for test and debugging output.
    // The program itself reports failure() and ErrorCode(); the envelope words its message.
    std::string failureText() const;

    // Fields of the last Pack or Unpack (Unpack: as read, as far as it got).
    uint32_t DataOffset() const { return m_dataOffset; }
    uint32_t DataEnd() const { return m_dataEnd; }
    uint32_t OrigSize() const { return m_origSize; }
    const std::vector<ArcEntry>& Entries() const { return m_entries; }

  private:
    bool fail(ArcFailure failure);

    uint32_t m_dataOffset = 0;
    uint32_t m_dataEnd = 0;
    uint32_t m_origSize = 0;
    std::vector<ArcEntry> m_entries;
    ArcError m_errorCode = ArcError::None;
    ArcFailure m_failure = ArcFailure::None;
    Lh5DecodeResult m_decodeResult = Lh5DecodeResult::Ok; // the decoder's cause of BadData
};

} // namespace image
