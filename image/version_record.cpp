#include "image/version_record.h"

#include "base/crc32.h"
#include "image/calendar_date.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace image {

namespace {

constexpr std::string_view kStartMarker = "<VER>";
constexpr std::string_view kEndMarker = "</VER>";
constexpr size_t kEndMarkerAt = 58;

bool markersAt(const uint8_t* p) {
    return std::memcmp(p, kStartMarker.data(), kStartMarker.size()) == 0 &&
           std::memcmp(p + kEndMarkerAt, kEndMarker.data(), kEndMarker.size()) == 0;
}

int64_t findRecord(const uint8_t* buffer, int64_t size) {
    if (buffer == nullptr || size < kVersionRecordSize)
        return -1;
    const std::string_view text(reinterpret_cast<const char*>(buffer), static_cast<size_t>(size));
    const size_t lastStart = static_cast<size_t>(size - kVersionRecordSize);
    for (size_t p = text.find(kStartMarker); p != std::string_view::npos && p <= lastStart;
         p = text.find(kStartMarker, p + 1)) {
        if (markersAt(buffer + p))
            return static_cast<int64_t>(p);
    }
    return -1;
}

} // namespace

std::string VersionRecord::Owner() const {
    const char* text = reinterpret_cast<const char*>(bytes.data() + 5);
    const void* zero = std::memchr(text, 0, 33);
    return std::string(text, zero ? static_cast<const char*>(zero) - text : 33);
}

bool VersionRecord::hasMarkers() const {
    return markersAt(bytes.data());
}

VersionRecord emptyVersionRecord() {
    VersionRecord record;
    std::memcpy(record.bytes.data(), kStartMarker.data(), kStartMarker.size());
    std::memcpy(record.bytes.data() + kEndMarkerAt, kEndMarker.data(), kEndMarker.size());
    return record;
}

int32_t FindVersionRecord(const uint8_t* buffer, int64_t size, VersionRecord& record) {
    const int64_t p = findRecord(buffer, size);
    if (p < 0) {
        record = emptyVersionRecord();
        return -1;
    }
    std::memcpy(record.bytes.data(), buffer + p, kVersionRecordSize);
    return static_cast<int32_t>(p);
}

bool WriteVersionRecord(uint8_t* buffer, int64_t size, const VersionRecord& record) {
    const int64_t p = findRecord(buffer, size);
    if (p < 0)
        return false;
    std::memcpy(buffer + p, record.bytes.data(), kVersionRecordSize);
    return true;
}

bool IsVersionPresent(const VersionRecord& record) {
    return !record.Owner().empty() || record.HWID() != 0;
}

bool IsVersionBlank(const VersionRecord& record) {
    return std::all_of(record.bytes.begin(), record.bytes.end(), [](uint8_t b) { return b == 0; });
}

std::string VersionText(const VersionRecord& record) {
    if (IsVersionBlank(record))
        return "NONE";
    char text[32];
    if (record.Build() != 0)
        std::snprintf(text, sizeof text, "%u.%02ub%u", record.Major(), record.Minor(), record.Build());
    else
        std::snprintf(text, sizeof text, "%u.%02u", record.Major(), record.Minor());
    return text;
}

std::string ReleaseText(const VersionRecord& record) {
    return record.Release() == kUnknownRelease ? "??" : std::to_string(record.Release());
}

std::string DateText(uint32_t seconds) {
    const CalendarDate date = secondsToDate(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%02d", date.day, date.month, date.year % 100);
    return text;
}

std::string FullVersionText(const VersionRecord& record) {
    if (IsVersionBlank(record))
        return "NONE";
    std::string text = VersionText(record);
    text.append(".").append(ReleaseText(record)).append(".");
    text.append(record.Date() == kUnknownDate ? "??" : DateText(record.Date()));
    return text;
}

uint32_t standardCrc32(const uint8_t* bytes, size_t size) {
    return base::CRC32Update(0xFFFFFFFFu, bytes, size) ^ 0xFFFFFFFFu;
}

uint32_t CalcSWID(const VersionRecord& record) {
    return standardCrc32(record.ownerBytes(), 32);
}

} // namespace image
