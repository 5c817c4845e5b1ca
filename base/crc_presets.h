#pragma once
// The presets of the CRC parameter panel (the same list in the settings dialog and the protocol
// editor), the conversion of the panel's texts to parameters, and the check computation over the
// test sequence "123456789". All texts here are UTF-8.

#include "base/crc_generator.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace base {

struct CrcPreset {
    std::string_view text; // the entry of the preset box
    int32_t width;
    std::string_view polynom;
    std::string_view initial;
    bool reflected;
    std::string_view xorValue;
    bool tableSwap;
    uint32_t check; // CRC of "123456789"
};

// Index 0 is the custom entry and sets nothing.
inline constexpr std::array<CrcPreset, 6> kCrcPresets{{
    {"(собственные установки)", 0, "", "", false, "", false, 0},
    {"CRC-16/CITT", 16, "0x1021", "0xFFFF", false, "0x0000", false, 0x29B1},
    {"XMODEM", 16, "0x8408", "0x0000", true, "0x0000", false, 0x0C73},
    {"ARC", 16, "0x8005", "0x0000", true, "0x0000", false, 0xBB3D},
    {"MODBUS RTU (И-К)", 16, "0x8005", "0xFFFF", true, "0x0000", true, 0x374B},
    {"CRC32/Ethernet", 32, "0x04C11DB7", "0xFFFFFFFF", true, "0xFFFFFFFF", false, 0xCBF43926},
}};

// The test sequence of the check computation.
inline constexpr std::string_view kCrcCheckSequence = "123456789";

// What the six controls of the panel hold: the width box as a width, the three numeric fields as
// typed, the two check boxes.
struct CrcPanelValues {
    int32_t width = 16;
    std::string polynom;
    std::string initial;
    bool reflected = false;
    std::string xorValue;
    bool tableSwap = false;
};

// Numeric CRC parameters.
struct CrcParameters {
    int32_t width = 16;
    uint32_t polynom = 0;
    uint32_t initial = 0;
    bool reflected = false;
    uint32_t xorValue = 0;
    bool tableSwap = false;
};

// The preset whose six values all equal the panel's (texts compared after trimming spaces and tabs
// and upper-casing, so "0X1021" matches "0x1021" but "1021" and "0x01021" do not); 0 when none does.
int findCrcPreset(const CrcPanelValues& values);

// The panel values a preset puts into the controls. Index 0 or out of range: empty.
std::optional<CrcPanelValues> crcPresetValues(int index);

// A 32-bit integer typed by the user: decimal (optional sign, -2147483648..4294967295), or
// hexadecimal introduced by "0x", "0X", "x", "X" or "$" (up to 0xFFFFFFFF). Spaces and tabs around
// are ignored. Empty on anything else.
std::optional<uint32_t> parseCrcNumber(std::string_view text);

// The message shown for a numeric field that does not convert.
std::string crcConversionErrorText(std::string_view text);

// Converts the panel's three texts. On failure: empty, and `error` (when given) holds the message
// for the first field that does not convert.
std::optional<CrcParameters> crcParametersFromPanel(const CrcPanelValues& values,
                                                    std::string* error = nullptr);

// Applies the parameters with SetParameters (table rebuilt, register reset).
void applyCrcParameters(TCRCGenerator& generator, const CrcParameters& params);

// CRC of "123456789" with these parameters.
uint32_t crcCheckValue(const CrcParameters& params);

// "0x" followed by eight upper-case hexadecimal digits (0x0000374B).
std::string formatCrcValue(uint32_t value);

} // namespace base
