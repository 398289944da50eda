#include "Watch.h"

#include "EntryForms.h"
#include "Output.h"
#include "store/FolderMirror.h"
#include "store/ShiftJis.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace commentlist {
namespace {

int stopPipe[2] = {-1, -1};

extern "C" void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1);  // async-signal-safe only
}

class ErrorSink : public store::MessageSink {
public:
    explicit ErrorSink(Out& err) : err_(err) {}
    void showMessage(const std::string& title, const std::string& text, const std::string&, int) override
    {
        err_ << "comment-list: " << shiftjis::toUtf8(title) << ": " << shiftjis::toUtf8(text) << "\n";
    }

private:
    Out& err_;
};

// The reader of the output went away while nothing was written: the watch ends as a write would
// have ended it, by SIGPIPE where that has its default action, else with a message and exit 2.
int outputGone(Out& err)
{
    struct sigaction pipeAction = {};
    sigaction(SIGPIPE, nullptr, &pipeAction);
    if (pipeAction.sa_handler == SIG_DFL)
        ::raise(SIGPIPE);
    err << "comment-list: the output is gone\n";
    return 2;
}

}  // namespace

int watchArrivals(const store::CommentDirs& dirs, int only, Form form, Out& out, Out& err)
{
    if (!out.probe())
        return outputFailed(out, err);
    // Without inotify the watch looks at the folder on its deadlines; poll(2) skips an fd of -1.
    ErrorSink sink(err);
    store::FolderMirror watch(dirs.received, true, &sink);
    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        err << "comment-list: no pipe for the stop signals\n";
        return 2;
    }
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    struct sigaction oldInt = {}, oldTerm = {};
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);

    // A pipe whose reader left, or a terminal hung up, reports an error or a hang-up on its
    // descriptor: the watch need not wait for an arrival to find out.
    const int outFd = out.fd();
    int code = 0;
    for (bool stop = false; !stop;) {
        int timeout = -1;  // nothing settling, nothing to look at: sleep until an event or a signal
        if (const auto next = watch.nextDeadline()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - store::ArrivalWatch::Clock::now());
            timeout = std::max<int>(0, static_cast<int>(wait.count()));
        }
        pollfd fds[3] = {{watch.fd(), POLLIN, 0}, {stopPipe[0], POLLIN, 0}, {outFd, 0, 0}};
        if (::poll(fds, 3, timeout) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN)
            stop = true;
        if (fds[2].revents & (POLLERR | POLLHUP)) {
            code = outputGone(err);
            break;
        }
        // The window's rule: a file is printed once it is whole, and a file gone before it was
        // is not printed at all. A new file under a known name is an arrival of its own; a file
        // its writer came back to after it was printed is printed again with its new line.
        const store::MirrorChanges changes = watch.process();
        for (const auto* group : {&changes.added, &changes.replaced, &changes.completed}) {
            for (const store::MirrorEntry& e : *group) {
                if (stop || (only >= 0 && e.category != only))
                    continue;
                const store::TCmntInfo entry{e.path, e.listText, e.time};
                const std::string line = entryLine(e.category, entry, form);
                if (!out.write(line)) {
                    code = outputFailed(out, err);
                    stop = true;
                }
            }
        }
    }

    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    ::close(stopPipe[0]);
    ::close(stopPipe[1]);
    return code;
}

}  // namespace commentlist
