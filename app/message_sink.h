#pragma once
// How the core asks the shell to show a message box. The desktop shows a modal box; the command-line
// tool writes the text to its error output (and answers questions with the default). Texts are UTF-8;
// "\r" marks a line break inside a text.

#include "base/message_kind.h"

#include <string_view>

namespace app {

using base::MessageKind;

class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // Shows the message and waits until it is dismissed. Returns true for "Yes" of a question and
    // for every other kind once it was acknowledged; false for "No".
    virtual bool showMessage(std::string_view title, std::string_view text, MessageKind kind) = 0;
};

} // namespace app
