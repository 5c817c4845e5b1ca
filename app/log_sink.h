#pragma once
// Where the log's lines and the error log's blocks go: the desktop's log list and error log window, or
// the command-line tool's error output. All texts are UTF-8.

#include <string>

namespace app {

class LogSink {
  public:
    virtual ~LogSink() = default;
    // A line was appended to the log (timestamp included, no line breaks). The view selects it and
    // scrolls it into view.
    virtual void lineAdded(const std::string& line) = 0;
    // The log was emptied.
    virtual void logCleared() {}
    // A block was appended to the error log text; `block` is that block, one line per "\n"-terminated
    // line. The view shows the error log window without making it modal.
    virtual void errorLogAdded(const std::string& block) = 0;
    // The error log text was emptied.
    virtual void errorLogCleared() {}
};

} // namespace app
