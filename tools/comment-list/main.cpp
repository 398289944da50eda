#include "CommentList.h"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return commentlist::run(args, std::getenv("BREVON_HOME"), std::cout, std::cerr);
}
