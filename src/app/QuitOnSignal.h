#pragma once
// A desktop session that ends sends SIGTERM (or SIGINT from a terminal). The message loop then
// ends the way closing the last window would, so the settings and the toolbar layout are still
// written; received comments stay where they are for the next start.

class QObject;

namespace app {

void quitOnTerminationSignals(QObject* parent);

}  // namespace app
