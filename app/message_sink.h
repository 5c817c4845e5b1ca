#pragma once
// How the core asks the shell to show a message box. The desktop shows a modal box; the command-line
// tool writes the text to its error output (and answers questions with the default). Texts are UTF-8;
// "\r" marks a line break inside a text.

#include <string_view>

namespace app {

enum class MessageKind {
    Error,       // error box with an OK button
    Warning,     // warning box with an OK button
    Information, // information box with an OK button
    Question,    // Yes/No box
};

class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // Shows the message and waits until it is dismissed. Returns true for "Yes" of a question and
    // for every other kind once it was acknowledged; false for "No".
    virtual bool showMessage(std::string_view title, std::string_view text, MessageKind kind) = 0;
};

} // namespace app
