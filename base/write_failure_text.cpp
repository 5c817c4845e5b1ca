#include "base/write_failure_text.h"

#include <string_view>

namespace base {

namespace {

// The lead-in before the place in each language. The system's text follows, except for a folder,
// where the system has nothing to add.
struct Wording {
    WriteStatus status;
    std::string_view russian, english;
};

constexpr Wording kWordings[] = {
    {WriteStatus::IsFolder, "Это папка, а не файл: ", "this is a folder, not a file: "},
    {WriteStatus::CannotCreate, "Не могу создать файл в папке ", "cannot create a file in "},
    {WriteStatus::CannotWrite, "Не могу записать файл ", "cannot write "},
    {WriteStatus::CannotReplace, "Не могу заменить файл ", "cannot replace "},
};

std::string worded(const WriteResult& result, std::string_view Wording::*language) {
    for (const Wording& w : kWordings) {
        if (w.status != result.status)
            continue;
        std::string text = std::string(w.*language) + result.place.string();
        if (result.status != WriteStatus::IsFolder)
            text += ": " + result.systemText;
        return text;
    }
    return {};
}

} // namespace

std::string writeFailureText(const WriteResult& result) {
    return worded(result, &Wording::russian);
}

std::string writeFailureTextEnglish(const WriteResult& result) {
    return worded(result, &Wording::english);
}

} // namespace base
