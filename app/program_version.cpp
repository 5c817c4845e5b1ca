#include "app/program_version.h"

#include <cstring>

namespace app {

namespace {

image::VersionRecord buildRecord() {
    image::VersionRecord record = image::emptyVersionRecord();
    constexpr char kOwner[] = "VELMORA";
    std::memcpy(record.bytes.data() + 5, kOwner, sizeof kOwner - 1);
    record.bytes[38] = VELMORA_VERSION_MAJOR;
    record.bytes[39] = VELMORA_VERSION_MINOR;
    record.bytes[40] = VELMORA_VERSION_PATCH;
    record.bytes[41] = 0xFF; // release unknown
    record.bytes[42] = 0xFF;
    record.bytes[43] = 0xFF; // date unknown (0x0000FFFF)
    record.bytes[44] = 0xFF;
    return record;
}

} // namespace

const image::VersionRecord& programVersionRecord() {
    static const image::VersionRecord record = buildRecord();
    return record;
}

std::string programVersionText() {
    const image::VersionRecord& record = programVersionRecord();
    if (!record.hasMarkers() || !image::IsVersionPresent(record))
        return "NONE";
    return image::VersionText(record);
}

} // namespace app
