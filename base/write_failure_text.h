#pragma once
// The words for a failed atomic write: Russian for the program's own messages, English for the
// command-line tools, whose own texts are English. Either way the system's text is quoted as it is.

#include "base/atomic_file.h"

#include <string>

namespace base {

// "Не могу создать файл в папке /srv/out: Permission denied"; empty when the write succeeded.
std::string writeFailureText(const WriteResult& result);

// "cannot create a file in /srv/out: Permission denied"; empty when the write succeeded.
std::string writeFailureTextEnglish(const WriteResult& result);

} // namespace base
