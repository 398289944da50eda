#pragma once
// A temporary suite with its received and saved folders, Shift-JIS file contents made from
// UTF-8, and a message sink that records what the store shows.

#include "platform/FileTestSupport.h"
#include "store/Categories.h"
#include "store/MessageSink.h"
#include "store/ShiftJis.h"

#include <string>
#include <vector>

namespace testsupport {

inline std::string sjis(std::string_view utf8) { return shiftjis::fromUtf8(utf8); }

struct RecordedMessage {
    std::string title, text, text2;  // UTF-8, for readable assertions
    int kind = -1;
};

class RecordingSink : public store::MessageSink {
public:
    void showMessage(const std::string& title, const std::string& text, const std::string& text2, int kind) override
    {
        messages.push_back({shiftjis::toUtf8(title), shiftjis::toUtf8(text), shiftjis::toUtf8(text2), kind});
    }
    std::vector<RecordedMessage> messages;
};

class TempSuite {
public:
    TempSuite()
    {
        makeDir(dir / "RecvData");
        makeDir(dir / "Result");
        makeDir(dir / "Result/COMMENT");
        dirs = store::CommentDirs::forSuite(dir.path());
    }
    // A file in the received (or saved) folder with a last-write time in UTC seconds.
    std::string received(const std::string& name, std::string_view bytes = "x", std::int64_t mtime = 1'700'000'000)
    {
        return put(dirs.received + name, bytes, mtime);
    }
    std::string saved(const std::string& name, std::string_view bytes = "x", std::int64_t mtime = 1'700'000'000)
    {
        return put(dirs.saved + name, bytes, mtime);
    }
    static std::string put(const std::string& path, std::string_view bytes, std::int64_t mtime)
    {
        writeFile(path, bytes);
        setMtime(path, mtime);
        return path;
    }

    TempDir dir;
    store::CommentDirs dirs;
};

}  // namespace testsupport
