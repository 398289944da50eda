#include "app/QuitOnSignal.h"

#include "platform/StopRequest.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace app {
namespace {

int pipeFds[2] = {-1, -1};
volatile std::sig_atomic_t loopRuns = 0;

extern "C" void onSignal(int)
{
    // Only async-signal-safe work here. The start-up load looks at the stop request between files,
    // so a start still loading goes on to its close at once instead of reading on.
    platform::requestStop();
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(pipeFds[1], &byte, 1);
}

}  // namespace

void quitOnTerminationSignals(QObject* parent)
{
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [] {
        char byte;
        while (read(pipeFds[0], &byte, 1) > 0) {
        }
        if (!loopRuns)
            _exit(0);               // still starting: ending the box's loop would let the start go on
        QCoreApplication::exit(0);  // not quit(): that would ask the window, which refuses in received mode
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void messageLoopStarts() { loopRuns = 1; }

}  // namespace app
