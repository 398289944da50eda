#pragma once
// Standard output as comment-list writes it: straight to the descriptor, every write checked, the
// first failure kept, so that output nobody received is reported instead of lost.

#include <ostream>
#include <streambuf>
#include <string>

namespace commentlist {

class FdOutBuf : public std::streambuf {
public:
    explicit FdOutBuf(int fd) : fd_(fd) {}
    int fd() const { return fd_; }
    int error() const { return error_; }  // errno of the first failed write, 0 while none failed
    // A write of nothing: fails, as every write will, on a descriptor not open for writing.
    bool probe();

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;

private:
    int fd_;
    int error_ = 0;
};

// A closed standard output: a descriptor that cannot be written is put in its place, so that no
// file the tool opens later becomes its output and every write fails as it should.
void holdClosedStandardOutput();

// The descriptor under `out`, or -1 when it has none (a string stream).
int outputFd(const std::ostream& out);

// False when the output cannot take a write at all (FdOutBuf::probe); a string stream always can.
bool outputWritable(std::ostream& out);

// Says on `err` that the output could not be written, and why; returns the exit code for it.
int outputFailed(const std::ostream& out, std::ostream& err);

}  // namespace commentlist
