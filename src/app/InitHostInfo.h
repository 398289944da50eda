#pragma once

namespace app {

// Binds BRVREG, fills host::Host() and frees the library again. False after the one message
// that tells why; the process must then end.
bool InitHostInfo();

// Appends the trailing separator to the suite directory and forms the result, data and received ones.
void FormDirectories();

}  // namespace app
