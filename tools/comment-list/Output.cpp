#include "Output.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace commentlist {

bool FdOut::write(std::string_view s)
{
    if (error_ != 0)
        return false;
    for (std::size_t done = 0; done < s.size();) {
        const ssize_t w = ::write(fd_, s.data() + done, s.size() - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
        } else if (w < 0 && errno == EAGAIN) {
            // Somebody else made the descriptor non-blocking: wait until it takes more.
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, -1);
        } else if (w < 0 && errno != EINTR) {
            error_ = errno;
            return false;
        }
    }
    return true;
}

bool FdOut::probe()
{
    if (error_ == 0 && ::write(fd_, "", 0) < 0 && errno != EINTR && errno != EAGAIN)
        error_ = errno;
    return error_ == 0;
}

void holdClosedStandardOutput()
{
    if (::fcntl(1, F_GETFD) >= 0 || errno != EBADF)
        return;
    const int fd = ::open("/dev/null", O_RDONLY);  // takes 1, or 0 when standard input is closed too
    if (fd >= 0 && fd != 1)
        ::dup2(fd, 1);
}

int outputFailed(const Out& out, Out& err)
{
    const int error = out.error();
    err << "comment-list: cannot write the output: "
        << (error == EBADF ? "standard output is closed" : error != 0 ? std::strerror(error) : "write failed") << "\n";
    return 2;
}

}  // namespace commentlist
