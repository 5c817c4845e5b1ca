#pragma once
// Intel HEX reader: turns the text of an Intel HEX file into data records placed at image
// addresses. It never touches the image itself; the caller's sink stores the bytes.
//
// Records read: "00" data, "01" end of file, "02" extended segment address, "04" extended linear
// address; other types are skipped. Reading stops at the end record, at an empty line or at the
// end of the text. A trailing CR on a line is ignored; characters after a record's last field are
// not read.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace image {

enum class IntelHexError {
    None,
    MissingColon,      // a line does not begin with ':'
    BadDigit,          // a character where a hexadecimal digit belongs is not one
    ShortLine,         // a line ends before its record type or before the bytes its count announces
    BadChecksum,       // a data record's checksum does not match
    AddressOutOfRange, // a data byte would land outside 0 .. 0x7FFFFF
};

struct IntelHexReadResult {
    IntelHexError error = IntelHexError::None;
    size_t line = 0; // 1-based line of the error, 0 when none
    bool ok() const { return error == IntelHexError::None; }
};

// Receives `count` bytes for image addresses `address` .. `address + count - 1`, all below 0x800000.
using IntelHexSink = std::function<void(uint32_t address, const uint8_t* bytes, size_t count)>;

// Reads `text`. When `relocateTo` >= 0 every data record moves by (relocateTo - the linear address
// of the first data record); when it is negative the addresses are used as written. Records before
// the failing one have already been handed to the sink when an error is returned; the failing
// record is not.
IntelHexReadResult readIntelHex(std::string_view text, int64_t relocateTo, const IntelHexSink& sink);

// A short UTF-8 description of the error, for messages.
const char* intelHexErrorText(IntelHexError error);

} // namespace image
