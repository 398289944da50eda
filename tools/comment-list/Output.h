#pragma once
// Where comment-list writes: a descriptor (standard output or error), every write checked and the
// first failure kept, so that output nobody received is reported instead of lost; or a string, for
// tests. Not iostreams: the first stream a process makes sets up the C++ locales, 0.3 to 0.6 ms at
// each start of a tool whose listing of 2,000 comments is 2 ms above its floor.

#include <string>
#include <string_view>

namespace commentlist {

class Out {
public:
    virtual ~Out() = default;
    Out() = default;
    Out(const Out&) = delete;
    Out& operator=(const Out&) = delete;

    // Writes all of `s`; false when it, or any write before it, failed.
    virtual bool write(std::string_view s) = 0;
    virtual int fd() const { return -1; }    // the descriptor written, -1 for a string
    virtual int error() const { return 0; }  // errno of the first failed write, 0 while none failed
    // A write of nothing: fails, as every write will, on a descriptor not open for writing.
    virtual bool probe() { return true; }

    Out& operator<<(std::string_view s)
    {
        write(s);
        return *this;
    }
    Out& operator<<(const std::string& s) { return *this << std::string_view(s); }
    Out& operator<<(const char* s) { return *this << std::string_view(s); }
    Out& operator<<(std::size_t n) { return *this << std::to_string(n); }
};

class FdOut : public Out {
public:
    explicit FdOut(int fd) : fd_(fd) {}
    bool write(std::string_view s) override;
    int fd() const override { return fd_; }
    int error() const override { return error_; }
    bool probe() override;

private:
    int fd_;
    int error_ = 0;
};

class StringOut : public Out {
public:
    bool write(std::string_view s) override
    {
        text_ += s;
        return true;
    }
    const std::string& str() const { return text_; }
    void clear() { text_.clear(); }

private:
    std::string text_;
};

// A closed standard output: a descriptor that cannot be written is put in its place, so that no
// file the tool opens later becomes its output and every write fails as it should.
void holdClosedStandardOutput();

// Says on `err` that the output could not be written, and why; returns the exit code for it.
int outputFailed(const Out& out, Out& err);

}  // namespace commentlist
