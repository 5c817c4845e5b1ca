#pragma once
// Text conversions of the protocol editor's windows: the model speaks UTF-8 std::string, the widgets
// QString. Message texts mark line breaks with "\r", template and comment texts with "\r\n"; the
// text fields use "\n".

#include "app/ui/qt_text.h"
#include <QString>

#include <string>
#include <string_view>

namespace app::ui::editor {

inline std::string utf8(const QString& text) {
    return text.toStdString();
}

// A stored text with "\r\n" (or a lone "\r") line breaks as a text field shows it.
inline QString fieldText(std::string_view text) {
    QString s = qt(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar('\r'), QChar('\n'));
    return s;
}

// A text field's text with the "\r\n" line breaks the files keep.
inline std::string storedText(const QString& text) {
    QString s = text;
    s.replace(QChar('\n'), QStringLiteral("\r\n"));
    return utf8(s);
}

} // namespace app::ui::editor
