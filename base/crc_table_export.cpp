#include "base/crc_table_export.h"

#include <cstdio>

namespace base {

std::string crcTableExportText(const TCRCGenerator& generator) {
    const bool narrow = generator.Width() == 16;
    std::string out = "usigned int CRC_table[256]={\n";
    const auto& table = generator.Table();
    for (size_t line = 0; line < 32; ++line) {
        out.append(14, ' ');
        for (size_t i = 0; i < 8; ++i) {
            const uint32_t entry = table[line * 8 + i];
            char buf[16];
            if (narrow)
                std::snprintf(buf, sizeof buf, "0x%04X", entry & 0xFFFFu);
            else
                std::snprintf(buf, sizeof buf, "0x%08X", entry);
            out += buf;
            out += ',';
        }
        if (line == 31) {
            out.pop_back();
            out += "};";
        }
        out += '\n';
    }
    return out;
}

WriteResult writeCrcTableExport(const std::filesystem::path& path, const TCRCGenerator& generator) {
    return writeFileAtomically(path, crcTableExportText(generator));
}

} // namespace base
