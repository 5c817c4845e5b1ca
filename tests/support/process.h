#pragma once
// Runs one of the built tools as a child process and collects what it says.

#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int exitCode = -1; // the exit status, or 128 + signal number
    std::string out;
    std::string err;
};

// Runs `program` with `args`, feeding `input` on standard input. Waits for the end.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = {});

// Shorthand for the command-line tool of this build.
ProcessResult runCli(const std::vector<std::string>& args, const std::string& input = {});

} // namespace testsupport
