// Any bytes as the identification record a device sent, read into a zero-filled record buffer as the
// device settings operation does. What was read can be stored back unedited, keeping the bytes the
// record does not own and the values shown; storing what then reads back shows the same record again.

#include "base/codepage.h"
#include "exchange/ident_record.h"

#include "fuzz/fuzz_check.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using exchange::IdentRecord;
using Buffer = std::array<uint8_t, exchange::kIdentBufferSize>;

bool sameFixedFields(const IdentRecord& a, const IdentRecord& b) {
    return a.networkNumber == b.networkNumber && a.length == b.length && a.deviceId == b.deviceId &&
           a.systemTableAddress == b.systemTableAddress && a.serialNumber == b.serialNumber;
}

bool sameRecord(const IdentRecord& a, const IdentRecord& b) {
    return sameFixedFields(a, b) && a.identString == b.identString && a.versionText == b.versionText;
}

// Bytes 0..3, 7 and everything from the end of the record on.
bool sameForeignBytes(const Buffer& a, const Buffer& b) {
    return std::equal(a.begin(), a.begin() + 4, b.begin()) && a[7] == b[7] &&
           std::equal(a.begin() + exchange::kIdentRecordBytes, a.end(),
                      b.begin() + exchange::kIdentRecordBytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Buffer read;
    static Buffer stored;
    static Buffer again;
    read.fill(0);
    std::copy_n(data, std::min(size, read.size()), read.begin());

    const IdentRecord shown = exchange::ShowIdentRecord({data, size});
    check(base::isValidUtf8(shown.identString) && base::isValidUtf8(shown.versionText));
    const exchange::FittedText fitted = exchange::fitVersionText(shown.versionText, shown.length);
    check(fitted.remaining >= 0 && shown.versionText.starts_with(fitted.text));

    stored = read;
    check(exchange::StoreIdentRecord(shown, stored) == exchange::StoreIdentResult::Ok);
    check(sameForeignBytes(read, stored));
    const IdentRecord reread = exchange::ShowIdentRecord(stored);
    check(sameFixedFields(shown, reread) && reread.identString == shown.identString);

    again = stored;
    // A lone line break takes two bytes once stored, so the first store may cut the version text;
    // from then on the record is stable.
    check(exchange::StoreIdentRecord(reread, again) == exchange::StoreIdentResult::Ok);
    check(sameRecord(exchange::ShowIdentRecord(again), reread));
    return 0;
}
