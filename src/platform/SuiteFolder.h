#pragma once
// Where the suite lives when nobody says otherwise. The host library's stand-in and comment-list
// both ask here, so the viewer and the tool always look at the same folder.

#include <string>

namespace platform {

// $BREVON_HOME when set and not empty, else the home folder + "/Brevon" ($HOME, else the password
// database's home). Empty only when there is no home folder at all. No trailing separator.
std::string suiteFolder();

}  // namespace platform
