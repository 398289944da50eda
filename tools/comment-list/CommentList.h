#pragma once
// The comment-list tool as a function, so tests can drive it without a process.

#include "Output.h"

#include <string>
#include <vector>

namespace commentlist {

// Runs the tool: args without the program name; the suite comes from --suite or `homeEnv`
// ($BREVON_HOME, null when unset). Returns the exit code: 0, or 2 for any error (a bad argument,
// no suite, output that could not be written); with --search 1 when nothing matched.
int run(const std::vector<std::string>& args, const char* homeEnv, Out& out, Out& err);

}  // namespace commentlist
