#include "Output.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace commentlist {

std::streamsize FdOutBuf::xsputn(const char* s, std::streamsize n)
{
    if (error_ != 0)
        return 0;
    for (std::streamsize done = 0; done < n;) {
        const ssize_t w = ::write(fd_, s + done, static_cast<std::size_t>(n - done));
        if (w > 0) {
            done += w;
        } else if (w < 0 && errno == EAGAIN) {
            // Somebody else made the descriptor non-blocking: wait until it takes more.
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, -1);
        } else if (w < 0 && errno != EINTR) {
            error_ = errno;
            return done;
        }
    }
    return n;
}

FdOutBuf::int_type FdOutBuf::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

bool FdOutBuf::probe()
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

int outputFd(const std::ostream& out)
{
    const auto* buf = dynamic_cast<const FdOutBuf*>(out.rdbuf());
    return buf ? buf->fd() : -1;
}

bool outputWritable(std::ostream& out)
{
    auto* buf = dynamic_cast<FdOutBuf*>(out.rdbuf());
    return !buf || buf->probe();
}

int outputFailed(const std::ostream& out, std::ostream& err)
{
    const auto* buf = dynamic_cast<const FdOutBuf*>(out.rdbuf());
    const int error = buf ? buf->error() : 0;
    err << "comment-list: cannot write the output: "
        << (error == EBADF ? "standard output is closed" : error != 0 ? std::strerror(error) : "write failed") << "\n";
    return 2;
}

}  // namespace commentlist
