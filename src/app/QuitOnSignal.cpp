#include "app/QuitOnSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace app {
namespace {

int pipeFds[2] = {-1, -1};
bool loopRuns = false;

extern "C" void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(pipeFds[1], &byte, 1);  // only async-signal-safe work here
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

void messageLoopStarts() { loopRuns = true; }

}  // namespace app
