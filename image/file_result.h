#pragma once
// FileResult: the outcome of a file operation on the memory image. `message` is UTF-8 text meant
// for the user (empty on success); the caller decides how to show it.

#include <string>
#include <utility>

namespace image {

struct FileResult {
    bool ok = true;
    std::string message;
    bool damaged = false; // a load failed because the packed envelope's CRC does not match
    std::string reason; // why, without the file name ("строка 2: неверная контрольная сумма"); may be empty

    explicit operator bool() const { return ok; }
    static FileResult success() { return {}; }
    static FileResult failure(std::string text, std::string why = {}) {
        return {false, std::move(text), false, std::move(why)};
    }
};

} // namespace image
