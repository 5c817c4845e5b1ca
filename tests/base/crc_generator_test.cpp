#include "base/crc32.h"
#include "base/crc_generator.h"
#include "base/crc_presets.h"
#include "base/crc_table_export.h"

#include "support/paths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace {

using base::TCRCGenerator;

uint32_t crcOf(TCRCGenerator& g, const std::vector<uint8_t>& bytes) {
    g.Reset();
    return g.AddBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
}

TEST(CrcGenerator, PresetsGiveTheirCheckValues) {
    for (int i = 1; i < static_cast<int>(base::kCrcPresets.size()); ++i) {
        auto values = base::crcPresetValues(i);
        ASSERT_TRUE(values);
        EXPECT_EQ(base::findCrcPreset(*values), i);
        auto params = base::crcParametersFromPanel(*values);
        ASSERT_TRUE(params);
        EXPECT_EQ(base::crcCheckValue(*params), base::kCrcPresets[static_cast<size_t>(i)].check)
            << base::kCrcPresets[static_cast<size_t>(i)].text;
    }
    EXPECT_EQ(base::formatCrcValue(0x374B), "0x0000374B");
}

TEST(CrcGenerator, ModbusFrames) {
    struct Case {
        std::vector<uint8_t> bytes;
        uint32_t reg;
        uint32_t crc;
    };
    const Case cases[] = {
        {{0x01, 0x03, 0x00, 0x00, 0x00, 0x01}, 0x0A84, 0x840A},
        // Read 10 holding registers from 0: the frame on the line ends C5 CD (low byte first).
        {{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}, 0xCDC5, 0xC5CD},
        {{0x11, 0x06, 0x00, 0x01, 0x00, 0x03}, 0x9B9A, 0x9A9B},
    };
    TCRCGenerator g(16, 0x8005, 0xFFFF, true, true, 0);
    for (const auto& c : cases) {
        EXPECT_EQ(crcOf(g, c.bytes), c.crc);
        EXPECT_EQ(g.Register(), c.reg);
    }
}

TEST(CrcGenerator, ResetAndParameterChanges) {
    base::TCRC32Generator crc32;
    EXPECT_EQ(crc32.CRC(), 0u); // 0xFFFFFFFF XOR 0xFFFFFFFF
    TCRCGenerator swapped(16, 0x1021, 0x1234, false, true, 0x00FF);
    EXPECT_EQ(swapped.CRC(), 0xCB12u);

    // Changing a parameter mid-way restarts from Initial.
    TCRCGenerator g(16, 0x8005, 0xFFFF, true, false, 0);
    g.AddByte(0x01);
    g.setPolynom(0x1021);
    EXPECT_EQ(g.CRC(), 0xFFFFu);

    // The swap exchanges only the low two bytes.
    TCRCGenerator wide(32, 0, 0x11223344, false, true, 0);
    EXPECT_EQ(wide.CRC(), 0x00116633u);

    // Lengths of zero or less add nothing.
    const uint8_t byte = 0x55;
    EXPECT_EQ(g.AddBytes(&byte, 0), 0xFFFFu);
    EXPECT_EQ(g.AddBytes(&byte, -3), 0xFFFFu);
}

TEST(CrcGenerator, OtherWidthsComputeNothing) {
    for (int32_t width : {0, 1, 8, 24, 33, 64, -5}) {
        TCRCGenerator g(width, 0x07, 0x5A, width % 2 == 0, false, 0x0F);
        const std::vector<uint8_t> bytes{1, 2, 3, 4};
        EXPECT_EQ(crcOf(g, bytes), 0x55u) << width;
        for (uint32_t e : g.Table())
            EXPECT_EQ(e, 0u) << width;
    }
}

TEST(CrcGenerator, Crc32StepMatchesTheGenerator) {
    EXPECT_EQ(base::CRC32TableEntry(1), 0x77073096u);
    EXPECT_EQ(base::CRC32TableEntry(255), 0x2D02EF8Du);
    base::TCRC32Generator g;
    uint32_t step = 0xFFFFFFFFu;
    for (char c : base::kCrcCheckSequence) {
        step = base::CRC32Step(step, static_cast<uint8_t>(c));
        g.AddByte(static_cast<uint8_t>(c));
    }
    EXPECT_EQ(step ^ 0xFFFFFFFFu, 0xCBF43926u);
    EXPECT_EQ(g.CRC(), 0xCBF43926u);
}

TEST(CrcPresets, PanelMatchingAndNumbers) {
    base::CrcPanelValues v{16, " 0X1021\t", "0xffff", false, "0x0000", false};
    EXPECT_EQ(base::findCrcPreset(v), 1);
    v.polynom = "1021";
    EXPECT_EQ(base::findCrcPreset(v), 0);
    v.polynom = "0x01021";
    EXPECT_EQ(base::findCrcPreset(v), 0);

    struct NumberCase {
        const char* text;
        std::optional<uint32_t> value;
    };
    const NumberCase numbers[] = {
        {"0xFFFFFFFF", 0xFFFFFFFFu},
        {"$1021", 0x1021u},
        {"x10", 0x10u},
        {"X10", 0x10u},
        {"65535", 65535u},
        {" 12 ", 12u},
        {"-1", 0xFFFFFFFFu},
        {"4294967295", 0xFFFFFFFFu},
        {"4294967296", std::nullopt},
        {"0x1FFFFFFFF", std::nullopt},
        {"0x", std::nullopt},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"12a", std::nullopt},
        {"-2147483649", std::nullopt},
    };
    for (const auto& n : numbers)
        EXPECT_EQ(base::parseCrcNumber(n.text), n.value) << n.text;

    std::string error;
    base::CrcPanelValues bad{16, "0x8005", "zz", true, "0", true};
    EXPECT_FALSE(base::crcParametersFromPanel(bad, &error));
    EXPECT_NE(error.find("'zz'"), std::string::npos);
}

TEST(CrcTableExport, TextAndFile) {
    TCRCGenerator modbus(16, 0x8005, 0xFFFF, true, true, 0);
    const std::string text = base::crcTableExportText(modbus);
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 33u);
    EXPECT_EQ(lines[0], "usigned int CRC_table[256]={");
    EXPECT_EQ(lines[1].rfind("              0x0000,0xC0C1,0xC181,", 0), 0u);
    EXPECT_EQ(lines[1].size(), 14u + 8u * 7u);
    EXPECT_EQ(lines[32].substr(lines[32].size() - 9), ",0x4040};");
    EXPECT_EQ(text.back(), '\n');

    base::TCRC32Generator crc32;
    const std::string wide = base::crcTableExportText(crc32);
    EXPECT_NE(wide.find("              0x00000000,0x77073096,"), std::string::npos);
    EXPECT_NE(wide.find(",0x2D02EF8D};\n"), std::string::npos);

    testsupport::TempDir dir;
    ASSERT_TRUE(base::writeCrcTableExport(dir / "t.c", modbus).ok());
    std::ifstream f(dir / "t.c", std::ios::binary);
    std::string written((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, text);
    EXPECT_EQ(base::writeCrcTableExport(dir / "missing" / "t.c", modbus).status,
              base::WriteStatus::CannotCreate);
}

} // namespace
