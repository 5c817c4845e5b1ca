#pragma once
// TCRCGenerator: a table-driven CRC of 16 or 32 bits with the polynomial, initial value, bit order,
// final XOR value and byte order of the result as parameters. Used for the frame CRC of command
// frames, the CRC over the memory image and the trailer of protocol description files.
// TCRC32Generator is the same generator preset to the standard CRC-32.

#include <array>
#include <cstdint>

namespace base {

class TCRCGenerator {
  public:
    // Width 16, polynomial 0, initial 0, not reflected, no swap, XOR 0.
    TCRCGenerator();
    // Parameters in the order width, polynomial, initial value, reflected, byte swap, XOR value.
    // Builds the table and resets the register.
    TCRCGenerator(int32_t width, uint32_t polynom, uint32_t initial, bool reflected, bool tableSwap,
                  uint32_t xorValue);

    // Published parameters. Writing any of them rebuilds the table and resets the register, so a
    // running computation restarts from Initial.
    int32_t Width() const { return m_width; }
    uint32_t Polynom() const { return m_polynom; }
    uint32_t Initial() const { return m_initial; }
    bool Reflected() const { return m_reflected; }
    bool tableSwap() const { return m_tableSwap; }
    uint32_t XORvalue() const { return m_xorValue; }
    void setWidth(int32_t width);
    void setPolynom(uint32_t polynom);
    void setInitial(uint32_t initial);
    void setReflected(bool reflected);
    void setTableSwap(bool tableSwap);
    void setXORvalue(uint32_t xorValue);

    // Sets all six parameters at once, rebuilds the table and resets.
    void SetParameters(int32_t width, uint32_t polynom, uint32_t xorValue, bool tableSwap, bool reflected,
                       uint32_t initial);

    // Register := Initial; CRC := the output of that register.
    void Reset();
    // Adds one byte and returns the new CRC. Widths other than 16 and 32 leave the register alone.
    uint32_t AddByte(uint8_t byte);
    // Adds `length` bytes in order and returns the CRC; a length of 0 or less (or a null buffer)
    // returns the current CRC.
    uint32_t AddBytes(const uint8_t* bytes, int64_t length);

    // The current output: register XOR XORvalue, the low two bytes exchanged when tableSwap.
    uint32_t CRC() const { return m_crc; }
    // The raw register, before the XOR value and the swap.
    uint32_t Register() const { return m_register; }
    // The 256 table entries. All zero for widths other than 16 and 32, which compute nothing.
    const std::array<uint32_t, 256>& Table() const { return m_table; }

  private:
    void rebuild();
    void updateOutput();

    int32_t m_width = 16;
    uint32_t m_polynom = 0;
    uint32_t m_initial = 0;
    bool m_reflected = false;
    bool m_tableSwap = false;
    uint32_t m_xorValue = 0;
    uint32_t m_register = 0;
    uint32_t m_crc = 0;
    std::array<uint32_t, 256> m_table{};
    // For reflected widths: m_slices[k][b] is entry b followed by k + 1 zero bytes, so four bytes
    // go through in one step (bulk CRCs over the whole image).
    std::array<std::array<uint32_t, 256>, 3> m_slices{};
};

// The standard CRC-32: width 32, polynomial 0x04C11DB7, initial 0xFFFFFFFF, reflected, no swap,
// XOR 0xFFFFFFFF.
class TCRC32Generator : public TCRCGenerator {
  public:
    TCRC32Generator();
};

// The low `bits` bits of `value` in reverse order (bit i moves to bit bits-1-i); higher bits dropped.
// `bits` outside 1..32 gives 0.
uint32_t reflectBits(uint32_t value, int bits);

} // namespace base
