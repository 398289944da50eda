#pragma once
// comment-list --watch: one line (or one JSON object) per comment that arrives in the received
// folder, as soon as it is whole by the window's rule, until SIGINT or SIGTERM, or until its output
// is gone. A file gone before it was whole is not printed; a new file under a name seen before, or
// a file whose writer came back to it after it was printed, is printed (again) with its line as it
// now is.

#include "EntryForms.h"
#include "Output.h"
#include "store/Categories.h"

namespace commentlist {

// `only` is a category index, or -1 for all four. Returns the exit code: 0 after a signal, 2 when
// the output cannot be written or is gone, or the system gives no watch.
int watchArrivals(const store::CommentDirs& dirs, int only, Form form, Out& out, Out& err);

}  // namespace commentlist
