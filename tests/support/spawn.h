#pragma once
// Starting a child program for the test helpers, and its end as they report it.

#include <spawn.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// Starts `program` with `args` and this process's environment after the descriptor actions in
// `actions`, which it destroys. Returns posix_spawn's result (0 when started).
int spawnProgram(const std::string& program, const std::vector<std::string>& args,
                 posix_spawn_file_actions_t& actions, pid_t& pid);

// The exit status from a wait status, or 128 + the signal number when the child was killed.
int exitCodeOf(int waitStatus);

} // namespace testsupport
