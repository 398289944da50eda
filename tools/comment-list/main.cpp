#include "CommentList.h"
#include "Output.h"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    commentlist::holdClosedStandardOutput();
    commentlist::FdOutBuf buffer(1);
    std::ostream out(&buffer);
    std::vector<std::string> args(argv + 1, argv + argc);
    return commentlist::run(args, std::getenv("BREVON_HOME"), out, std::cerr);
}
