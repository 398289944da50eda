#include "Watch.h"

#include "CommentList.h"
#include "platform/FileTime.h"
#include "store/ArrivalWatch.h"
#include "store/ListText.h"
#include "store/ShiftJis.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
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
    store::ArrivalWatch watch(dirs.received);
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

    ErrorSink sink(err);
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
        for (const store::Arrival& a : watch.process().arrived) {
            if (only >= 0 && a.category != only)
                continue;
            store::TCmntInfo entry;
            entry.path = a.path;
            struct stat st {};
            if (::stat(a.path.c_str(), &st) == 0)
                entry.time = platform::toLocalDateTime(platform::lastWriteTime(st));
            store::ReadListText(a.category, a.path, entry.listText, sink);
            out << entryLine(a.category, entry, json) << std::flush;
        }
    }

    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    ::close(stopPipe[0]);
    ::close(stopPipe[1]);
    return 0;
}

}  // namespace commentlist
