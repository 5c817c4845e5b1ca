#include "image/envelope_builder.h"

#include "image/arc.h"
#include "image/compat_list.h"
#include "image/envelope_format.h"

#include <algorithm>
#include <cstring>

namespace image {

bool buildEnvelope(const TDUMPVersionedFile& image, const EnvelopeBuildOptions& options,
                   std::vector<uint8_t>& out, std::string& error) {
    const size_t firmwareSize = image.EndAddr >= 0 ? static_cast<size_t>(image.EndAddr) + 1 : 0;
    const std::span<const uint8_t> firmware(image.Data.data(), firmwareSize);
    VersionRecord record = image.VersionPos >= 0 ? image.Version : emptyVersionRecord();
    const EnvelopeHeader header = makeEnvelopeHeader(options.headerCp1251);
    std::vector<uint8_t> codedList;
    if (image.CListPos >= 0)
        codedList = codedCompatList(image.CList);

    out.clear();
    size_t crcEnd = 0; // the envelope CRC covers out[0 .. crcEnd - 1], list block excluded
    if (options.packed) {
        TArc arc;
        if (!arc.Pack(firmware, out, "firmware")) {
            error = "образ не удалось упаковать";
            return false;
        }
        out.insert(out.end(), codedList.begin(), codedList.end());
        // A packed envelope keeps its list block inside the raw bytes the check covers.
        crcEnd = out.size();
        record.setImageSize(static_cast<uint32_t>(firmwareSize));
    } else {
        const uint8_t* marks = image.Filled.data();
        if (std::find(marks, marks + kEnvelopeFixedSize, 1) != marks + kEnvelopeFixedSize) {
            error = "в образе есть данные по адресам 0x00..0x7B, где лежит заголовок несжатого конверта";
            return false;
        }
        // Loaded back as it stands, so every firmware byte keeps its address.
        out.assign(firmware.begin(), firmware.end());
        if (out.size() < static_cast<size_t>(kEnvelopeFixedSize))
            out.resize(kEnvelopeFixedSize);
        std::fill(out.begin(), out.begin() + kEnvelopeFixedSize, 0);
        std::memcpy(out.data(), kEnvelopeMagic, sizeof kEnvelopeMagic);
        writeLe32(out.data() + kEnvelopeSizeAt, static_cast<uint32_t>(out.size()));
        crcEnd = out.size();
        out.insert(out.end(), codedList.begin(), codedList.end());
        // The loaded image is the whole file.
        record.setImageSize(static_cast<uint32_t>(out.size()));
    }
    if (out.size() > static_cast<size_t>(kMaxImageSize)) {
        error = "конверт больше 0x800000 байт";
        out.clear();
        return false;
    }
    record.setImageCRC(envelopeImageCrc({out.data(), crcEnd}, header, record, codedList));
    encodeInto(out.data() + kEnvelopeRecordAt, record.bytes.data(), record.bytes.size());
    encodeInto(out.data() + kEnvelopeHeaderAt, header.data(), header.size());
    return true;
}

} // namespace image
