#pragma once
// A desktop session that ends sends SIGTERM (or SIGINT from a terminal). Once the message loop
// runs, it ends the way closing the last window would, so the settings and the toolbar layout are
// still written; received comments stay where they are for the next start. During the start
// (before the loop runs) the start-up load stops reading (platform::stopRequested) and the window is
// closed as soon as it is made, unseen; a message box of the start ends the program at once: it
// would only lose its own loop and the start would go on, and nothing the user arranged is lost.

class QObject;

namespace app {

void quitOnTerminationSignals(QObject* parent);

// Call right before the application's message loop starts.
void messageLoopStarts();

}  // namespace app
