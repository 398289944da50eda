#pragma once
// The comment-list tool as a function, so tests can drive it without a process.

#include "store/CommentTable.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace commentlist {

// Runs the tool: args without the program name; the suite comes from --suite or `homeEnv`
// ($BREVON_HOME, null when unset). Returns the exit code: 0, 1 for a missing suite, 2 for a
// bad argument. With --search: 0 when something matched, 1 when nothing did, 2 on any error.
int run(const std::vector<std::string>& args, const char* homeEnv, std::ostream& out, std::ostream& err);

// One entry of category k as --watch prints it: the list's tab-separated line, or with `json` one
// JSON object on a line of its own; ends in a line feed.
std::string entryLine(int k, const store::TCmntInfo& entry, bool json);

}  // namespace commentlist
