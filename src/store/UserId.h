#pragma once
// The user ID the suite keeps in Data/USER_ID.DAT, which the service's web page address ends with.

#include <string>

namespace store {

// The first line of dataDir + "USER_ID.DAT" (LF or CR LF ends it, a lone CR is left out), at most
// its first 16 bytes, code page 932 as stored; empty on any failure. `dataDir` is a local folder
// path; a missing trailing separator is supplied.
std::string ReadUserId(const std::string& dataDir);

}  // namespace store
