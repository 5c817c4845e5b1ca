#pragma once
// The progress line on the error output: a line rewritten in place, without a line end, until the
// job ends. Any other line printed meanwhile first ends it, so nothing is printed over it.

#include <string>

namespace cli {

// Rewrites the progress line with `text`.
void showProgressLine(const std::string& text);
// Ends a progress line that is shown (a line break); nothing otherwise.
void endProgressLine();

} // namespace cli
