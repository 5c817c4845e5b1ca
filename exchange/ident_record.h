#pragma once
// The device's identification record: its byte layout in the record buffer and the plain values a
// settings dialog or velmora-cli edits.
//
// Layout (bytes 0..255 of the buffer; L = byte 5, Lx = min(max(L, 6), 128)):
//   0..3   kept as read          4  network number        5  L
//   6      device identifier     7  kept as read
//   8..9   system table address, high byte first
//   10..11 serial number, high byte first
//   12..Lx+5    identification string (Lx - 6 characters), blank padded
//   Lx+6..255   version text (250 - Lx characters, line breaks as CR LF), blank padded
// With L below 6 the string is empty and the fixed fields keep their place.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace exchange {

// Size of the record buffer an action list reads into or sends from.
inline constexpr size_t kIdentBufferSize = 5121;
// Bytes of the buffer the record occupies.
inline constexpr size_t kIdentRecordBytes = 256;
inline constexpr int kIdentMaxLength = 128;

struct IdentRecord {
    uint8_t networkNumber = 0;
    uint8_t length = 0; // L as stored; the layout uses identLayoutLength(length)
    uint8_t deviceId = 0;
    uint16_t systemTableAddress = 0;
    uint16_t serialNumber = 0;
    std::string identString; // UTF-8
    std::string versionText; // UTF-8, lines separated by "\n"
};

// Lx: the length the layout uses for a stored L.
int identLayoutLength(int length);
// Characters the identification string may hold: Lx - 6.
int identStringRoom(int length);
// Code page 1251 bytes the version text may take (a line break takes two): 250 - Lx.
int versionTextRoom(int length);

// Reads the record from the buffer. A buffer shorter than 256 bytes reads as if zero-filled.
IdentRecord ShowIdentRecord(std::span<const uint8_t> buffer);

// The first character of a text that the record cannot hold: one code page 1251 lacks, or one whose
// byte reads back as a blank (0xFF, which is "я", and 0x00: the marks of unwritten memory). Empty
// when every character can be stored; a text that is no valid UTF-8 gives its first bad byte.
std::optional<std::string> unstorableCharacter(std::string_view text);

// Why a record cannot be stored.
enum class StoreIdentResult { Ok, BufferTooSmall, NotCp1251 };

// Writes the record into the buffer; bytes 0..3 and 7 and everything from 256 on stay as they are.
// The string and the version text are cut or blank padded to their room. Fails, changing nothing,
// when the buffer is shorter than 256 bytes or a text has a character the record cannot hold
// (unstorableCharacter).
StoreIdentResult StoreIdentRecord(const IdentRecord& record, std::span<uint8_t> buffer);

// The version text cut to its room for a record length (never inside a line break or a UTF-8
// character), and how much room is left.
struct FittedText {
    std::string text;
    int remaining = 0;
};
FittedText fitVersionText(std::string_view text, int length);

// Display forms: "0x" and upper-case hexadecimal digits.
std::string hexText(uint32_t value, int digits);
// A number typed by the user: decimal, or hexadecimal after "0x", "x" or "$". False when it is not
// a number or above `max`.
bool parseNumberText(std::string_view text, uint32_t max, uint32_t& value);

} // namespace exchange
