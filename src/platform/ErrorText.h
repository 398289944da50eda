#pragma once
// Why an operation failed, said to the user: the one source of the reason in every failure box.

#include <string>

namespace platform {

// The reason in Japanese (UTF-8) for the errors a user can act on (not found, no permission, disk
// full, name too long, read-only file system, in use) and the file operations' own codes; the C
// library's text for any other.
std::string errorReason(int error);

// The C library's own (English) text, for a box's details: "No such file or directory".
std::string errorDetail(int error);

}  // namespace platform
