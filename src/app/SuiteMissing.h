#pragma once
// A first start on a machine without the suite: the window would open empty and say nothing.

#include "host/HostInfo.h"

namespace app {

// When the suite folder the host names is no folder, one message through the host's message box
// names it and tells how to choose another (BREVON_HOME). The start goes on either way.
void tellWhenSuiteIsMissing(const host::HostInfo& info);

}  // namespace app
