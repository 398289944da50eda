#pragma once
// Opening a file of the shared folders for reading. Other programs may leave anything under a
// comment's name: a pipe whose open would wait for a writer, a device that never ends. A comment
// file is opened without blocking and read only when it is an ordinary file.

#include <string>

namespace platform {

// A read-only descriptor of the ordinary file at `path`; -1 with errno set otherwise (EINVAL for a
// pipe, device or socket, EISDIR for a folder). The caller closes it.
int openCommentFile(const std::string& path);

// Whether an open descriptor is an ordinary file.
bool isOrdinaryFile(int fd);
// Whether it is a pipe, a device or a socket: neither a file nor a folder, and maybe never ending.
bool isSpecialFile(int fd);

}  // namespace platform
