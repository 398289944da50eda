#include "CommentList.h"
#include "Output.h"
#include "platform/SuiteFolder.h"

int main(int argc, char** argv)
{
    commentlist::holdClosedStandardOutput();
    commentlist::FdOut out(1), err(2);
    std::vector<std::string> args(argv + 1, argv + argc);
    // The viewer's suite when --suite gives none: $BREVON_HOME, else ~/Brevon.
    const std::string suite = platform::suiteFolder();
    return commentlist::run(args, suite.empty() ? nullptr : suite.c_str(), out, err);
}
