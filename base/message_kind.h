#pragma once
// The kinds of message the program shows: the core names the kind, each shell draws it (a box in
// the window, a line on velmora-cli's error output).

namespace base {

enum class MessageKind {
    Error,       // error box with an OK button
    Warning,     // warning box with an OK button
    Information, // information box with an OK button
    Question,    // Yes/No box
};

} // namespace base
