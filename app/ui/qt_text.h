#pragma once
// The core's UTF-8 texts as Qt strings.

#include <QString>

#include <string_view>

namespace app::ui {

inline QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace app::ui
