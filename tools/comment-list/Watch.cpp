#include "Watch.h"

#include "CommentList.h"
#include "store/FolderMirror.h"
#include "store/ShiftJis.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ostream>

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
    explicit ErrorSink(std::ostream& err) : err_(err) {}
    void showMessage(const std::string& title, const std::string& text, const std::string&, int) override
    {
        err_ << "comment-list: " << shiftjis::toUtf8(title) << ": " << shiftjis::toUtf8(text) << "\n";
    }

private:
    std::ostream& err_;
};

}  // namespace

int watchArrivals(const store::CommentDirs& dirs, int only, bool json, std::ostream& out, std::ostream& err)
{
    // Without inotify the watch looks at the folder on its deadlines; poll(2) skips an fd of -1.
    ErrorSink sink(err);
    store::FolderMirror watch(dirs.received, true, &sink);
    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        err << "comment-list: no pipe for the stop signals\n";
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    struct sigaction oldInt = {}, oldTerm = {};
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);

    for (bool stop = false; !stop;) {
        int timeout = -1;  // nothing settling, nothing to look at: sleep until an event or a signal
        if (const auto next = watch.nextDeadline()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - store::ArrivalWatch::Clock::now());
            timeout = std::max<int>(0, static_cast<int>(wait.count()));
        }
        pollfd fds[2] = {{watch.fd(), POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN)
            stop = true;
        // The window's rule: a file is printed once it is whole, and a file gone before it was
        // is not printed at all. A new file under a known name is an arrival of its own; a file
        // its writer came back to after it was printed is printed again with its new line.
        const store::MirrorChanges changes = watch.process();
        for (const auto* group : {&changes.added, &changes.replaced, &changes.completed}) {
            for (const store::MirrorEntry& e : *group) {
                if (only >= 0 && e.category != only)
                    continue;
                const store::TCmntInfo entry{e.path, e.listText, e.time};
                out << entryLine(e.category, entry, json) << std::flush;
            }
        }
    }

    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    ::close(stopPipe[0]);
    ::close(stopPipe[1]);
    return 0;
}

}  // namespace commentlist
