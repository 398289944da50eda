#pragma once
// A request to stop the program, made from a signal handler (the end of a desktop session) and
// looked at by the loops that read many files, so that a start that is still loading ends soon.

namespace platform {

void requestStop();  // async-signal-safe
bool stopRequested();

}  // namespace platform
